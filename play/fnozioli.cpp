#include "fnozioli.h"

#include "clicklabel.h"
#include "colours.h"
#include "helppanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QTextBrowser>
#include <QTimer>

#include <algorithm>

// Check-box indicators grow with the layout, like the text beside them.
class ScaledIndicatorStyle : public QProxyStyle
{
public:
    explicit ScaledIndicatorStyle(const QString &baseKey)
        : QProxyStyle(baseKey)
    {
    }

    void setScale(double scale) { m_scale = scale; }

    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        const int base = QProxyStyle::pixelMetric(metric, option, widget);
        switch (metric) {
        case PM_IndicatorWidth:
        case PM_IndicatorHeight:
        case PM_CheckBoxLabelSpacing:
            return qRound(base * m_scale);
        default:
            return base;
        }
    }

private:
    double m_scale = 1.0;
};

namespace {

constexpr int BlinkMilliseconds = 300;

QRect tw(int left, int top, int width, int height)
{
    return QRect(left, top, width, height);
}

// A check box that also shows the verdict on its answer as a mark.
class AnswerCheckBox : public QCheckBox
{
public:
    using QCheckBox::QCheckBox;

    void setMark(AnswerMark mark)
    {
        if (mark == m_mark)
            return;
        m_mark = mark;
        setAccessibleDescription(answerDescription(mark));
        update();
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QCheckBox::paintEvent(event);
        if (m_mark == AnswerMark::None)
            return;
        QStyleOptionButton option;
        initStyleOption(&option);
        const QRect textRect = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
        const int textWidth = fontMetrics().horizontalAdvance(text());
        const int side = std::max(6, fontMetrics().ascent() * 3 / 4);
        const int x = textRect.left() + textWidth + side / 2;
        if (x + side > width())
            return;
        QPainter painter(this);
        drawAnswerMark(painter, QRectF(x, height() / 2.0 - side / 2.0, side, side), m_mark, Qt::black);
    }

private:
    AnswerMark m_mark = AnswerMark::None;
};

AnswerMark markOf(AnswerState state)
{
    switch (state) {
    case AnswerState::Right: return AnswerMark::Right;
    case AnswerState::Wrong: return AnswerMark::Wrong;
    case AnswerState::Unanswered: break;
    }
    return AnswerMark::None;
}

QColor answerColour(AnswerState state, const QColor &unanswered)
{
    switch (state) {
    case AnswerState::Right: return colours::magenta;
    case AnswerState::Wrong: return colours::red;
    case AnswerState::Unanswered: break;
    }
    return unanswered;
}

void setTextIfChanged(QLabel *label, const QString &text)
{
    if (label->text() != text)
        label->setText(text);
}

void setVisibleIfChanged(QWidget *widget, bool visible)
{
    if (widget->isHidden() == visible)
        widget->setVisible(visible);
}

// Compares the widget's own setting, not the state inherited from its parent.
void setEnabledIfChanged(QWidget *widget, bool enabled)
{
    if (widget->testAttribute(Qt::WA_Disabled) == enabled)
        widget->setEnabled(enabled);
}

struct SuperConceptPlace
{
    const char *objectName;
    const char16_t *caption;
    QRect twips;
};

// In the order of the window, left to right and top to bottom.
const SuperConceptPlace superConceptPlaces[ConceptTaxonomy::SuperConceptCount] = {
    {"labpolitica", u"politica", tw(240, 3480, 2535, 375)},
    {"labeconomia", u"economia", tw(2880, 3480, 2775, 375)},
    {"labsociet\xc3\xa0", u"societ\u00e0", tw(5760, 3480, 2895, 375)},
    {"labcultura", u"cultura", tw(8760, 3480, 2775, 375)},
    {"labpopolazione", u"popolazione", tw(1320, 3960, 2775, 375)},
    {"labspazio", u"spazio", tw(4200, 3960, 3015, 375)},
    {"Labavvenimenti", u"avvenimenti", tw(7320, 3960, 3015, 375)},
};

struct BoxPlace
{
    int checkNumber;
    int frame;               // 0..3 for Frame1..Frame4
    const char16_t *caption;
    QRect twips;             // relative to the frame
};

// Frame1 "Periodo" 2655 wide, Frame2 "Durata" 2295, Frame3 "Luogo" 2415, Frame4 "Tempo" 2295.
const BoxPlace boxPlaces[ExerciseModel::BoxCount] = {
    {1, 0, u"  Esplicito", tw(1080, 240, 1515, 255)},
    {2, 0, u"  Implicito", tw(1080, 600, 1515, 255)},
    {3, 1, u"  Breve", tw(960, 200, 1275, 240)},
    {4, 1, u"  Media", tw(960, 480, 1275, 240)},
    {7, 1, u"  Lunga", tw(960, 720, 1275, 240)},
    {8, 3, u"Contemporaneit\u00e0", tw(120, 240, 2115, 255)},
    {9, 3, u"Successione", tw(120, 600, 2115, 255)},
    {5, 2, u"  Esplicito", tw(840, 240, 1515, 255)},
    {6, 2, u"  Implicito", tw(840, 600, 1515, 255)},
};

} // namespace

