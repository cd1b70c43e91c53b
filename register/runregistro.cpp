#include "register/runregistro.h"

#include "register/archivelocation.h"
#include "register/classregister.h"
#include "register/registrowindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QMessageBox>
#include <QStyleFactory>
#include <QTextStream>
#include <QThread>

#include <future>
#include <memory>

int runRegistro(int argc, char **argv, const RegistroHooks &hooks)
{
#ifdef Q_OS_LINUX
    // Every date read from the archive is a local time, and glibc, when no TZ
    // is set, looks at /etc/localtime again for each one: a file-system call
    // a row. Naming that same file reads it once.
    if (qEnvironmentVariableIsEmpty("TZ") && QFileInfo::exists(QStringLiteral("/etc/localtime")))
        qputenv("TZ", ":/etc/localtime");
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("nozioli-registro"));
    QApplication::setApplicationVersion(QStringLiteral(NOZIOLI_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("it.nozioli.Registro"));
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Registro di classe di Nozioli: i risultati di tutti gli alunni, con grafici, esportazione "
                       "per foglio di calcolo e stampa in PDF. Legge l'archivio senza mai modificarlo."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("ARCHIVIO"),
                                 QStringLiteral("l'archivio dei risultati da aprire (se manca, quello che usa "
                                                "il programma degli alunni: «nozioli.mdb» nella cartella indicata "
                                                "dalle impostazioni, altrimenti nella cartella corrente)"),
                                 QStringLiteral("[ARCHIVIO]"));
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    if (args.size() > 1) {
        QTextStream(stderr) << QStringLiteral("nozioli-registro: troppi argomenti; si apre un archivio alla volta.\n");
        return 2;
    }

    QString path = args.isEmpty() ? QString() : args.first();
    if (args.isEmpty()) {
        QString problem;
        const std::optional<QString> set = programArchivePath(&problem);
        if (!set) {
            // Also on the standard error, for whoever started the register from a terminal.
            QTextStream(stderr) << problem << '\n';
            QMessageBox::critical(nullptr, QStringLiteral("Registro di classe"), problem);
            return RegistroSettingsUnusable;
        }
        path = *set;
    }

    // The archive is read on a thread of its own while the window is built:
    // first a screenful of rows, which the window shows at once, then the
    // whole class, put in their place once the event loop runs.
    std::promise<ClassRegister::Reading> firstRows;
    std::future<ClassRegister::Reading> first = firstRows.get_future();
    ClassRegister::Reading whole;
    const std::unique_ptr<QThread> reader(QThread::create([path, &firstRows, &whole] {
        ClassRegister::Reading preview = ClassRegister::readFirst(path, ClassRegister::FirstRows);
        const bool more = preview.partial;
        firstRows.set_value(std::move(preview));
        if (more)
            whole = ClassRegister::read(path);
    }));
    ClassRegister classRegister;
    // Queued to this thread, so delivered once the event loop runs.
    QObject::connect(reader.get(), &QThread::finished, &classRegister, [&classRegister, &whole] {
        if (!whole.path.isEmpty())
            classRegister.complete(std::move(whole));
    });
    reader->start();
    RegistroWindow window(classRegister);
    window.openArchive(first.get());
    if (hooks.beforeShow)
        hooks.beforeShow(window);
    window.show();
    const int status = app.exec();
    reader->wait();
    return status;
}
