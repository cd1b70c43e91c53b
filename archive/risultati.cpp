#include "archive/risultati.h"

#include "archive/dialogs.h"
#include "play/clicklabel.h"
#include "play/colours.h"
#include "store/resultsstore.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr int GridRows = 4;
constexpr int GridColumns = 4;
constexpr int RowTwips = 375;

// The whole number a total is shown as; missing when the value is no number.
QString wholeNumber(double value)
{
    return std::isfinite(value) ? QString::number(value, 'f', 0) : Risultati::missingValue();
}

} // namespace

Risultati::Risultati(ResultsStore &store, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_store(store)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("Risultati"));
    setWindowTitle(QStringLiteral("Risultati conseguiti nelle esercitazioni"));
    colours::setBackground(this, colours::darkGrey);
    buildControls();
    // The look-up fields take a name as long as the name dialog does.
    m_surname->setMaxLength(NameMaxLength);
    m_firstName->setMaxLength(NameMaxLength);
    placeOnScreen(screen());
}

Risultati::~Risultati() = default;

void Risultati::buildControls()
{
    using C = TwipControl;
    const TwipFont arial12 {TwipMapping::Face::Arial, 12, true};
    const TwipFont textBox {TwipMapping::Face::MsSansSerif, 9.75, true};
    m_layout.addControl(this, {C::Label, u"LabNOME"_s, u"Label5"_s, tw(0, 100, 11895, 375), colours::nightBlue,
                               colours::oliveYellow, Qt::AlignCenter, 0, arial12, &m_labNome});

    // The reload of the pupil's own row, which showPupil() does; the pupil
    // does not need it.
    m_aggiorna = new QPushButton(QStringLiteral("AGGIORNA I RISULTATI"), this);
    m_aggiorna->setObjectName(QStringLiteral("CMDAGGIORNA"));
    m_aggiorna->hide();
    m_layout.add(m_aggiorna, tw(9600, 480, 2055, 495));
    connect(m_aggiorna, &QPushButton::clicked, this, &Risultati::load);

    m_layout.addControls(this, {
        {C::Shape, u"Shape1"_s, {}, tw(9480, 720, 2415, 5535), {}, colours::olive},
        {C::Label, u"Label9"_s, u"CERCA i risultati di........ scrivi qui il COGNOME"_s, tw(9600, 1320, 1935, 495),
         colours::darkGrey, colours::lightBlue, Qt::AlignCenter, C::Wrap | C::Fit},
        {C::TextBox, u"Text2"_s, u"Cognome"_s, tw(9600, 1920, 2175, 375), colours::navy, colours::lightBlue, {}, 0,
         textBox, &m_surname},
        {C::Label, u"Label8"_s, u" e qui il NOME"_s, tw(9600, 2760, 2055, 495), colours::darkGrey, colours::lightBlue,
         Qt::AlignCenter, C::Wrap | C::Fit},
        {C::TextBox, u"Text1"_s, u"Nome"_s, tw(9600, 3120, 2175, 375), colours::navy, colours::lightBlue, {}, 0,
         textBox, &m_firstName},
        // At this size the caption breaks after "OK," (its spaces leave no
        // room for "mostra" on the first line) and the rest fits the second.
        {C::Command, u"LabCERCA"_s, u"       OK,          mostra i risultati"_s, tw(9600, 5040, 2175, 735),
         colours::navy, colours::lightBlue, Qt::AlignCenter, C::Wrap, arial12, &m_cerca},
    });

    buildGrid();

    // The bars go below "Esco", which overlaps them. Label5 keeps the
    // default text colour, hardly visible on the bar.
    m_layout.addControls(this, {
        {C::Label, u"Image2"_s, {}, tw(9600, 6600, 2175, 1620), {}, {}, Qt::AlignLeft | Qt::AlignVCenter, 0, {}, {},
         u":/image2.jpg"_s},
        {C::Command, u"Labtorna"_s, u"TORNA"_s, tw(9600, 6600, 2175, 1575), {}, colours::pink, Qt::AlignCenter,
         C::Wrap, {TwipMapping::Face::Arial, 14.25, true}, &m_torna},
        {C::Label, u"Label5"_s, u"Label5"_s, tw(0, 8505, 11895, 375), colours::nightBlue},
        {C::Label, u"Label25"_s, u"Illustrazione: tempio greco sul mare, di notte"_s, tw(1440, 8570, 3975, 255), {},
         colours::white, Qt::AlignLeft | Qt::AlignVCenter, C::Fit},
        {C::Command, u"Labesci"_s, u"Esco"_s, tw(10080, 8520, 1335, 495), {}, colours::pink, Qt::AlignCenter, C::Wrap,
         arial12, &m_esci},
    });
    connect(m_cerca, &ClickLabel::activated, this, &Risultati::cerca);
    connect(m_torna, &ClickLabel::activated, this, &Risultati::torna);
    connect(m_esci, &ClickLabel::activated, this, &Risultati::escoRequested);
    auto *highlight = new CommandHighlight(this);
    highlight->add(m_torna, colours::pink);
    highlight->add(m_esci, colours::pink);
    highlight->add(m_cerca, colours::silver);

    setTabOrder(m_surname, m_firstName);
    setTabOrder(m_firstName, m_cerca);
    setTabOrder(m_cerca, m_grid);
    setTabOrder(m_grid, m_torna);
    setTabOrder(m_torna, m_esci);
}

