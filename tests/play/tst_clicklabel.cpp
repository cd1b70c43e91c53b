// The pieces the windows are built from: the label used as a button, the
// twip layout mapping, the colour helpers and the scaling of the help text.
#include "guitesting.h"

#include "play/clicklabel.h"
#include "play/colours.h"
#include "play/helppanel.h"
#include "play/twips.h"

#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

class TstClickLabel : public QObject
{
    Q_OBJECT

private slots:
    void activation_data()
    {
        QTest::addColumn<int>("kind");      // 0 mouse, 1 key
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("expected");
        QTest::newRow("left click") << 0 << int(Qt::LeftButton) << 0 << 1;
        QTest::newRow("right click") << 0 << int(Qt::RightButton) << 0 << 0;
        QTest::newRow("space") << 1 << int(Qt::Key_Space) << 0 << 1;
        QTest::newRow("return") << 1 << int(Qt::Key_Return) << 0 << 1;
        QTest::newRow("enter of the keypad") << 1 << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << 1;
        QTest::newRow("ctrl+return") << 1 << int(Qt::Key_Return) << int(Qt::ControlModifier) << 0;
        QTest::newRow("letter") << 1 << int(Qt::Key_A) << 0 << 0;
    }

    void activation()
    {
        QFETCH(int, kind);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, expected);
        ClickLabel label(QStringLiteral("spazio"));
        label.resize(120, 30);
        QSignalSpy spy(&label, &ClickLabel::activated);
        if (kind == 0)
            QTest::mouseClick(&label, Qt::MouseButton(key));
        else
            QTest::keyClick(&label, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(spy.count(), expected);
    }

