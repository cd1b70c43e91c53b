#include "archive/dialogs.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace {

// Dialogs are drawn at the scale of the window they belong to.
void takeFontOf(QWidget *dialog, const QWidget *parent)
{
    if (parent)
        dialog->setFont(parent->font());
}

void showBox(QWidget *parent, const QString &text, QMessageBox::Icon icon)
{
    QMessageBox box(icon, QString(), text, QMessageBox::Ok, parent);
    takeFontOf(&box, parent);
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

QString QtDialogs::askText(QWidget *parent, const QString &prompt)
{
    QInputDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("richiestaNome"));
    dialog.setInputMode(QInputDialog::TextInput);
    if (auto *edit = dialog.findChild<QLineEdit *>())
        edit->setMaxLength(NameMaxLength);
    takeFontOf(&dialog, parent);
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
