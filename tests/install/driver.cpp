// A Qt generic plugin that drives the installed program from inside, the way
// a pupil would: loaded into an unchanged binary through QT_PLUGIN_PATH and
// QT_QPA_GENERIC_PLUGINS=nozioli-driver. It writes to the file named by
// NOZIOLI_DRIVER_REPORT what the program shows, one line each:
//   messaggio: TEXT   a message box (then dismissed)
//   nomi: A|B|...     the names of the pupil window (then the first is chosen)
//   aiuto: TEXT       the help panel of the main window (then "Esci")
#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QGenericPlugin>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

namespace {

class Driver : public QObject
{
public:
    Driver()
    {
        m_report.setFileName(qEnvironmentVariable("NOZIOLI_DRIVER_REPORT"));
        m_report.open(QIODevice::WriteOnly | QIODevice::Truncate);
        auto *timer = new QTimer(this);
        timer->setInterval(50);
        connect(timer, &QTimer::timeout, this, &Driver::step);
        timer->start();
        // A program that never gets where it should is ended, and says so.
        QTimer::singleShot(60000, this, [this] {
            write("scaduto", QString());
            QCoreApplication::exit(99);
        });
    }

private:
    void write(const char *what, const QString &text)
    {
        m_report.write(what + QByteArrayLiteral(": ") + QString(text).replace(u'\n', u' ').toUtf8() + '\n');
        m_report.flush();
    }

    static QWidget *shown(const char *name)
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && w->objectName() == QLatin1StringView(name))
                return w;
        }
        return nullptr;
    }

    void step()
    {
        if (auto *box = qobject_cast<QMessageBox *>(shown("messaggio"))) {
            write("messaggio", box->text());
            box->accept();
            return;
        }
        if (QWidget *main = shown("fnozioli")) {
            if (m_helpShown)
                return;
            m_helpShown = true;
            main->findChild<QPushButton *>(QStringLiteral("cmdaiuto"))->click();
            write("aiuto", main->findChild<QTextBrowser *>(QStringLiteral("RichTextBox1"))->toPlainText().left(200));
            QTest::mouseClick(main->findChild<QWidget *>(QStringLiteral("Labesci")), Qt::LeftButton);
            return;
        }
        if (QWidget *form = shown("FormNOME")) {
            if (m_namesShown)
                return;
            m_namesShown = true;
            auto *list = form->findChild<QAbstractItemView *>(QStringLiteral("List1"));
            QStringList names;
            for (int row = 0; row < list->model()->rowCount(); ++row)
                names << list->model()->index(row, 0).data().toString();
            write("nomi", names.join(u'|'));
            if (names.isEmpty())
                return;
            list->setCurrentIndex(list->model()->index(0, 0));
            form->findChild<QPushButton *>(QStringLiteral("CmdOK"))->click();
        }
    }

    QFile m_report;
    bool m_namesShown = false;
    bool m_helpShown = false;
};

} // namespace

class DriverPlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "driver.json")

public:
    QObject *create(const QString &, const QString &) override { return new Driver; }
};

#include "driver.moc"
