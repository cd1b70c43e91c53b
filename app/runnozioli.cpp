#include "app/runnozioli.h"

#include "app/module1.h"
#include "archive/dialogs.h"
#include "play/flatstyle.h"
#include "settings/settings.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTextStream>
#include <QTranslator>

#include <cstdio>

bool installItalianTranslations(QCoreApplication &app)
{
    auto *translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

int runNozioli(int argc, char **argv, const RunHooks &hooks)
{
    QApplication app(argc, argv);
    // No display name: Qt would append it to every window title. Dialogs
    // without a title of their own show the application's name instead.
    QApplication::setApplicationName(QStringLiteral("Nozioli"));
    // The desktop entry, the metainfo and the icon all go by this id.
    QGuiApplication::setDesktopFileName(QStringLiteral("it.nozioli.Nozioli"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/it.nozioli.Nozioli-128.png")));
    // The pupils read Italian everywhere, Qt's own texts included.
    installItalianTranslations(app);
    // Colours painted as the windows give them.
    installProgramStyle();

    QtDialogs platformDialogs;
    Dialogs &dialogs = hooks.dialogs ? *hooks.dialogs : static_cast<Dialogs &>(platformDialogs);
    QString problem;
    const std::optional<Settings> settings = settings::load(&problem);
    if (!settings) {
        // Also on the standard error, for whoever started the program from a terminal.
        QTextStream(stderr) << problem << '\n';
        dialogs.failure(nullptr, problem);
        return ExitSettingsUnusable;
    }

    Module1 program(dialogs, settings::withCommandLine(*settings, QCoreApplication::arguments()));
    // Queued, so that an end decided before the event loop runs still ends it.
    QObject::connect(&program, &Module1::finished, &app, &QCoreApplication::exit, Qt::QueuedConnection);
    if (hooks.beforeStart)
        hooks.beforeStart(program);
    if (!program.start())
        return Module1::ExitArchiveUnavailable;
    return app.exec();
}
