// The rich-text reader on files written by word processors (LibreOffice,
// pandoc, and one in the form Microsoft Word writes), and on the program's
// own help document.

#include "rtftesting.h"

#include <QStandardPaths>
#include <QTest>
#include <algorithm>

using namespace rtftesting;

namespace {

QString dataFile(const char *name)
{
    return QStringLiteral(RTF_TEST_DATA "/") + QString::fromUtf8(name);
}

// Destination text that must never reach the page: font and style names,
// document information, field instructions, picture data.
const QStringList &garbage()
{
    static const QStringList words{
        QStringLiteral("Liberation"), QStringLiteral("Times New Roman"), QStringLiteral("Helvetica"),
        QStringLiteral("Courier"),    QStringLiteral("Symbol"),          QStringLiteral("Calibri"),
        QStringLiteral("Normal"),     QStringLiteral("Heading"),         QStringLiteral("Footnote"),
        QStringLiteral("Hyperlink"),  QStringLiteral("Default Page Style"), QStringLiteral("HYPERLINK"),
        QStringLiteral("SHAPE"),      QStringLiteral("DATE"),            QStringLiteral("example.org"),
        QStringLiteral("89504e"),     QStringLiteral("pngblip"),         QStringLiteral("LibreOffice"),
        QStringLiteral("Documento di prova"), QStringLiteral("\\"),       QStringLiteral("{"),
        QStringLiteral("}"),
    };
    return words;
}

std::unique_ptr<QTextDocument> load(const QString &path)
{
    auto document = std::make_unique<QTextDocument>();
    QString error;
    if (!rtf::loadRtfFile(path, *document, &error))
        qWarning("%s: %s", qPrintable(path), qPrintable(error));
    return document;
}

// The first of `words` that `shown` holds (with `holds` false: the first it
// lacks); empty when there is none.
QString firstOf(const QStringList &words, const QString &shown, bool holds = true)
{
    for (const QString &word : words) {
        if (shown.contains(word) == holds)
            return word;
    }
    return {};
}

} // namespace

