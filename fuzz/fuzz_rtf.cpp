// libFuzzer target for the rich-text reader and the help panel: any bytes
// are read into a text view of the panel's size exactly as the panel reads
// them (its limits, its scaling, cut to its bounds at its width), and the
// view then lays the whole document out, so that faults of the reader, of
// the bounds and of the layout of what they keep show up under the
// sanitizers. A document laid out taller than the bounds allow ends the run;
// one whose layout never ends fails it by libFuzzer's time limit.

#include "play/helppanel.h"
#include "play/twips.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QByteArray>
#include <QTextBrowser>
#include <QTextDocument>

#include <array>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstdint>

namespace {

// Kept for the life of the process: libFuzzer ends it with exit(), and Qt
// does not expect its application object to go in static destruction.
QApplication *application = nullptr;
QtMessageHandler qtHandler = nullptr;

// The panel as the main window shows it on screens of common sizes.
struct Panel
{
    TwipMapping mapping;
    QTextBrowser *view = nullptr;
};
std::array<Panel, 3> panels;

Panel makePanel(QSize screen)
{
    Panel panel{TwipMapping::fitting(screen, MainLayoutTwips)};
    panel.view = new QTextBrowser;
    panel.view->setReadOnly(true);
    panel.view->setOpenLinks(false);
    panel.view->setGeometry(helppanel::area(panel.mapping, QRect(QPoint(0, 0), screen)));
    panel.view->show();
    return panel;
}

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
    application = new QApplication(argc, argv);
    panels = {makePanel(QSize(1024, 768)), makePanel(QSize(1280, 1024)), makePanel(QSize(1920, 1080))};

    // The first layout loads the font database, which takes longer than the
    // time allowed to one input; it is done here, before any input is timed.
    for (const Panel &panel : panels) {
        helppanel::loadData(*panel.view->document(), QByteArrayLiteral("{\\rtf1 a {\\b b} {\\i c}}"),
                            panel.mapping);
        panel.view->document()->documentLayout()->documentSize();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // The screen follows the size of the input, so that every input is read
    // the same way each time.
    const Panel &panel = panels[size % panels.size()];
    QTextDocument &document = *panel.view->document();
    helppanel::loadData(document, bytes, panel.mapping);
    const QSizeF laidOut = document.documentLayout()->documentSize();
    // The panel's bounds are measured as Qt lays out; a document laid out
    // far taller than they allow got past them. Nor is a height negative.
    if (laidOut.height() < 0 || laidOut.height() > 2 * helppanel::MaxLayout.height)
        __builtin_trap();
    return 0;
}
