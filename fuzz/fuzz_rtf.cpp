// libFuzzer target for the rich-text reader: any bytes are read into a
// document, which is then laid out, so that faults of both the reader and
// the layout of what it builds show up under the sanitizers.

#include "play/rtf/rtfreader.h"

#include <QAbstractTextDocumentLayout>
#include <QByteArray>
#include <QGuiApplication>
#include <QTextDocument>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstdint>

namespace {

// Kept for the life of the process: libFuzzer ends it with exit(), and Qt
// does not expect its application object to go in static destruction.
QGuiApplication *application = nullptr;
QtMessageHandler qtHandler = nullptr;

// Broken pictures and scripts no installed font can shape are the daily bread
// of fuzzing: Qt's complaints about them are dropped. A complaint of the text
// classes means the reader built a document Qt refuses to lay out as written:
// that ends the run as a crash would, so that the input is kept. Every other
// message of Qt is shown. (libpng writes its own errors straight to stderr;
// scripts/fuzz.sh leaves those to the log.)
void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const bool brokenPicture = context.category && qstrncmp(context.category, "qt.gui.imageio", 14) == 0;
    const bool noFontForScript = message.startsWith(QLatin1StringView("  OpenType support missing for "));
    if (type != QtFatalMsg && (brokenPicture || noFontForScript))
        return;
    if (qtHandler)
        qtHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    for (const char *text : {"QFont", "QText", "QAbstractTextDocumentLayout"}) {
        if (message.startsWith(QLatin1StringView(text)))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Qt gets an argument list of its own so that it never sees, nor removes,
    // the options meant for libFuzzer.
    static int argc = 1;
    static char name[] = "fuzz_rtf";
    static char *argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qtHandler = qInstallMessageHandler(messageHandler);
    application = new QGuiApplication(argc, argv);

    // The first layout loads the font database, which takes longer than the
    // time allowed to one input; it is done here, before any input is timed.
    QTextDocument warmUp;
    rtf::readRtf(QByteArrayLiteral("{\\rtf1 a {\\b b} {\\i c}}"), warmUp);
    warmUp.documentLayout()->documentSize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // The scale of the view follows the size of the input, so that every
    // input is read the same way each time and scaled reading is covered too.
    static constexpr qreal scales[] = {1.0, 0.5, 2.5};
    rtf::ReadOptions options;
    options.scale = scales[size % 3];

    QTextDocument document;
    QString error;
    rtf::readRtf(bytes, document, options, &error);
    document.setTextWidth(600);
    const QSizeF laidOut = document.documentLayout()->documentSize();
    // A laid-out document never has a negative height.
    if (laidOut.height() < 0)
        __builtin_trap();
    return 0;
}
