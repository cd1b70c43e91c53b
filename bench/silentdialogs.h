#pragma once

#include "archive/dialogs.h"

#include <cstdio>

// Answers nothing and shows nothing: a message means the run went wrong.
struct SilentDialogs : Dialogs
{
    int said = 0;
    void message(QWidget *, const QString &text) override { report("message", text); }
    void failure(QWidget *, const QString &text) override { report("failure", text); }
    QString askText(QWidget *, const QString &) override { return {}; }
    ExitChoice archiveFailedOnExit(QWidget *, const QString &text) override
    {
        report("failure", text);
        return ExitChoice::Stay;
    }
    void report(const char *kind, const QString &text)
    {
        ++said;
        std::fprintf(stderr, "%s: %s\n", kind, qPrintable(text));
    }
};
