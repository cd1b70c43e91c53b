#pragma once

#include <QString>

class QWidget;

// The longest name a name field takes, typed or pasted: the field itself
// stops there, in the pupil's sight, instead of a long paste being cut unseen.
inline constexpr int NameMaxLength = 200;

// The program's modal dialogs. They carry no title of their own, so the
// application's name ("Nozioli") shows in their title bar. Tests put a fake
// in their place, which records the messages and answers from a queue.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // A message with an OK button only; returns when it is dismissed.
    virtual void message(QWidget *parent, const QString &text) = 0;
    // A failure of the archive: also OK only, marked as a warning.
    virtual void failure(QWidget *parent, const QString &text) = 0;
    // One line of text, at most NameMaxLength characters, with OK and Cancel;
    // Cancel gives back empty text.
    virtual QString askText(QWidget *parent, const QString &prompt) = 0;

    // Archiving failed as the pupil was leaving: text says why. The pupil
    // tries again, or leaves keeping the results on this PC; closing the
    // dialog otherwise stays in the program.
    enum class ExitChoice { Retry, LeaveKeepingResults, Stay };
    virtual ExitChoice archiveFailedOnExit(QWidget *parent, const QString &text) = 0;
};

// The platform's message box and text-input dialog.
class QtDialogs : public Dialogs
{
public:
    void message(QWidget *parent, const QString &text) override;
    void failure(QWidget *parent, const QString &text) override;
    QString askText(QWidget *parent, const QString &prompt) override;
    ExitChoice archiveFailedOnExit(QWidget *parent, const QString &text) override;
};
