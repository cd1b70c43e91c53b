// A throw-away PostgreSQL server for a test, started by scripts/testserver.sh
// in a temporary folder that lives as long as the object. The superuser
// "maestra" connects on the server's Unix socket without a password; every
// other role needs its password. With TLS the server also listens on
// 127.0.0.1 at port(), where it accepts TLS connections only, with a
// certificate for localhost signed by caFile().
//
// The test target needs nozioli_uses_testserver(TARGET) in its CMakeLists.txt.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QHash>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

#ifndef TESTSERVER_SCRIPT
#error "TESTSERVER_SCRIPT is not defined: add nozioli_uses_testserver(TARGET) to the test's CMakeLists.txt"
#endif

class TestServer
{
public:
    TestServer() = default;
    ~TestServer() { stop(); }
    TestServer(const TestServer &) = delete;
    TestServer &operator=(const TestServer &) = delete;

    // Creates a new cluster with the database "nozioli" in a new temporary
    // folder and starts it; false (see error()) when it does not start. A
    // server started before by this object is stopped and thrown away.
    bool start(bool tls = false)
    {
        stop();
        m_info.clear();
        m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/nozioli-pg-XXXXXX"));
        m_dir->setAutoRemove(true);
        if (!m_dir->isValid()) {
            m_error = QStringLiteral("cartella temporanea: ") + m_dir->errorString();
            m_dir.reset();
            return false;
        }
        QStringList args{QStringLiteral("start"), m_dir->path()};
        if (tls)
            args << QStringLiteral("--tls");
        return runAndRead(args);
    }

    // Stops the server (fast shutdown: open sessions are ended); the cluster
    // stays, so that restart() brings it back with its data.
    void stop()
    {
        if (m_dir)
            run({QStringLiteral("stop"), m_dir->path()});
    }

    // Stops the server if it runs and starts the same cluster again. With
    // TLS the port changes only if another program took it meanwhile.
    bool restart()
    {
        if (!m_dir) {
            m_error = QStringLiteral("nessun server avviato");
            return false;
        }
        return runAndRead({QStringLiteral("restart"), m_dir->path()});
    }

    // The superuser's URI on the socket.
    QString uri() const { return m_info.value(QStringLiteral("uri")); }

    // user's URI on the socket; extraQuery ("a=b&c=d") joins the query.
    QString uriFor(const QString &user, const QString &extraQuery = {}) const
    {
        QString u = QStringLiteral("postgresql://") + QString::fromLatin1(QUrl::toPercentEncoding(user))
            + QStringLiteral("@/nozioli?host=")
            + QString::fromLatin1(QUrl::toPercentEncoding(socketFolder(), "/"))
            + QStringLiteral("&port=") + QString::number(port());
        if (!extraQuery.isEmpty())
            u += QLatin1Char('&') + extraQuery;
        return u;
    }

    // postgresql://localhost:PORT/nozioli, with TLS only; empty otherwise.
    QString tcpUri() const { return m_info.value(QStringLiteral("tcpuri")); }
    // The certificate authority of the server's certificate, with TLS only.
    QString caFile() const { return m_info.value(QStringLiteral("ca")); }
    // The folder of the Unix socket, also the host in a passfile line.
    QString socketFolder() const { return m_info.value(QStringLiteral("socket")); }
    // The port, of the socket and, with TLS, of 127.0.0.1.
    int port() const { return m_info.value(QStringLiteral("port")).toInt(); }

    // Runs sql (any number of statements) as maestra in the database
    // "nozioli", stopping at the first error. output, when given, gets what
    // the statements printed, one row a line with the columns joined by '|',
    // without the final newline.
    bool psql(const QString &sql, QString *output = nullptr)
    {
        if (!m_dir) {
            m_error = QStringLiteral("nessun server avviato");
            return false;
        }
        QByteArray out;
        const bool ok = run({QStringLiteral("psql"), m_dir->path(), QStringLiteral("-At"), QStringLiteral("-f"),
                             QStringLiteral("-")},
                            &out, sql.toUtf8());
        if (output) {
            *output = QString::fromUtf8(out);
            if (output->endsWith(QLatin1Char('\n')))
                output->chop(1);
        }
        return ok;
    }

    // What went wrong last: the script's messages.
    QString error() const { return m_error; }

private:
    bool run(const QStringList &args, QByteArray *out = nullptr, const QByteArray &input = {})
    {
        QProcess p;
        p.start(QString::fromUtf8(TESTSERVER_SCRIPT), args);
        if (!p.waitForStarted()) {
            m_error = QString::fromUtf8(TESTSERVER_SCRIPT) + QStringLiteral(": ") + p.errorString();
            return false;
        }
        p.write(input);
        p.closeWriteChannel();
        if (!p.waitForFinished(180000)) {
            p.kill();
            p.waitForFinished();
            m_error = QStringLiteral("testserver.sh ") + args.first() + QStringLiteral(": tempo scaduto");
            return false;
        }
        if (out)
            *out = p.readAllStandardOutput();
        const bool ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (!ok)
            m_error = QString::fromUtf8(p.readAllStandardError()).trimmed();
        return ok;
    }

    // Runs start or restart and keeps the key=value lines it prints.
    bool runAndRead(const QStringList &args)
    {
        QByteArray out;
        if (!run(args, &out))
            return false;
        for (const QByteArray &line : out.split('\n')) {
            const qsizetype eq = line.indexOf('=');
            if (eq > 0)
                m_info.insert(QString::fromUtf8(line.left(eq)), QString::fromUtf8(line.mid(eq + 1)));
        }
        return true;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QHash<QString, QString> m_info;
    QString m_error;
};