    void activation_notWhenReleasedOutsideOrDisabled()
    {
        ClickLabel label(QStringLiteral("cultura"));
        label.resize(120, 30);
        QSignalSpy spy(&label, &ClickLabel::activated);
        QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(300, 5));
        QCOMPARE(spy.count(), 0);
        QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY2(spy.count() == 0, "a release without its press is no click");
        label.setEnabled(false);
        click(&label);
        QTest::keyClick(&label, Qt::Key_Space);
        QCOMPARE(spy.count(), 0);
    }

    void focus_shownForKeyboardOnly()
    {
        QWidget window;
        auto *first = new ClickLabel(QStringLiteral("politica"), &window);
        auto *second = new ClickLabel(QStringLiteral("economia"), &window);
        first->setGeometry(0, 0, 120, 30);
        second->setGeometry(0, 40, 120, 30);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        first->setFocus(Qt::OtherFocusReason);
        const QImage unfocused = second->grab().toImage();
        click(second);
        QCOMPARE(QApplication::focusWidget(), second);
        QVERIFY2(second->grab().toImage() == unfocused, "a click shows no focus frame");
        first->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(first, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), second);
        QVERIFY2(second->grab().toImage() != unfocused, "focus from the keyboard is framed");
    }

    void mark_besideTheCaption()
    {
        ClickLabel label;
        label.setCaption(QStringLiteral("religione"));
        label.setMarkRoom(true);
        label.resize(160, 30);
        QVERIFY(label.accessibleDescription().isEmpty());
        QVERIFY2(label.contentsRect().right() < label.width() - label.markExtent() + 1, "room is kept for the mark");
        const QImage plain = label.grab().toImage();

        label.setMark(AnswerMark::Right);
        QCOMPARE(label.text(), QStringLiteral("religione"));
        QCOMPARE(label.accessibleDescription(), QStringLiteral("giusto"));
        const QImage ticked = label.grab().toImage();
        QVERIFY2(ticked != plain, "the mark is drawn");

        label.setMark(AnswerMark::Wrong);
        QCOMPARE(label.accessibleDescription(), QStringLiteral("sbagliato"));
        QVERIFY(label.grab().toImage() != ticked);
        label.setMark(AnswerMark::None);
        QVERIFY(label.accessibleDescription().isEmpty());
        QCOMPARE(label.grab().toImage(), plain);
    }

    void accessible_button()
    {
        ClickLabel label(QStringLiteral("politica"));
        QSignalSpy spy(&label, &ClickLabel::activated);
        label.show();
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&label);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::Button);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("politica"));
        label.setCaption(QStringLiteral("economia"));
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("economia"));
        QVERIFY(iface->actionInterface());
        iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(spy.count(), 1);
    }

    void mapping_rectangles()
    {
        const TwipMapping one;
        QCOMPARE(one.rect(360, 5040, 2175, 495), QRect(24, 336, 145, 33));
        QCOMPARE(TwipMapping::fitting(QSize(0, 0), QSize(11835, 9045)).scale(), 1.0);   // no screen yet
        const TwipMapping m(1280.0 / 789);
        // Rectangles that touch in twips touch on screen: no gaps, no overlaps.
        for (int left = 0; left < 3000; left += 137) {
            const QRect a = m.rect(left, 0, 1001, 500);
            const QRect b = m.rect(left + 1001, 0, 500, 500);
            QCOMPARE(a.right() + 1, b.left());
        }
    }

    void mapping_fonts_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<double>("points");
        QTest::addColumn<int>("pixels");
        QTest::newRow("8.25 pt") << 1.0 << 8.25 << 11;
        QTest::newRow("14.25 pt") << 1.0 << 14.25 << 19;
        QTest::newRow("14.25 pt at 1920x1080") << 1080.0 / 603 << 14.25 << 34;
        QTest::newRow("tiny stays visible") << 0.01 << 1.0 << 1;
    }

    void mapping_fonts()
    {
        QFETCH(double, scale);
        QFETCH(double, points);
        QFETCH(int, pixels);
        const TwipMapping m(scale);
        QCOMPARE(m.fontPixelSize(points), pixels);
        QCOMPARE(m.font(TwipMapping::Face::Arial, points, true).pixelSize(), pixels);
    }

    void mapping_facesResolve()
    {
        const TwipMapping m;
        const QString sans = QFontInfo(m.font(TwipMapping::Face::MsSansSerif, 8.25)).family();
        const QString serif = QFontInfo(m.font(TwipMapping::Face::TimesNewRoman, 14.25)).family();
        if (!QFontInfo(QFont(QStringLiteral("Liberation Sans"))).exactMatch())
            QSKIP("fonts-liberation is not installed");
        QCOMPARE(sans, QStringLiteral("Liberation Sans"));
        QCOMPARE(serif, QStringLiteral("Liberation Serif"));
    }

    void mapping_fittingPixelSize()
    {
        QFont f = TwipMapping(1.0).font(TwipMapping::Face::MsSansSerif, 8.25);
        QCOMPARE(TwipMapping::fittingPixelSize(f, QStringLiteral("Risultati"), QSize(200, 40), Qt::AlignLeft), 11);
        const int px = TwipMapping::fittingPixelSize(f, QStringLiteral("Sbagliati Sbagliati Sbagliati"), QSize(30, 14),
                                                     Qt::AlignLeft);
        QVERIFY2(px < 11, "a caption too wide for its label gets a smaller font");
    }

    void colours_disabledLabelDimmed()
    {
        ClickLabel label(QStringLiteral("MMMMMMMM"));
        QFont f = label.font();
        f.setPixelSize(24);
        f.setBold(true);
        label.setFont(f);
        label.resize(200, 30);
        colours::setBackground(&label, colours::lightGreen);
        colours::setText(&label, colours::black, colours::dimmedText);
        label.setEnabled(false);
        const QImage image = label.grab().toImage();
        int dimmed = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                dimmed += image.pixelColor(x, y) == colours::dimmedText;
        }
        QVERIFY2(dimmed > 50, "a disabled caption is painted in the dimmed colour, not the style's pale grey");
    }

    void help_scaledLikeTheWindow()
    {
        QTextDocument doc;
        QTextCursor cursor(&doc);
        QTextBlockFormat block;
        block.setLeftMargin(20);
        block.setTextIndent(10);
        cursor.setBlockFormat(block);
        QTextCharFormat big;
        big.setFontPointSize(18);
        cursor.insertText(QStringLiteral("Titolo"), big);
        cursor.insertText(QStringLiteral(" e testo"), QTextCharFormat());

        const double defaultPoints = doc.defaultFont().pointSizeF();
        const TwipMapping m(2.0);
        helppanel::scaleDocument(doc, m);
        const QTextBlock first = doc.begin();
        QCOMPARE(first.blockFormat().leftMargin(), 40.0);
        QCOMPARE(first.blockFormat().textIndent(), 20.0);
        const QTextFragment title = first.begin().fragment();
        QCOMPARE(title.text(), QStringLiteral("Titolo"));
        QCOMPARE(title.charFormat().font().pixelSize(), m.fontPixelSize(18));
        QCOMPARE(doc.defaultFont().pixelSize(), m.fontPixelSize(defaultPoints));
        QCOMPARE(doc.toPlainText(), QStringLiteral("Titolo e testo"));
    }
};

QTEST_MAIN(TstClickLabel)
#include "tst_clicklabel.moc"
