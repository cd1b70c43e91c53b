// The colours of the windows as they are painted, not only as they are set:
// each coloured control is grabbed and a point clear of its text compared.
#include "programharness.h"

#include "play/flatstyle.h"

#include <QGroupBox>
#include <QPushButton>
#include <QStandardPaths>

class TstPaintedColours : public QObject
{
    Q_OBJECT

    ProgramRun run;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        installProgramStyle();      // as the program starts
        QVERIFY(run.ready() && run.createArchive({{QStringLiteral("Rossi Mario"), ArchiveTotals{1, 0, 0, 0, 0, 0}}}));
        QVERIFY(run.start());
        run.clickListEntry(0);      // shows CmdOK
    }

    void painted_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        for (const char *control : {"Combo1", "cmdaiuto", "Frame1", "Frame2", "Frame3", "Frame4"})
            QTest::newRow(control) << "fnozioli" << control;
        for (const char *control : {"CmdOK", "cmdNOME", "cmdesci"})
            QTest::newRow(control) << "FormNOME" << control;
    }

    // Each control is painted in the colour its window gives it: buttons and
    // the list their Button role, frames their background.
    void painted()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        if (window == u"fnozioli" && !run.main())
            click(child(run.form(), "CmdOK"));
        QWidget *top = window == u"fnozioli" ? static_cast<QWidget *>(run.main()) : run.form();
        QWidget *widget = child(top, control);
        QVERIFY(widget);
        const bool frame = qobject_cast<QGroupBox *>(widget);
        const QColor colour = widget->palette().color(frame ? widget->backgroundRole() : QPalette::Button);
        const QImage image = widget->grab().toImage();
        // Frames: the bottom left corner of the panel, under the caption and
        // clear of the boxes; buttons and the list: the left edge inside the
        // border, halfway down, clear of the centred captions.
        const QPoint at = frame ? QPoint(3, image.height() - 4) : QPoint(3, image.height() / 2);
        const QColor painted = image.pixelColor(at * image.devicePixelRatio());
        QVERIFY2(painted.rgb() == colour.rgb(),
                 qPrintable(QStringLiteral("%1 painted %2, set %3").arg(control, painted.name(), colour.name())));
    }

    // The opened list of Combo1 keeps its colours and fits the screen.
    void openedList()
    {
        if (!run.main())
            click(child(run.form(), "CmdOK"));
        auto *combo = child<QComboBox>(run.main(), "Combo1");
        combo->showPopup();
        QWidget *popup = combo->view()->window();
        QVERIFY(QTest::qWaitForWindowExposed(popup));
        const QImage image = combo->view()->viewport()->grab().toImage();
        const QColor painted = image.pixelColor(QPoint(image.width() - 3, image.height() - 3) * image.devicePixelRatio());
        QVERIFY2(painted.rgb() == QColor(0, 0, 192).rgb() || painted.rgb() == QColor(192, 192, 255).rgb(),
                 qPrintable(painted.name()));
        QVERIFY2(popup->height() <= run.main()->screen()->availableGeometry().height(), "the list fits the screen");
        combo->hidePopup();
    }
};

QTEST_MAIN(TstPaintedColours)
#include "tst_paintedcolours.moc"
