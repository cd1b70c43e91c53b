// Every passage fits the passage label of the main window: 7335 x 1575 twips (489 x 105 px at
// 96 dpi), Times New Roman 14.25 pt (19 px), word-wrapped.
#include "exercisebank.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QTest>

class TstPassageFit : public QObject
{
    Q_OBJECT

    ExerciseBank bank;
    QFont font;

private slots:
    void initTestCase()
    {
        bank.frasi();
        font = QFont(QStringLiteral("Times New Roman"));
        font.setPixelSize(19);
        const QString family = QFontInfo(font).family();
        if (!family.contains(QStringLiteral("Liberation Serif")) && !family.contains(QStringLiteral("Times")))
            QSKIP(qPrintable(QStringLiteral("no Times-metric font (resolved to \"%1\"); install fonts-liberation")
                                 .arg(family)));
    }

    void fits_data()
    {
        QTest::addColumn<int>("number");
        for (int k = 1; k <= ExerciseBank::ExerciseCount; ++k)
            QTest::addRow("exercise %d", k) << k;
    }

    void fits()
    {
        QFETCH(int, number);
        const QRect label(0, 0, 489, 105);
        const QRect used = QFontMetrics(font).boundingRect(label, Qt::TextWordWrap, bank.key(number).passage);
        QVERIFY2(used.height() <= label.height() && used.width() <= label.width(),
                 qPrintable(QStringLiteral("passage needs %1 x %2 px").arg(used.width()).arg(used.height())));
    }
};

QTEST_MAIN(TstPassageFit)
#include "tst_passagefit.moc"
