// The installed program (an install into a DESTDIR), started as a menu starts
// it: from a folder that holds none of its files, with the system's settings
// in a test folder of XDG_CONFIG_DIRS. A plugin loaded into the unchanged
// binary (driver.cpp) reports what it shows.
#include "store/resultsstore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TstInstalled : public QObject
{
    Q_OBJECT

private slots:
    void start_data()
    {
        QTest::addColumn<QByteArray>("ini");        // the system's nozioli.ini; no file when empty
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("report");    // lines the program's report starts with, in order
        QTest::addColumn<QStringList>("message");   // what the message names

        const QStringList none;
        QTest::newRow("settings name the archive's folder")
            << QByteArray("[archivio]\ncartella=@condivisa\n[finestra]\nschermo-intero=true\n") << 0
            << QStringList{QStringLiteral("nomi: Rossi Mario|Bianchi Anna"),
                           QStringLiteral("aiuto: Aiuto: come si fanno gli esercizi")}
            << none;
        QTest::newRow("folder that does not exist")
            << QByteArray("[archivio]\ncartella=@manca\n") << 2 << QStringList{QStringLiteral("messaggio: ")}
            << QStringList{QStringLiteral("@xdg/nozioli/nozioli.ini"), QString::fromUtf8("«cartella»"),
                           QStringLiteral("[archivio]"), QStringLiteral("@manca"),
                           QStringLiteral("nozioli-archivio configura --cartella")};
        QTest::newRow("value that is not a boolean")
            << QByteArray("[finestra]\nschermo-intero=forse\n") << 2 << QStringList{QStringLiteral("messaggio: ")}
            << QStringList{QStringLiteral("@xdg/nozioli/nozioli.ini"), QString::fromUtf8("«schermo-intero»"),
                           QStringLiteral("[finestra]"), QString::fromUtf8("«forse»"),
                           QStringLiteral("schermo-intero=true")};
        // As before there were settings: the archive of the current folder, which is missing.
        QTest::newRow("no settings and no archive")
            << QByteArray() << 1 << QStringList{QStringLiteral("messaggio: ")}
            << QStringList{QString::fromUtf8("«nozioli.mdb»"), QStringLiteral("@altrove"),
                           QStringLiteral("nozioli-archivio crea \"@altrove\"")};
    }

    void start()
    {
        QFETCH(QByteArray, ini);
        QFETCH(int, exitCode);
        QFETCH(QStringList, report);
        QFETCH(QStringList, message);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString root = dir.path();
        const auto at = [&](QString text) { return text.replace(u'@', root + u'/'); };
        for (const char *folder : {"altrove", "condivisa", "home-config", "xdg/nozioli"})
            QVERIFY(QDir(root).mkpath(QString::fromUtf8(folder)));
        StoreError error;
        ResultsStore store;
        QVERIFY(ResultsStore::create(at(QStringLiteral("@condivisa/nozioli.mdb")), &error));
        QVERIFY(store.open(at(QStringLiteral("@condivisa/nozioli.mdb"))));
        for (const char *name : {"Rossi Mario", "Bianchi Anna"})
            QVERIFY(store.save(QString::fromUtf8(name), {}, QDateTime::currentDateTime()));
        store.close();
        if (!ini.isEmpty()) {
            QFile file(at(QStringLiteral("@xdg/nozioli/nozioli.ini")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(at(QString::fromUtf8(ini)).toUtf8());
        }

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), at(QStringLiteral("@home-config")));
        env.insert(QStringLiteral("XDG_CONFIG_DIRS"), at(QStringLiteral("@xdg")));
        env.insert(QStringLiteral("QT_PLUGIN_PATH"), QStringLiteral(NOZIOLI_DRIVER_PLUGINS));
        env.insert(QStringLiteral("QT_QPA_GENERIC_PLUGINS"), QStringLiteral("nozioli-driver"));
        env.insert(QStringLiteral("NOZIOLI_DRIVER_REPORT"), at(QStringLiteral("@report.txt")));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(at(QStringLiteral("@altrove")));
        program.start(QStringLiteral(NOZIOLI_INSTALLED_PROGRAM), {});
        QVERIFY2(program.waitForFinished(90000), "the program ends");
        const QString err = QString::fromUtf8(program.readAllStandardError());
        QFile file(at(QStringLiteral("@report.txt")));
        QVERIFY2(file.open(QIODevice::ReadOnly), "the driver was loaded");
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);

        QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == exitCode,
                 qPrintable(QStringLiteral("exit %1\n").arg(program.exitCode()) + lines.join(u'\n') + u'\n' + err));
        QCOMPARE(lines.size(), report.size());
        for (qsizetype i = 0; i < report.size(); ++i)
            QVERIFY2(lines.at(i).startsWith(report.at(i)), qPrintable(lines.at(i)));
        for (const QString &part : message) {
            QVERIFY2(lines.first().contains(at(part)), qPrintable(lines.first()));
            QVERIFY2(exitCode != 2 || err.contains(at(part)), "a bad setting is also told on the standard error");
        }
        QVERIFY2(!QDir(at(QStringLiteral("@altrove"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(),
                 "nothing is written in the current folder");
    }
};

QTEST_GUILESS_MAIN(TstInstalled)
#include "tst_installed.moc"