void Risultati::buildGrid()
{
    m_grid = new QTableWidget(GridRows, GridColumns, this);
    m_grid->setObjectName(QStringLiteral("Grid5"));
    m_grid->setAccessibleName(QStringLiteral("Risultati"));
    m_grid->horizontalHeader()->hide();
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the grid for the controls after it; the arrows move inside it.
    m_grid->setTabKeyNavigation(false);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setWordWrap(false);
    m_grid->setGridStyle(Qt::SolidLine);
    colours::setRoles(m_grid, {QPalette::Base}, colours::grey);
    colours::setRoles(m_grid, {QPalette::Text}, colours::black);
    for (int row = 0; row < GridRows; ++row) {
        for (int column = 0; column < GridColumns; ++column) {
            auto *item = new QTableWidgetItem;
            const bool fixed = row == 0 || column == 0;
            item->setBackground(fixed ? colours::silver : colours::white);   // headings silver
            item->setForeground(colours::black);
            item->setFlags(fixed ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            const Qt::Alignment horizontal = row == 0 ? Qt::AlignHCenter
                : column == 1 || column == 2        ? Qt::AlignRight
                                                    : Qt::AlignLeft;
            item->setTextAlignment(horizontal | Qt::AlignVCenter);
            m_grid->setItem(row, column, item);
        }
    }
    m_layout.add(m_grid, tw(1440, 2400, 6735, 3345), {TwipMapping::Face::MsSansSerif, 9.75});
}

void Risultati::applyGridMetrics()
{
    for (int column = 0; column < GridColumns; ++column)
        m_grid->setColumnWidth(column, m_mapping.pixels(ColumnTwips[column]));
    for (int row = 0; row < GridRows; ++row)
        m_grid->setRowHeight(row, m_mapping.pixels(RowTwips));
}

void Risultati::placeOnScreen(QScreen *screen)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    m_mapping = windowMapping(screen, ClientTwips);
    m_layout.apply(m_mapping);
    setFont(m_mapping.font(TwipMapping::Face::MsSansSerif, 8.25));
    applyGridMetrics();
    setFixedSize(m_mapping.size(ClientTwips));
    if (screen) {
        QRect frame(QPoint(0, 0), size().grownBy(WindowFrameAllowance));
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void Risultati::setCell(int row, int column, const QString &text)
{
    QTableWidgetItem *item = m_grid->item(row, column);
    if (item && item->text() != text)
        item->setText(text);
}

void Risultati::showPupil(const QString &pupilName)
{
    m_pupilName = pupilName;
    load();
}

void Risultati::load()
{
    m_shownName = m_pupilName;
    m_labNome->setText(m_shownName);
    if (!m_store.open()) {
        m_dialogs.failure(this, m_store.lastError().message);
        return;
    }
    nozioli();
}

void Risultati::nozioli()
{
    ResultRecord record;
    switch (m_store.find(m_shownName, &record)) {
    case ResultsStore::Lookup::NotFound:
        // The numbers of the pupil shown before must not stand under this
        // name: the bar shows the name looked for, over empty values.
        for (int row = 1; row < m_grid->rowCount(); ++row) {
            for (int column = 1; column < m_grid->columnCount(); ++column)
                setCell(row, column, QString());
        }
        m_labNome->setText(m_shownName);
        m_dialogs.message(this, QStringLiteral("Nome non trovato"));
        return;
    case ResultsStore::Lookup::Failed:
        m_dialogs.failure(this, m_store.lastError().message);
        return;
    case ResultsStore::Lookup::Found:
        break;
    }

    applyGridMetrics();
    setCell(0, 0, QStringLiteral("Attività"));
    setCell(0, 1, QStringLiteral("Giusti"));
    setCell(0, 2, QStringLiteral("Su"));
    setCell(0, 3, QStringLiteral("Quando"));
    setCell(1, 0, QStringLiteral("Durata-Tempo-Luogo"));
    setCell(2, 0, QStringLiteral("Sovranozioli"));
    setCell(3, 0, QStringLiteral("Nozioli"));

    // A value that cannot be shown is shown as missing: never as the value
    // of the pupil shown before.
    const QString when = record.data.isValid() ? record.data.toString(dateFormat()) : missingValue();
    const auto fillRow = [&](int row, double right, double wrong) {
        setCell(row, 1, wholeNumber(right));
        setCell(row, 2, wholeNumber(right + wrong));
        setCell(row, 3, when);
    };
    fillRow(1, record.spaziotempogiusti, record.spaziotemposbagliati);
    fillRow(2, record.sovragiusti, record.sovrasbagliati);
    fillRow(3, record.nozioligiusti, record.noziolisbagliati);

    m_labNome->setText(m_shownName);
}

void Risultati::cerca()
{
    const QString firstName = m_firstName->text().toUpper().trimmed();
    const QString surname = m_surname->text().toUpper().trimmed();
    if (firstName.isEmpty() && surname.isEmpty()) {
        m_dialogs.message(this, QStringLiteral("Il tuo nome non è completo.."));
        return;
    }
    m_shownName = surname + u' ' + firstName;
    nozioli();
}

void Risultati::torna()
{
    m_shownName = m_pupilName;
    hide();
}

void Risultati::closeEvent(QCloseEvent *event)
{
    if (event->spontaneous()) {
        // The window system's close control goes back like "TORNA".
        event->ignore();
        torna();
        return;
    }
    QWidget::closeEvent(event);
}