class TestRtfDocuments : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
    }

    void ourDocument_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("LibreOffice") << dataFile("documento-libreoffice.rtf");
        QTest::newRow("pandoc") << dataFile("documento-pandoc.rtf");
    }

    // What both converters keep of documento.fodt.
    void ourDocument()
    {
        QFETCH(QString, path);
        const auto document = load(path);
        const QString shown = text(*document);
        const QStringList shownSentences{QStringLiteral("La città di Firenze nel Medioevo"),
            QStringLiteral("Nel Trecento la città era già ricca: le corporazioni delle arti, però, contavano più dei nobili1."),
            QStringLiteral("perché era così affidabile? Un prezzo in euro: 10 €; una lettera greca: Ω."),
            QStringLiteral("Questo paragrafo è centrato."), QStringLiteral("Firenze, 1348"),
            QStringLiteral("che uccise metà degli abitanti."), QStringLiteral("la lana"),
            QStringLiteral("il commercio del grano"), QStringLiteral("Per saperne di più visita il sito del museo della città."),
            QStringLiteral("Le arti maggiori erano sette.")};
        QCOMPARE(firstOf(shownSentences, shown, false), QString());
        QCOMPARE(firstOf(garbage(), shown), QString());
        QVERIFY2(!shown.contains(QLatin1String("Intestazione di prova")), "the page header is not shown");
        QCOMPARE(int(shown.count(QChar(0x2022))), 3);
        QVERIFY2(shown.indexOf(QLatin1String("sette.")) > shown.indexOf(QLatin1String("museo")),
                 "the footnote comes after the text");

        QCOMPARE(fragment(*document, QStringLiteral("corporazioni")).charFormat().fontWeight(), int(QFont::Bold));
        QVERIFY(fragment(*document, QStringLiteral("arti")).charFormat().fontItalic());
        const QList<QTextFragment> all = fragments(*document);
        QVERIFY2(std::none_of(all.cbegin(), all.cend(), [](const QTextFragment &f) { return f.charFormat().isAnchor(); }),
                 "links are shown as text only");

        const QList<QTextImageFormat> pictures = images(*document);
        QCOMPARE(pictures.size(), 1);
        const QImage picture =
            document->resource(QTextDocument::ImageResource, QUrl(pictures.first().name())).value<QImage>();
        QCOMPARE(picture.size(), QSize(48, 32));

        QTextTable *table = tableHolding(*document, QStringLiteral("Anno"));
        QVERIFY2(table, "the table is a table");
        QCOMPARE(table->rows(), 3);
        QCOMPARE(table->columns(), 2);
        QCOMPARE(table->cellAt(1, 1).firstCursorPosition().block().text(), QStringLiteral("primo fiorino d’oro"));
        QCOMPARE(table->cellAt(2, 0).firstCursorPosition().block().text(), QStringLiteral("1348"));
    }

    // LibreOffice keeps more of the formatting than pandoc.
    void libreOfficeFormatting()
    {
        const auto document = load(dataFile("documento-libreoffice.rtf"));
        const QTextCharFormat title = fragment(*document, QStringLiteral("Medioevo")).charFormat();
        QCOMPARE(title.fontWeight(), int(QFont::Bold));
        QCOMPARE(title.fontPointSize(), 18.0);
        QCOMPARE(title.fontFamilies().toStringList(), QStringList{QStringLiteral("Liberation Sans")});
        QVERIFY(fragment(*document, QStringLiteral("Trecento")).charFormat().fontUnderline());
        QCOMPARE(fragment(*document, QStringLiteral("fiorino")).charFormat().foreground().color(), QColor(0xc0, 0, 0));
        QVERIFY2(!fragment(*document, QStringLiteral("la città era")).charFormat().hasProperty(QTextFormat::ForegroundBrush),
                 "the colour of one word does not spread");
        const QTextCharFormat link = fragment(*document, QStringLiteral("sito del museo")).charFormat();
        QVERIFY(link.fontUnderline());
        QCOMPARE(link.foreground().color(), QColor(0, 0, 128));

        const auto alignment = [&](const char *needle) {
            return int(block(*document, QString::fromUtf8(needle)).blockFormat().alignment() & Qt::AlignHorizontal_Mask);
        };
        QCOMPARE(alignment("Medioevo"), int(Qt::AlignHCenter));
        QCOMPARE(alignment("centrato"), int(Qt::AlignHCenter));
        QCOMPARE(alignment("1348"), int(Qt::AlignRight));
        QCOMPARE(alignment("Nel Trecento"), int(Qt::AlignLeft));
        QCOMPARE(block(*document, QStringLiteral("rientrato")).blockFormat().leftMargin(), 1134 / 15.0);
        const QTextBlockFormat item = block(*document, QStringLiteral("la seta")).blockFormat();
        QCOMPARE(item.leftMargin(), 48.0);
        QCOMPARE(item.textIndent(), -24.0);
    }

    // Written by hand in the form Word writes: shape pictures with alternatives,
    // text boxes, fields with data, lists, a table with repeated row properties.
    void wordStyleDocument()
    {
        const auto document = load(dataFile("stile-word.rtf"));
        const QString shown = text(*document);
        const QStringList shownSentences{QStringLiteral("Titolo in Word"),
            QStringLiteral("Testo con un collegamento, una parola con segnalibro, una parola visibile e la data 2/1/2024."),
            QStringLiteral("\u2022\tPrimo punto"), QStringLiteral("\u2022\tSecondo punto"),
            QStringLiteral("日本 日本 Привет"), QStringLiteral("Dopo la tabella.")};
        QCOMPARE(firstOf(shownSentences, shown, false), QString());
        const QStringList hidden = QStringLiteral("Intestazione di Word|Pi\u00e8 di pagina|nascosta|segno |Prova di Word|"
                                                  "Autore|italiano|Immagine 2|00d0c9ea|504b03").split(u'|');
        QCOMPARE(firstOf(garbage() + hidden, shown), QString());
        QCOMPARE(int(shown.count(QLatin1String("Testo nella casella"))), 1);
        QCOMPARE(images(*document).size(), 2); // one inline, one floating; their metafile copies skipped

        QCOMPARE(int(block(*document, QStringLiteral("Titolo")).blockFormat().alignment() & Qt::AlignHorizontal_Mask),
                 int(Qt::AlignHCenter));
        QCOMPARE(fragment(*document, QStringLiteral("Titolo")).charFormat().fontPointSize(), 16.0);
        QTextTable *table = tableHolding(*document, QStringLiteral("Cella A1"));
        QVERIFY2(table, "the table is a table");
        QCOMPARE(table->rows(), 2);
        QCOMPARE(table->columns(), 2);
        QCOMPARE(table->cellAt(1, 1).firstCursorPosition().block().text(), QStringLiteral("Cella B2"));
        QCOMPARE(fragment(*document, QStringLiteral("Cella B2")).charFormat().fontWeight(), int(QFont::Bold));
        QVERIFY2(!tableHolding(*document, QStringLiteral("Dopo la tabella")), "the table ends at its last row");
    }

    void helpDocument()
    {
        QTextDocument document;
        QString error;
        QVERIFY2(rtf::loadRtfFile(QStringLiteral(NOZIOLI_HELP_RTF), document, &error), qPrintable(error));
        QCOMPARE(firstOf(garbage(), text(document)), QString());
        // Each colour is named on the colour the window shows.
        const std::pair<const char *, QColor> colours[] = {
            {"verde chiaro", QColor(128, 255, 128)}, {"giallo chiaro", QColor(255, 255, 128)},
            {"magenta", QColor(255, 0, 255)}, {"rosso", QColor(255, 0, 0)}, {"azzurro", QColor(192, 192, 255)}};
        for (const auto &[word, colour] : colours)
            QVERIFY2(fragment(document, QString::fromUtf8(word)).charFormat().background().color() == colour, word);

        // One screen: the panel is 789 pixels wide at scale 1, and "CHIUDI" sits
        // 527 pixels from its top; the text ends above it.
        document.setDocumentMargin(8);
        document.setTextWidth(789);
        QVERIFY2(document.size().height() <= 527,
                 qPrintable(QStringLiteral("help text %1 pixels high").arg(document.size().height())));
    }
};

QTEST_MAIN(TestRtfDocuments)
#include "tst_rtfdocuments.moc"
