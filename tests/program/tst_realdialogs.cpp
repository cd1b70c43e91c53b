// The platform's dialogs as the program shows them, answered as the pupil
// would: the name dialog (no title of its own, the prompt, "Annulla") and a
// message box.
#include "guitesting.h"

#include "app/module1.h"
#include "app/runnozioli.h"
#include "archive/dialogs.h"
#include "archive/formnome.h"
#include "archive/risultati.h"
#include "play/fnozioli.h"

#include <QApplication>
#include <QDir>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

// Runs answer on the next modal dialog, once it is shown.
void whenModalShows(const std::function<void(QWidget *)> &answer)
{
    QTimer::singleShot(0, qApp, [answer] {
        if (QWidget *modal = QApplication::activeModalWidget())
            answer(modal);
        else
            whenModalShows(answer);
    });
}

} // namespace

class TstRealDialogs : public QObject
{
    Q_OBJECT

private slots:
    void nameDialogAndMessageBox()
    {
        setUpProgramTest();
        const QString startFolder = QDir::currentPath();
        QTemporaryDir dir;
        StoreError error;
        QVERIFY(QDir::setCurrent(dir.path()) && ResultsStore::create(ResultsStore::defaultFileName(), &error));
        QtDialogs dialogs;
        Module1 program(dialogs);
        QVERIFY(program.start());
        QWidget *cmdNome = child(program.formNome(), "cmdNOME");

        QString title = QStringLiteral("unset"), prompt, message;
        QPushButton *cancel = nullptr;
        whenModalShows([&](QWidget *modal) {
            title = modal->windowTitle();
            prompt = qobject_cast<QInputDialog *>(modal)->labelText();
            for (QPushButton *b : modal->findChildren<QPushButton *>()) {
                if (b->text() == u"Annulla")
                    cancel = b;
            }
            cancel ? cancel->click() : qobject_cast<QDialog *>(modal)->reject();
        });
        click(cmdNome);
        QVERIFY2(title.isEmpty(), "the dialog shows the application's title");
        QCOMPARE(prompt, QString(FormNOME::namePrompt()).remove(u'\r'));   // drawn as three lines
        QVERIFY2(cancel, "the prompt names the 'Annulla' button");
        QCOMPARE(program.pupilName(), QStringLiteral("Anonimo"));

        whenModalShows([](QWidget *modal) {
            QTest::keyClicks(modal->findChild<QLineEdit *>(), QStringLiteral("  Rossi   Mario "));
            qobject_cast<QDialog *>(modal)->accept();
        });
        click(cmdNome);
        QCOMPARE(program.pupilName(), QStringLiteral("Rossi Mario"));

        // Nothing archived yet: the results window says so in a message box.
        whenModalShows([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            title = box->windowTitle();
            message = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        click(child(program.fnozioli(), "Labarchivio"));
        QCOMPARE(message, QStringLiteral("Nome non trovato"));
        QVERIFY2(title.isEmpty(), "the message box shows the application's title");
        QVERIFY(program.risultati()->isVisible());
        QDir::setCurrent(startFolder);
    }

    // Qt's own texts are Italian too: the context menu of a text box.
    void italianStandardTexts()
    {
        QVERIFY2(installItalianTranslations(*QCoreApplication::instance()), "Qt's Italian translations are installed");
        QLineEdit edit(QStringLiteral("Rossi"));
        std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        QStringList texts;
        for (const QAction *action : menu->actions()) {
            if (!action->isSeparator())
                texts << action->text().remove(u'&').section(u'\t', 0, 0);
        }
        QVERIFY2(texts.contains(QStringLiteral("Copia")) && texts.contains(QStringLiteral("Incolla")),
                 qPrintable(texts.join(u", ")));
    }

    // A long name, typed or pasted, stops at the end of the field, in the
    // pupil's sight: the name dialog and the look-up fields of the results window.
    void nameFieldsTakeAName_data()
    {
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<int>("length");
        QTest::newRow("typed, 250 characters") << false << 250;
        QTest::newRow("pasted, 40000 characters") << true << 40000;
    }

    void nameFieldsTakeAName()
    {
        QFETCH(bool, pasted);
        QFETCH(int, length);
        const QString text = QStringLiteral("Cognomelunghissimo").repeated(length / 18 + 1).left(length);
        const auto enter = [&](QLineEdit *edit) {
            if (pasted)
                edit->insert(text);     // as a paste does
            else
                QTest::keyClicks(edit, text);
        };
        QtDialogs dialogs;
        int maxLength = -1;
        whenModalShows([&](QWidget *modal) {
            auto *edit = modal->findChild<QLineEdit *>();
            maxLength = edit->maxLength();
            enter(edit);
            qobject_cast<QDialog *>(modal)->accept();
        });
        const QString answer = dialogs.askText(nullptr, FormNOME::namePrompt());
        QCOMPARE(maxLength, NameMaxLength);
        QCOMPARE(answer, text.left(NameMaxLength));

        ResultsStore store;
        Risultati results(store, dialogs);
        for (const char *name : {"Text2", "Text1"}) {
            auto *edit = results.findChild<QLineEdit *>(QString::fromLatin1(name));
            enter(edit);
            QCOMPARE(edit->maxLength(), NameMaxLength);
            QCOMPARE(edit->text(), text.left(NameMaxLength));
        }
    }
};

QTEST_MAIN(TstRealDialogs)
#include "tst_realdialogs.moc"
