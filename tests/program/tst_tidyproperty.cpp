// The tidying of a typed name, for what the names tried through every window
// (tst_badnames) leave out: only U+0020 is a space, and a name without one
// inside keeps its spaces around.
#include "archive/formnome.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TstTidyProperty : public QObject
{
    Q_OBJECT

private slots:
    void tidy_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("tidy");
        QTest::newRow("one word keeps its spaces") << u" Rossi "_s << u" Rossi "_s;
        QTest::newRow("tabs are not spaces") << u" Rossi\t\tMario "_s << u" Rossi\t\tMario "_s;
        QTest::newRow("a tab and a no-break space around stay") << u"\tRossi  Mario\u00a0"_s << u"\tRossi Mario\u00a0"_s;
        QTest::newRow("a no-break space splits a run") << u"Rossi  \u00a0  Mario "_s << u"Rossi \u00a0 Mario"_s;
    }

    void tidy()
    {
        QFETCH(QString, typed);
        QFETCH(QString, tidy);
        QCOMPARE(tidyTypedName(typed), tidy);
    }
};

QTEST_GUILESS_MAIN(TstTidyProperty)
#include "tst_tidyproperty.moc"
