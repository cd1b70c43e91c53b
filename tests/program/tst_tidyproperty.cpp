// The tidying of a typed name against a plain restatement of its rule, over
// many random names made of spaces, letters, tabs, no-break spaces and
// accented letters, plus the properties the rule implies.
#include "formnome.h"

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

QString withoutSpaces(QString s)
{
    return s.remove(u' ');
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
    void matchesTheRule()
    {
        // Spaces weigh more, so that runs, leading and trailing spaces are common.
        const QString alphabet = QStringLiteral("     aZm\t\u00a0àÉ");
        QRandomGenerator random(20240301);    // fixed start value: every run tries the same names
        constexpr int Cases = 20000;
        for (int i = 0; i < Cases; ++i) {
            QString typed;
            const int length = int(random.bounded(13));
            for (int k = 0; k < length; ++k)
                typed += alphabet.at(int(random.bounded(alphabet.size())));
            const QString tidy = tidyTypedName(typed);
            const auto why = [&](const char *what) {
                return QStringLiteral("%1: %2 gave %3").arg(QString::fromUtf8(what), shown(typed), shown(tidy)).toUtf8();
            };
            QVERIFY2(tidy == reference(typed), why("differs from the rule").constData());
            QVERIFY2(tidy.size() <= typed.size(), why("grew").constData());
            QVERIFY2(withoutSpaces(tidy) == withoutSpaces(typed), why("lost, changed or moved a character").constData());
            if (tidy.contains(u' '))
                QVERIFY2(tidyTypedName(tidy) == tidy, why("a second tidying changed it again").constData());
        }
    }
};

QTEST_GUILESS_MAIN(TstTidyProperty)
#include "tst_tidyproperty.moc"
