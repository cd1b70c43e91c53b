#include "archive/risultati.h"

#include "archive/dialogs.h"
#include "play/clicklabel.h"
#include "play/colours.h"
#include "store/resultsstore.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>

#include <cmath>

namespace {

QRect tw(int left, int top, int width, int height)
{
    return QRect(left, top, width, height);
}

const QColor nightBlue {0, 0, 64};
const QColor navy {0, 0, 128};
const QColor olive {128, 128, 0};
const QColor oliveYellow {192, 192, 0};
const QColor pink {255, 192, 255};
const QColor silver {192, 192, 192};
const QColor fixedCell {192, 192, 192};   // heading cells of the grid
const QColor gridBackground {128, 128, 128};

constexpr int GridRows = 4;
constexpr int GridColumns = 4;
constexpr int RowTwips = 375;

// The whole number a total is shown as; missing when the value is no number.
QString wholeNumber(double value)
{
    return std::isfinite(value) ? QString::number(value, 'f', 0) : Risultati::missingValue();
}

void setColours(QWidget *widget, const QColor &background, const QColor &text)
{
    if (background.isValid())
        colours::setBackground(widget, background);
    colours::setText(widget, text);
}

} // namespace

Risultati::Risultati(ResultsStore &store, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_store(store)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("Risultati"));
    setWindowTitle(QStringLiteral("Risultati conseguiti nelle esercitazioni"));
    setMouseTracking(true);
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
    using Face = TwipMapping::Face;
    auto addLabel = [this](const char *name, const QString &caption) {
        auto *label = new QLabel(caption, this);
        label->setObjectName(QString::fromUtf8(name));
        label->setTextFormat(Qt::PlainText);
        return label;
    };
    auto addClickLabel = [this](const char *name, const QString &caption) {
        auto *label = new ClickLabel(caption, this);
        label->setObjectName(QString::fromUtf8(name));
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        return label;
    };

    m_labNome = addLabel("LabNOME", QStringLiteral("Label5"));
    m_labNome->setAlignment(Qt::AlignCenter);
    setColours(m_labNome, nightBlue, oliveYellow);
    {
        TwipLayout::Item &item = m_layout.add(m_labNome, tw(0, 100, 11895, 375));
        item.face = Face::Arial;
        item.points = 12;
        item.bold = true;
    }

    // The reload stays reachable from the main window, which presses it
    // from code; the pupil does not need it.
    m_aggiorna = new QPushButton(QStringLiteral("AGGIORNA I RISULTATI"), this);
    m_aggiorna->setObjectName(QStringLiteral("CMDAGGIORNA"));
    m_aggiorna->hide();
    m_layout.add(m_aggiorna, tw(9600, 480, 2055, 495));
    connect(m_aggiorna, &QPushButton::clicked, this, &Risultati::load);

    auto *shape = new QFrame(this);
    shape->setObjectName(QStringLiteral("Shape1"));
    shape->setFrameStyle(QFrame::Box | QFrame::Plain);
    shape->setAttribute(Qt::WA_TransparentForMouseEvents);
    colours::setText(shape, olive);
    m_layout.add(shape, tw(9480, 720, 2415, 5535));

    QLabel *label = addLabel("Label9", QStringLiteral("CERCA i risultati di........ scrivi qui il COGNOME"));
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    setColours(label, colours::darkGrey, colours::lightBlue);
    m_layout.add(label, tw(9600, 1320, 1935, 495)).fitText = true;

    auto addTextBox = [this](const char *name, const QString &accessibleName, QRect twips) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QString::fromUtf8(name));
        edit->setAccessibleName(accessibleName);
        QPalette pal = edit->palette();
        pal.setColor(QPalette::Base, navy);
        pal.setColor(QPalette::Text, colours::lightBlue);
        edit->setPalette(pal);
        TwipLayout::Item &item = m_layout.add(edit, twips);
        item.points = 9.75;
        item.bold = true;
        return edit;
    };
    m_surname = addTextBox("Text2", QStringLiteral("Cognome"), tw(9600, 1920, 2175, 375));

    label = addLabel("Label8", QStringLiteral(" e qui il NOME"));
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    setColours(label, colours::darkGrey, colours::lightBlue);
    m_layout.add(label, tw(9600, 2760, 2055, 495)).fitText = true;

    m_firstName = addTextBox("Text1", QStringLiteral("Nome"), tw(9600, 3120, 2175, 375));

    m_cerca = addClickLabel("LabCERCA", QStringLiteral("       OK,          mostra i risultati"));
    setColours(m_cerca, navy, colours::lightBlue);
    {
        // At this size the caption breaks after "OK," (its spaces leave no
        // room for "mostra" on the first line) and the rest fits the second.
        TwipLayout::Item &item = m_layout.add(m_cerca, tw(9600, 5040, 2175, 735));
        item.face = Face::Arial;
        item.points = 12;
        item.bold = true;
    }
    connect(m_cerca, &ClickLabel::activated, this, &Risultati::cerca);
    connect(m_cerca, &ClickLabel::hovered, this, [this] { colours::setText(m_cerca, colours::red); });

    buildGrid();

    auto *picture = addLabel("Image2", QString());
    picture->setScaledContents(true);
    picture->setPixmap(QPixmap(QStringLiteral(":/image2.jpg")));
    m_layout.add(picture, tw(9600, 6600, 2175, 1620));

    m_torna = addClickLabel("Labtorna", QStringLiteral("TORNA"));
    colours::setText(m_torna, pink);
    {
        TwipLayout::Item &item = m_layout.add(m_torna, tw(9600, 6600, 2175, 1575));
        item.face = Face::Arial;
        item.points = 14.25;
        item.bold = true;
    }
    connect(m_torna, &ClickLabel::activated, this, &Risultati::torna);
    connect(m_torna, &ClickLabel::hovered, this, [this] { colours::setText(m_torna, colours::red); });

    // The bars go below "Esco", which overlaps them.
    // Its caption keeps the default text colour, hardly visible on the bar.
    label = addLabel("Label5", QStringLiteral("Label5"));
    colours::setBackground(label, nightBlue);
    m_layout.add(label, tw(0, 8505, 11895, 375));

    label = addLabel("Label25", QStringLiteral("Illustrazione: tempio greco sul mare, di notte"));
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    colours::setText(label, colours::white);
    m_layout.add(label, tw(1440, 8570, 3975, 255)).fitText = true;

    m_esci = addClickLabel("Labesci", QStringLiteral("Esco"));
    colours::setText(m_esci, pink);
    {
        TwipLayout::Item &item = m_layout.add(m_esci, tw(10080, 8520, 1335, 495));
        item.face = Face::Arial;
        item.points = 12;
        item.bold = true;
    }
    connect(m_esci, &ClickLabel::activated, this, &Risultati::escoRequested);
    connect(m_esci, &ClickLabel::hovered, this, [this] { colours::setText(m_esci, colours::red); });

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
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setWordWrap(false);
    m_grid->setGridStyle(Qt::SolidLine);
    QPalette pal = m_grid->palette();
    pal.setColor(QPalette::Base, gridBackground);
    pal.setColor(QPalette::Text, colours::black);
    m_grid->setPalette(pal);
    for (int row = 0; row < GridRows; ++row) {
        for (int column = 0; column < GridColumns; ++column) {
            auto *item = new QTableWidgetItem;
            const bool fixed = row == 0 || column == 0;
            item->setBackground(fixed ? fixedCell : colours::white);
            item->setForeground(colours::black);
            item->setFlags(fixed ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            const Qt::Alignment horizontal = row == 0 ? Qt::AlignHCenter
                : column == 1 || column == 2        ? Qt::AlignRight
                                                    : Qt::AlignLeft;
            item->setTextAlignment(horizontal | Qt::AlignVCenter);
            m_grid->setItem(row, column, item);
        }
    }
    TwipLayout::Item &item = m_layout.add(m_grid, tw(1440, 2400, 6735, 3345));
    item.points = 9.75;
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

void Risultati::pointerOverBackground()
{
    colours::setText(m_torna, pink);
    colours::setText(m_esci, pink);
    colours::setText(m_cerca, silver);
}

void Risultati::mouseMoveEvent(QMouseEvent *event)
{
    // Moves over labels that do not track the pointer arrive here too; only
    // the bare background (the frame Shape1 included) counts.
    if (!childAt(event->position().toPoint()))
        pointerOverBackground();
    QWidget::mouseMoveEvent(event);
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
