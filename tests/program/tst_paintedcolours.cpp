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
        QTest::addColumn<QColor>("colour");
        // Near the left edge, halfway down: clear of the centred captions.
        QTest::newRow("Combo1 dark blue") << "fnozioli" << "Combo1" << QColor(0, 0, 192);
        QTest::newRow("cmdaiuto") << "fnozioli" << "cmdaiuto" << QColor(128, 128, 255);
        for (const char *frame : {"Frame1", "Frame2", "Frame3", "Frame4"})
            QTest::addRow("%s light blue", frame) << "fnozioli" << frame << QColor(192, 192, 255);
        QTest::newRow("CmdOK") << "FormNOME" << "CmdOK" << QColor(240, 255, 192);
        QTest::newRow("cmdNOME") << "FormNOME" << "cmdNOME" << QColor(192, 255, 192);
        QTest::newRow("cmdesci") << "FormNOME" << "cmdesci" << QColor(170, 224, 192);
    }

    void painted()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(QColor, colour);
        if (window == u"fnozioli" && !run.main())
            click(child(run.form(), "CmdOK"));
        QWidget *top = window == u"fnozioli" ? static_cast<QWidget *>(run.main()) : run.form();
        QWidget *widget = child(top, control.toLatin1().constData());
        QVERIFY(widget);
        const QImage image = widget->grab().toImage();
        // Frames: the bottom left corner of the panel, under the caption and
        // clear of the boxes; buttons and the list: the left edge inside the border.
        const QPoint at = qobject_cast<QGroupBox *>(widget) ? QPoint(3, image.height() - 4)
                                                            : QPoint(3, image.height() / 2);
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
