#include "register/runregistro.h"

int main(int argc, char *argv[])
{
    return runRegistro(argc, argv);
}