FNozioli::FNozioli(QWidget *parent)
    : QWidget(parent)
    , m_model(m_taxonomy, m_bank)
{
    setObjectName(QStringLiteral("fnozioli"));
    setWindowTitle(QStringLiteral("ESERCIZI DI NOZIOLIZZAZIONE"));
    setMouseTracking(true);
    colours::setBackground(this, colours::darkGrey);

    buildControls();

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(BlinkMilliseconds);
    connect(m_timer, &QTimer::timeout, this, &FNozioli::blink);
    m_timer->start();

    // The load.
    m_help->hide();
    m_closeHelp->hide();
    m_taxonomy.fill();
    m_bank.frasi();
    m_model.load();
    render();

    placeOnScreen(QGuiApplication::primaryScreen());
}

FNozioli::~FNozioli()
{
    // The boxes stop using the style before it goes.
    for (QCheckBox *box : m_boxes) {
        if (box)
            box->setStyle(nullptr);
    }
}

FNozioli::Placement &FNozioli::place(QWidget *widget, QRect twips)
{
    m_placements.push_back(Placement{widget, twips});
    return m_placements.back();
}

QLabel *FNozioli::addLabel(const char *name, const QString &caption, QRect twips)
{
    auto *label = new QLabel(this);
    label->setObjectName(QString::fromUtf8(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setText(caption);
    place(label, twips);
    return label;
}

ClickLabel *FNozioli::addClickLabel(const char *name, const QString &caption, QRect twips)
{
    auto *label = new ClickLabel(caption, this);
    label->setObjectName(QString::fromUtf8(name));
    place(label, twips);
    return label;
}

QWidget *FNozioli::addShape(const char *name, QRect twips)
{
    auto *shape = new QFrame(this);
    shape->setObjectName(QString::fromUtf8(name));
    shape->setFrameStyle(QFrame::Box | QFrame::Plain);
    shape->setAttribute(Qt::WA_TransparentForMouseEvents);
    colours::setText(shape, colours::lightBlue);
    place(shape, twips);
    return shape;
}

void FNozioli::buildControls()
{
    using Face = TwipMapping::Face;

    addShape("Shape3", tw(120, 120, 11535, 2895));

    colours::setBackground(addLabel("Label21", QString(), tw(240, 240, 135, 1575)), colours::lightBlue);
    m_passage = addLabel("Label1", QString(), tw(360, 240, 7335, 1575));
    m_passage->setWordWrap(true);
    colours::setBackground(m_passage, colours::lightBlue);
    m_placements.back().face = Face::TimesNewRoman;
    m_placements.back().points = 14.25;

    QLabel *label = addLabel("Label9", QStringLiteral("Devi trovare") + QString(24, u' ') + QStringLiteral("sovranozioli"),
                             tw(8040, 360, 3615, 375));
    colours::setText(label, colours::lightGreen);
    m_placements.back().fitText = true;
    m_toFindSuper = addLabel("Label11", QString(13, u' '), tw(9360, 240, 615, 495));
    m_toFindSuper->setAlignment(Qt::AlignCenter);
    colours::setBackground(m_toFindSuper, colours::lightGreen);

    label = addLabel("Label10", QStringLiteral("e") + QString(25, u' ') + QStringLiteral("nozioli"), tw(9000, 960, 2535, 375));
    colours::setText(label, colours::lightYellow);
    m_placements.back().fitText = true;
    m_toFindConcepts = addLabel("Label12", QString(), tw(9360, 840, 615, 495));
    m_toFindConcepts->setAlignment(Qt::AlignCenter);
    colours::setBackground(m_toFindConcepts, colours::lightYellow);

    label = addLabel("Label28", QStringLiteral("prima, però, rispondi qui sotto..."), tw(7800, 1440, 3735, 255));
    colours::setText(label, colours::lightBlue);
    m_placements.back().fitText = true;

    buildSpaceTime();

    label = addLabel("Label27", QStringLiteral("Risultati"), tw(10320, 1920, 1215, 255));
    label->setAlignment(Qt::AlignCenter);
    colours::setBackground(label, colours::lightBlue);
    m_placements.back().fitText = true;
    label = addLabel("Label22", QStringLiteral("Giusti        Sbagliati"), tw(10320, 2280, 615, 615));
    label->setWordWrap(true);
    colours::setBackground(label, colours::darkGrey);
    colours::setText(label, colours::lightBlue);
    m_placements.back().fitText = true;

    const auto addCounter = [this](ScoreSheet::Counter counter, QRect twips, const QColor &background,
                                   const QColor &text) {
        QLabel *l = addLabel(ScoreSheet::labelName(counter).toLatin1().constData(), QStringLiteral("0"), twips);
        l->setAlignment(Qt::AlignCenter);
        if (background.isValid())
            colours::setBackground(l, background);
        colours::setText(l, text);
        m_counters[counter] = l;
    };
    addCounter(ScoreSheet::spaziotempogiusti, tw(11040, 2280, 495, 255), colours::lightBlue, colours::black);
    addCounter(ScoreSheet::spaziotemposbagliati, tw(11040, 2640, 495, 255), colours::lightBlue, colours::red);

    label = addLabel("Label13", QStringLiteral("S  O  V  R  A  N  O  Z  I  O  L  I"), tw(120, 3120, 11535, 1380));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    colours::setBackground(label, colours::black);
    colours::setText(label, colours::green);
    m_placements.back().fitText = true;

    for (int i = 0; i < ConceptTaxonomy::SuperConceptCount; ++i) {
        const SuperConceptPlace &p = superConceptPlaces[i];
        ClickLabel *l = addClickLabel(p.objectName, QString::fromUtf16(p.caption), p.twips);
        l->setAlignment(Qt::AlignCenter);
        l->setMarkRoom(true);
        colours::setBackground(l, colours::lightGreen);
        colours::setText(l, colours::black, colours::dimmedText);
        m_placements.back().face = Face::Arial;
        m_placements.back().points = 14.25;
        m_placements.back().bold = true;
        connect(l, &ClickLabel::activated, this, [this, i] { answerSuperConcept(i); });
        m_superLabels[size_t(i)] = l;
    }

    label = addLabel("Label14", QStringLiteral("N  O  Z  I  O  L  I"), tw(120, 4680, 9495, 2220));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    colours::setBackground(label, colours::black);
    colours::setText(label, colours::yellow);
    m_placements.back().fitText = true;

    for (int i = 0; i < ExerciseModel::ConceptSlots; ++i) {
        const QRect twips(360 + (i % 4) * 2280, 5040 + (i / 4) * 600, 2175, 495);
        ClickLabel *l = addClickLabel(QStringLiteral("Label3_%1").arg(i).toLatin1().constData(), QString(), twips);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        l->setWordWrap(true);
        l->setMarkRoom(true);
        colours::setBackground(l, colours::lightYellow);
        colours::setText(l, colours::black);
        m_placements.back().points = 9.75;
        connect(l, &ClickLabel::activated, this, [this, i] { answerConcept(i); });
        m_conceptLabels[size_t(i)] = l;
    }

    addShape("Shape5", tw(9720, 4680, 1935, 2175));
    m_combo = new QComboBox(this);
    m_combo->setObjectName(QStringLiteral("Combo1"));
    for (int n = 1; n <= ExerciseBank::ExerciseCount; ++n)
        m_combo->addItem(QString::number(n));
    m_combo->setCurrentIndex(-1);
    m_combo->setMaxVisibleItems(20);
    {
        QPalette pal = m_combo->palette();
        for (QPalette::ColorRole role : {QPalette::Button, QPalette::Base, QPalette::Window})
            pal.setColor(role, colours::darkBlue);
        for (QPalette::ColorRole role : {QPalette::ButtonText, QPalette::Text, QPalette::WindowText})
            pal.setColor(role, colours::white);
        m_combo->setPalette(pal);
    }
    place(m_combo, tw(9800, 5040, 1815, 315));
    connect(m_combo, &QComboBox::activated, this, &FNozioli::chooseExercise);

    m_prompt = addLabel("Label29", QStringLiteral("Seleziona, qui sopra, l'esercizio"), tw(9840, 5520, 1695, 975));
    m_prompt->setWordWrap(true);
    m_prompt->setAlignment(Qt::AlignCenter);
    colours::setBackground(m_prompt, colours::lightBlue);
    colours::setText(m_prompt, colours::black);
    m_placements.back().fitText = true;

    m_helpButton = new QPushButton(QStringLiteral("? Aiuto ?"), this);
    m_helpButton->setObjectName(QStringLiteral("cmdaiuto"));
    {
        QPalette pal = m_helpButton->palette();
        pal.setColor(QPalette::Button, colours::helpButton);
        pal.setColor(QPalette::ButtonText, colours::black);
        m_helpButton->setPalette(pal);
    }
    place(m_helpButton, tw(120, 7320, 2415, 1200));
    m_placements.back().face = Face::Arial;
    m_placements.back().points = 12;
    m_placements.back().bold = true;
    connect(m_helpButton, &QPushButton::clicked, this, &FNozioli::openHelp);

    addShape("Shape4", tw(2640, 7320, 4815, 1215));
    label = addLabel("Label2", QStringLiteral("Sovranozioli") + QString(16, u' ') + QStringLiteral("Nozioli"),
                     tw(2760, 7680, 1455, 615));
    label->setWordWrap(true);
    colours::setText(label, colours::lightGrey);
    m_placements.back().fitText = true;
    label = addLabel("Label4", QStringLiteral(" Giusti   Sbagliati"), tw(4080, 7440, 1335, 255));
    colours::setText(label, colours::lightGrey);
    m_placements.back().fitText = true;
    addCounter(ScoreSheet::sovragiustiesercizio, tw(4080, 7680, 495, 255), colours::lightGreen, colours::black);
    addCounter(ScoreSheet::sovrasbagliatiesercizio, tw(4680, 7680, 495, 255), colours::lightGreen, colours::black);
    addCounter(ScoreSheet::nozioligiustiesercizio, tw(4080, 7920, 495, 255), colours::lightYellow, colours::black);
    addCounter(ScoreSheet::noziolisbagliatiesercizio, tw(4680, 7920, 495, 255), colours::lightYellow, colours::black);
    label = addLabel("Label19", QStringLiteral("Tot Giusti"), tw(5400, 7440, 855, 255));
    colours::setText(label, colours::white);
    m_placements.back().fitText = true;
    label = addLabel("Label20", QStringLiteral("Tot Sbagli"), tw(6360, 7440, 975, 255));
    colours::setText(label, colours::red);
    m_placements.back().fitText = true;
    addCounter(ScoreSheet::sovragiusti, tw(5760, 7680, 375, 255), QColor(), colours::white);
    addCounter(ScoreSheet::sovrasbagliati, tw(6720, 7680, 375, 255), QColor(), colours::red);
    addCounter(ScoreSheet::nozioligiusti, tw(5760, 7920, 375, 255), QColor(), colours::white);
    addCounter(ScoreSheet::noziolisbagliati, tw(6720, 7920, 375, 255), QColor(), colours::red);

    addShape("Shape2", tw(7560, 7320, 2055, 1185));
    m_archivio = addClickLabel("Labarchivio", QStringLiteral("Archivio dei risultati"), tw(7680, 7560, 1815, 615));
    m_archivio->setAlignment(Qt::AlignCenter);
    m_archivio->setWordWrap(true);
    colours::setText(m_archivio, colours::lightBlue);
    m_placements.back().fitText = true;
    connect(m_archivio, &ClickLabel::activated, this, &FNozioli::archivioRequested);
    connect(m_archivio, &ClickLabel::hovered, this, [this] { colours::setText(m_archivio, colours::red); });

    m_picture = addLabel("Image2", QString(), tw(9720, 7080, 1935, 1440));
    m_picture->setScaledContents(true);
    m_picture->setPixmap(QPixmap(QStringLiteral(":/image2.jpg")));
    m_esci = addClickLabel("Labesci", QStringLiteral("         Esci"), tw(9720, 7200, 1935, 1335));
    m_esci->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    colours::setText(m_esci, colours::white);
    m_placements.back().fitText = true;
    connect(m_esci, &ClickLabel::activated, this, &FNozioli::esciRequested);
    connect(m_esci, &ClickLabel::hovered, this, [this] { colours::setText(m_esci, colours::red); });

    label = addLabel("Label25", QStringLiteral("Illustrazioni: disegni originali del progetto Nozioli"),
                     tw(3360, 8640, 3975, 255));
    colours::setText(label, colours::white);
    m_placements.back().fitText = true;

    m_help = new QTextBrowser(this);
    m_help->setObjectName(QStringLiteral("RichTextBox1"));
    m_help->setReadOnly(true);
    m_help->setOpenLinks(false);
    m_help->setOpenExternalLinks(false);
    m_help->setTabChangesFocus(true);
    // Its text brings its own fonts, scaled when it is loaded.
    place(m_help, tw(0, 0, 12000, 9000)).points = 0;

    m_closeHelp = new QPushButton(QStringLiteral("CHIUDI"), this);
    m_closeHelp->setObjectName(QStringLiteral("CmdChiudiAiuto"));
    place(m_closeHelp, tw(5200, 7900, 1455, 495));
    connect(m_closeHelp, &QPushButton::clicked, this, &FNozioli::closeHelp);

    // Created after the boxes, so that it is destroyed after them.
    m_indicatorStyle = new ScaledIndicatorStyle(QApplication::style()->name());
    m_indicatorStyle->setParent(this);
    for (QCheckBox *box : m_boxes) {
        if (box)
            box->setStyle(m_indicatorStyle);
    }

    arrangeTabOrder();
}

void FNozioli::buildSpaceTime()
{
    struct FramePlace
    {
        const char *name;
        const char16_t *caption;
        QRect twips;
    };
    static const FramePlace framePlaces[4] = {
        {"Frame1", u"Periodo", tw(240, 1920, 2655, 975)},
        {"Frame2", u"Durata", tw(3000, 1920, 2295, 975)},
        {"Frame3", u"Luogo", tw(7800, 1920, 2415, 975)},
        {"Frame4", u"Tempo", tw(5400, 1920, 2295, 975)},
    };
    // Created in the order of the window, left to right.
    for (int f : {0, 1, 3, 2}) {
        auto *frame = new QGroupBox(QString::fromUtf16(framePlaces[f].caption), this);
        frame->setObjectName(QString::fromUtf8(framePlaces[f].name));
        colours::setBackground(frame, colours::lightBlue);
        colours::setText(frame, colours::black, colours::dimmedText);
        place(frame, framePlaces[f].twips);
        m_frames[size_t(f)] = frame;
    }
    for (const BoxPlace &p : boxPlaces) {
        auto *box = new AnswerCheckBox(QString::fromUtf16(p.caption), m_frames[size_t(p.frame)]);
        box->setObjectName(QStringLiteral("Check%1").arg(p.checkNumber));
        colours::setBackground(box, colours::lightBlue);
        colours::setText(box, colours::black, colours::dimmedText);
        place(box, p.twips);
        const int n = p.checkNumber;
        connect(box, &QCheckBox::clicked, this, [this, n] { answerBox(n); });
        m_boxes[size_t(n)] = box;
    }
}

void FNozioli::arrangeTabOrder()
{
    std::vector<QWidget *> order;
    order.push_back(m_combo);
    for (const BoxPlace &p : boxPlaces)
        order.push_back(m_boxes[size_t(p.checkNumber)]);
    for (ClickLabel *l : m_superLabels)
        order.push_back(l);
    for (ClickLabel *l : m_conceptLabels)
        order.push_back(l);
    order.push_back(m_helpButton);
    order.push_back(m_archivio);
    order.push_back(m_esci);
    order.push_back(m_help);
    order.push_back(m_closeHelp);
    for (size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void FNozioli::placeOnScreen(QScreen *screen)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        placeInArea(screen->geometry());
}

void FNozioli::placeInArea(const QRect &area)
{
    if (area.isEmpty())
        return;
    setGeometry(area);
    m_mapping = TwipMapping::fitting(area.size(), LayoutTwips);
    relayout();
}

void FNozioli::relayout()
{
    setFont(m_mapping.font(TwipMapping::Face::MsSansSerif, 8.25));
    for (const Placement &p : m_placements) {
        p.widget->setGeometry(m_mapping.rect(p.twips));
        if (p.points <= 0)
            continue;
        QFont font = m_mapping.font(p.face, p.points, p.bold);
        if (p.fitText) {
            if (auto *label = qobject_cast<QLabel *>(p.widget)) {
                const int flags = int(label->alignment()) | (label->wordWrap() ? int(Qt::TextWordWrap) : 0);
                const QSize room = label->contentsRect().size();
                font.setPixelSize(TwipMapping::fittingPixelSize(font, label->text(), room, flags));
            }
        }
        p.widget->setFont(font);
    }
    m_help->setGeometry(helpRect());
    if (helpShown())
        helppanel::load(*m_help->document(), helppanel::fileName(), m_mapping);
    m_indicatorStyle->setScale(m_mapping.scale());
    for (QCheckBox *box : m_boxes) {
        if (box) {
            box->updateGeometry();
            box->update();
        }
    }
}

QRect FNozioli::helpRect() const
{
    return helppanel::area(m_mapping, rect());
}

bool FNozioli::helpShown() const
{
    return !m_help->isHidden();
}

void FNozioli::chooseExercise(int comboIndex)
{
    m_timer->stop();
    colours::setBackground(m_prompt, colours::lightBlue);
    const int number = comboIndex >= 0 ? m_combo->itemText(comboIndex).toInt() : 0;
    m_model.startExercise(number);
    render();
}

void FNozioli::blink()
{
    const QColor now = colours::background(m_prompt);
    if (now == colours::lightBlue)
        colours::setBackground(m_prompt, colours::white);
    else if (now == colours::white)
        colours::setBackground(m_prompt, colours::lightBlue);
}

void FNozioli::openHelp()
{
    m_help->setGeometry(helpRect());
    m_help->show();
    m_help->raise();
    helppanel::load(*m_help->document(), helppanel::fileName(), m_mapping);
    m_help->moveCursor(QTextCursor::Start);
    m_closeHelp->setGeometry(m_mapping.rect(5200, 7900, 1455, 495));
    m_closeHelp->show();
    m_closeHelp->raise();
    m_help->setFocus(Qt::OtherFocusReason);
}

void FNozioli::closeHelp()
{
    m_closeHelp->hide();
    m_help->hide();
    m_helpButton->setFocus(Qt::OtherFocusReason);
}

void FNozioli::answerSuperConcept(int index)
{
    m_model.answerSuperConcept(m_superLabels[size_t(index)]->caption());
    render();
}

void FNozioli::answerConcept(int index)
{
    m_model.answerConcept(index);
    render();
}

void FNozioli::answerBox(int checkNumber)
{
    m_model.checkBox(checkNumber);
    render();
}

void FNozioli::render()
{
    setTextIfChanged(m_passage, m_model.passage());
    setTextIfChanged(m_toFindSuper, m_model.superConceptsToFind());
    setTextIfChanged(m_toFindConcepts, m_model.conceptsToFind());

    const bool superEnabled = m_model.superConceptsEnabled();
    for (ClickLabel *label : m_superLabels) {
        const AnswerState state = m_model.superConceptState(label->caption());
        setEnabledIfChanged(label, superEnabled);
        colours::setBackground(label, answerColour(state, colours::lightGreen));
        label->setMark(markOf(state));
    }

    for (int i = 0; i < ExerciseModel::ConceptSlots; ++i) {
        ClickLabel *label = m_conceptLabels[size_t(i)];
        const ExerciseModel::ConceptSlot &slot = m_model.conceptSlot(i);
        label->setCaption(slot.caption);
        colours::setBackground(label, answerColour(slot.state, colours::lightYellow));
        label->setMark(markOf(slot.state));
        setVisibleIfChanged(label, slot.shown);
    }

    const bool framesEnabled = m_model.framesEnabled();
    for (QGroupBox *frame : m_frames)
        setEnabledIfChanged(frame, framesEnabled);
    for (int n = 1; n <= ExerciseModel::BoxCount; ++n) {
        auto *box = static_cast<AnswerCheckBox *>(m_boxes[size_t(n)]);
        const ExerciseModel::Box &state = m_model.box(n);
        if (box->isChecked() != state.checked)
            box->setChecked(state.checked);
        setEnabledIfChanged(box, state.enabled);
        colours::setBackground(box, state.wrong ? colours::red : colours::lightBlue);
        // The answer given stays fully readable in its locked group.
        colours::setText(box, colours::black, state.checked ? colours::black : colours::dimmedText);
        const bool answered = state.checked && !state.enabled;
        box->setMark(!answered ? AnswerMark::None : state.wrong ? AnswerMark::Wrong : AnswerMark::Right);
    }

    const ScoreSheet &score = m_model.scoreSheet();
    for (int c = 0; c < ScoreSheet::CounterCount; ++c)
        setTextIfChanged(m_counters[size_t(c)], score.caption(ScoreSheet::Counter(c)));
}

void FNozioli::pointerOverBackground()
{
    colours::setText(m_esci, colours::white);
    colours::setText(m_archivio, colours::lightBlue);
}

void FNozioli::mouseMoveEvent(QMouseEvent *event)
{
    // Moves over controls that do not track the pointer arrive here too;
    // only the bare background counts.
    if (!childAt(event->position().toPoint()))
        pointerOverBackground();
    QWidget::mouseMoveEvent(event);
}

void FNozioli::closeEvent(QCloseEvent *event)
{
    if (event->spontaneous()) {
        // The window system's close control leaves like "Esci".
        event->ignore();
        emit esciRequested();
        return;
    }
    QWidget::closeEvent(event);
}

void FNozioli::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && helpShown()) {
        closeHelp();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool FNozioli::focusNextPrevChild(bool next)
{
    if (helpShown()) {
        // While the help covers the window, Tab moves between its two parts only.
        QWidget *target = focusWidget() == m_help ? static_cast<QWidget *>(m_closeHelp) : m_help;
        target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}
