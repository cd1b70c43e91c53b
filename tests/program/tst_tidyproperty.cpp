// The tidying of a typed name: a handful of nasty names, and many random
// names made of spaces, letters, tabs, no-break spaces and accented letters
// compared with a plain restatement of the rule.
#include "archive/formnome.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

// The rule, written the simplest way: t is the text without its leading and
// trailing spaces (U+0020 only). When t holds a space, t with every run of
// spaces made one; otherwise the text exactly as typed.
QString reference(const QString &typed)
{
    QString t = typed;
    while (t.startsWith(u' '))
        t.remove(0, 1);
    while (t.endsWith(u' '))
        t.chop(1);
    if (!t.contains(u' '))
        return typed;
    while (t.contains(QStringLiteral("  ")))
        t.replace(QStringLiteral("  "), QStringLiteral(" "));
    return t;
}

// A name the way a failing case is best read: every character that is not a
// plain letter as its code.
QString shown(const QString &s)
{
    QString out;
    for (const QChar c : s)
        out += c.isLetter() && c.unicode() < 0x80 ? QString(c) : QStringLiteral("<%1>").arg(c.unicode(), 0, 16);
    return u'"' + out + u'"';
}

} // namespace

class TstTidyProperty : public QObject
{
    Q_OBJECT

private slots:
    void nastyNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("tidy");
        QTest::newRow("spaces around and a run inside") << QStringLiteral("  Rossi   Mario ") << QStringLiteral("Rossi Mario");
        QTest::newRow("capitals kept") << QStringLiteral("DE  luca Anna") << QStringLiteral("DE luca Anna");
        QTest::newRow("one word keeps its spaces") << QStringLiteral(" Rossi ") << QStringLiteral(" Rossi ");
        QTest::newRow("only spaces stay") << QStringLiteral("   ") << QStringLiteral("   ");
        QTest::newRow("tabs are not spaces") << QStringLiteral(" Rossi\t\tMario ") << QStringLiteral(" Rossi\t\tMario ");
        QTest::newRow("accents stay") << QStringLiteral("D'Amico  Niccolò") << QStringLiteral("D'Amico Niccolò");
    }

    void nastyNames()
    {
        QFETCH(QString, typed);
        QFETCH(QString, tidy);
        QCOMPARE(tidyTypedName(typed), tidy);
        QCOMPARE(reference(typed), tidy);
    }

    void randomNamesMatchTheRule()
    {
        // Spaces weigh more, so that runs, leading and trailing spaces are common.
        const QString alphabet = QStringLiteral("     aZm\t\u00a0àÉ");
        QRandomGenerator random(20240301);    // fixed start value: every run tries the same names
        for (int i = 0; i < 20000; ++i) {
            QString typed;
            const int length = int(random.bounded(13));
            for (int k = 0; k < length; ++k)
                typed += alphabet.at(int(random.bounded(alphabet.size())));
            const QString tidy = tidyTypedName(typed);
            QVERIFY2(tidy == reference(typed),
                     qPrintable(QStringLiteral("%1 gave %2").arg(shown(typed), shown(tidy))));
        }
    }
};

QTEST_GUILESS_MAIN(TstTidyProperty)
#include "tst_tidyproperty.moc"
