#include "archive/dialogs.h"

#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {

// Dialogs are drawn at the scale of the window they belong to.
void takeFontOf(QWidget *dialog, const QWidget *parent)
{
    if (parent)
        dialog->setFont(parent->font());
}

// Without a title of their own, the title bar shows the program's name:
// screen readers announce the same.
void nameAfterProgram(QWidget *dialog)
{
    dialog->setAccessibleName(QGuiApplication::applicationDisplayName());
}

void showBox(QWidget *parent, const QString &text, QMessageBox::Icon icon)
{
    QMessageBox box(icon, QString(), text, QMessageBox::Ok, parent);
    takeFontOf(&box, parent);
    nameAfterProgram(&box);
    box.setObjectName(QStringLiteral("messaggio"));
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace

void QtDialogs::message(QWidget *parent, const QString &text)
{
    showBox(parent, text, QMessageBox::NoIcon);
}

void QtDialogs::failure(QWidget *parent, const QString &text)
{
    showBox(parent, text, QMessageBox::Warning);
}

Dialogs::ExitChoice QtDialogs::archiveFailedOnExit(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Warning, QString(), text, QMessageBox::NoButton, parent);
    takeFontOf(&box, parent);
    box.setObjectName(QStringLiteral("archiviazioneNonRiuscita"));
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(QStringLiteral("Puoi riprovare, oppure uscire: i tuoi risultati restano conservati "
                                          "su questo computer e saranno archiviati la prossima volta che il "
                                          "programma si apre."));
    QPushButton *retry = box.addButton(QStringLiteral("Riprova"), QMessageBox::AcceptRole);
    QPushButton *leave = box.addButton(QStringLiteral("Esci conservando i risultati su questo PC"),
                                       QMessageBox::DestructiveRole);
    retry->setObjectName(QStringLiteral("riprova"));
    leave->setObjectName(QStringLiteral("esciConservando"));
    box.setDefaultButton(retry);
    box.exec();
    if (box.clickedButton() == retry)
        return ExitChoice::Retry;
    if (box.clickedButton() == leave)
        return ExitChoice::LeaveKeepingResults;
    return ExitChoice::Stay;
}

QString QtDialogs::askText(QWidget *parent, const QString &prompt)
{
    QInputDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("richiestaNome"));
    dialog.setInputMode(QInputDialog::TextInput);
    if (auto *edit = dialog.findChild<QLineEdit *>())
        edit->setMaxLength(NameMaxLength);
    takeFontOf(&dialog, parent);
    nameAfterProgram(&dialog);
    // A carriage return beside a line feed is part of the line break, not a
    // character to draw.
    dialog.setLabelText(QString(prompt).remove(u'\r'));
    // The prompt names the Cancel button by its Italian caption.
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Annulla"));
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.textValue();
}
