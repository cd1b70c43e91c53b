#include "app/runnozioli.h"

int main(int argc, char *argv[])
{
    return runNozioli(argc, argv);
}
