#pragma once

#include "store/resultsstore.h"

#include <memory>

class QDialog;

// Shows that the program waits for the archive, which another program keeps
// busy: from half a second of waiting on, a busy cursor and a small note in
// front of the windows ("attesaArchivio"). While the store waits, the windows
// keep repainting and timers run; the pupil's clicks and keys are held back
// until the wait is over, and the note, modal, keeps them from every other
// window.
class LockWaitNote : public LockWaitListener
{
public:
    static constexpr int ShowAfterMs = 500;

    LockWaitNote();
    ~LockWaitNote() override;
    LockWaitNote(const LockWaitNote &) = delete;
    LockWaitNote &operator=(const LockWaitNote &) = delete;

    void waiting(int elapsedMs) override;
    void waitOver() override;

    // Whether an operation of the store is waiting now.
    bool active() const { return m_active; }

private:
    void show();

    std::unique_ptr<QDialog> m_note;
    bool m_active = false;
    bool m_shown = false;
};
