#include "play/fnozioli.h"

#include "play/answermark.h"
#include "play/clicklabel.h"
#include "play/colours.h"
#include "play/helppanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

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

using Face = TwipMapping::Face;
const Qt::Alignment TopLeft = Qt::AlignLeft | Qt::AlignTop;
// Where CHIUDI stands over the help text.
constexpr QRect CloseHelpTwips = tw(5200, 7900, 1455, 495);

// What a counter counts, for a screen reader: its label shows the number only.
QString counterDescription(ScoreSheet::Counter counter)
{
    switch (counter) {
    case ScoreSheet::sovragiustiesercizio: return QStringLiteral("Sovranozioli giusti in questo esercizio");
    case ScoreSheet::sovrasbagliatiesercizio: return QStringLiteral("Sovranozioli sbagliati in questo esercizio");
    case ScoreSheet::nozioligiustiesercizio: return QStringLiteral("Nozioli giusti in questo esercizio");
    case ScoreSheet::noziolisbagliatiesercizio: return QStringLiteral("Nozioli sbagliati in questo esercizio");
    case ScoreSheet::sovragiusti: return QStringLiteral("Sovranozioli giusti in tutto");
    case ScoreSheet::sovrasbagliati: return QStringLiteral("Sovranozioli sbagliati in tutto");
    case ScoreSheet::nozioligiusti: return QStringLiteral("Nozioli giusti in tutto");
    case ScoreSheet::noziolisbagliati: return QStringLiteral("Nozioli sbagliati in tutto");
    case ScoreSheet::spaziotempogiusti: return QStringLiteral("Spazio e tempo: risposte giuste in tutto");
    case ScoreSheet::spaziotemposbagliati: return QStringLiteral("Spazio e tempo: risposte sbagliate in tutto");
    case ScoreSheet::CounterCount: break;
    }
    return {};
}

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

void FNozioli::buildControls()
{
    buildExerciseHead();
    buildAnswerPanels();
    buildCommands();
    buildHelpPanel();

    // Created after the boxes, so that it is destroyed after them.
    m_indicatorStyle = new ScaledIndicatorStyle(QApplication::style()->name());
    m_indicatorStyle->setParent(this);
    for (QCheckBox *box : m_boxes) {
        if (box)
            box->setStyle(m_indicatorStyle);
    }

    // Screen readers: the list is named by its prompt (they read the exercise
    // chosen as its value), and each counter says what it counts.
    m_prompt->setBuddy(m_combo);
    for (int c = 0; c < ScoreSheet::CounterCount; ++c)
        m_counters[size_t(c)]->setAccessibleDescription(counterDescription(ScoreSheet::Counter(c)));

    auto *highlight = new CommandHighlight(this);
    highlight->add(m_archivio, colours::lightBlue);
    highlight->add(m_esci, colours::white);
    arrangeTabOrder();
}

TwipControl FNozioli::counter(ScoreSheet::Counter counter, QRect twips, const QColor &background, const QColor &text)
{
    return {TwipControl::Label, ScoreSheet::labelName(counter), u"0"_s, twips, background, text, Qt::AlignCenter,
            0, {}, &m_counters[size_t(counter)]};
}

// The passage, how many answers are left to find, and the space-time
// questions with their counters.
void FNozioli::buildExerciseHead()
{
    using C = TwipControl;
    m_layout.addControls(this, {
        {C::Shape, u"Shape3"_s, {}, tw(120, 120, 11535, 2895), {}, colours::lightBlue},
        {C::Label, u"Label21"_s, {}, tw(240, 240, 135, 1575), colours::lightBlue, {}, TopLeft},
        {C::Label, u"Label1"_s, {}, tw(360, 240, 7335, 1575), colours::lightBlue, {}, TopLeft, C::Wrap,
         {Face::TimesNewRoman, 14.25}, &m_passage},
        {C::Label, u"Label9"_s, u"Devi trovare"_s + QString(24, u' ') + u"sovranozioli"_s, tw(8040, 360, 3615, 375),
         {}, colours::lightGreen, TopLeft, C::Fit},
        {C::Label, u"Label11"_s, QString(13, u' '), tw(9360, 240, 615, 495), colours::lightGreen, {},
         Qt::AlignCenter, 0, {}, &m_toFindSuper},
        {C::Label, u"Label10"_s, u"e"_s + QString(25, u' ') + u"nozioli"_s, tw(9000, 960, 2535, 375), {},
         colours::lightYellow, TopLeft, C::Fit},
        {C::Label, u"Label12"_s, {}, tw(9360, 840, 615, 495), colours::lightYellow, {}, Qt::AlignCenter, 0, {},
         &m_toFindConcepts},
        {C::Label, u"Label28"_s, u"prima, però, rispondi qui sotto..."_s, tw(7800, 1440, 3735, 255), {},
         colours::lightBlue, TopLeft, C::Fit},
    });
    buildSpaceTime();
    m_layout.addControls(this, {
        {C::Label, u"Label27"_s, u"Risultati"_s, tw(10320, 1920, 1215, 255), colours::lightBlue, {},
         Qt::AlignCenter, C::Fit},
        {C::Label, u"Label22"_s, u"Giusti        Sbagliati"_s, tw(10320, 2280, 615, 615), colours::darkGrey,
         colours::lightBlue, TopLeft, C::Wrap | C::Fit},
        counter(ScoreSheet::spaziotempogiusti, tw(11040, 2280, 495, 255), colours::lightBlue, colours::black),
        counter(ScoreSheet::spaziotemposbagliati, tw(11040, 2640, 495, 255), colours::lightBlue, colours::red),
    });
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
        m_layout.add(frame, framePlaces[f].twips);
        m_frames[size_t(f)] = frame;
    }
    for (const BoxPlace &p : boxPlaces) {
        auto *box = new AnswerCheckBox(QString::fromUtf16(p.caption), m_frames[size_t(p.frame)]);
        box->setObjectName(QStringLiteral("Check%1").arg(p.checkNumber));
        colours::setBackground(box, colours::lightBlue);
        colours::setText(box, colours::black, colours::dimmedText);
        m_layout.add(box, p.twips);
        const int n = p.checkNumber;
        connect(box, &QCheckBox::clicked, this, [this, n] { answerBox(n); });
        m_boxes[size_t(n)] = box;
    }
}

// The bands of super-concepts and of concepts.
void FNozioli::buildAnswerPanels()
{
    using C = TwipControl;
    m_layout.addControl(this, {C::Label, u"Label13"_s, u"S  O  V  R  A  N  O  Z  I  O  L  I"_s,
                               tw(120, 3120, 11535, 1380), colours::black, colours::green,
                               Qt::AlignHCenter | Qt::AlignTop, C::Fit});
    for (int i = 0; i < ConceptTaxonomy::SuperConceptCount; ++i) {
        const SuperConceptPlace &p = superConceptPlaces[i];
        ClickLabel *&label = m_superLabels[size_t(i)];
        m_layout.addControl(this, {C::Command, QString::fromUtf8(p.objectName), QString::fromUtf16(p.caption), p.twips,
                                   colours::lightGreen, {}, Qt::AlignCenter, 0, {Face::Arial, 14.25, true}, &label});
        label->setMarkRoom(true);
        colours::setText(label, colours::black, colours::dimmedText);
        connect(label, &ClickLabel::activated, this, [this, i] { answerSuperConcept(i); });
    }

    m_layout.addControl(this, {C::Label, u"Label14"_s, u"N  O  Z  I  O  L  I"_s, tw(120, 4680, 9495, 2220),
                               colours::black, colours::yellow, Qt::AlignHCenter | Qt::AlignTop, C::Fit});
    for (int i = 0; i < ExerciseModel::ConceptSlots; ++i) {
        ClickLabel *&label = m_conceptLabels[size_t(i)];
        m_layout.addControl(this, {C::Command, u"Label3_%1"_s.arg(i), {},
                                   tw(360 + (i % 4) * 2280, 5040 + (i / 4) * 600, 2175, 495), colours::lightYellow,
                                   colours::black, Qt::AlignLeft | Qt::AlignVCenter, C::Wrap, {Face::MsSansSerif, 9.75},
                                   &label});
        label->setMarkRoom(true);
        connect(label, &ClickLabel::activated, this, [this, i] { answerConcept(i); });
    }
}

// The choice of an exercise, the help, the running totals, the archive and the way out.
void FNozioli::buildCommands()
{
    using C = TwipControl;
    m_layout.addControl(this, {C::Shape, u"Shape5"_s, {}, tw(9720, 4680, 1935, 2175), {}, colours::lightBlue});
    m_combo = new QComboBox(this);
    m_combo->setObjectName(QStringLiteral("Combo1"));
    for (int n = 1; n <= ExerciseBank::ExerciseCount; ++n)
        m_combo->addItem(QString::number(n));
    m_combo->setCurrentIndex(-1);
    m_combo->setMaxVisibleItems(20);
    colours::setRoles(m_combo, {QPalette::Button, QPalette::Base, QPalette::Window}, colours::darkBlue);
    colours::setRoles(m_combo, {QPalette::ButtonText, QPalette::Text, QPalette::WindowText}, colours::white);
    m_layout.add(m_combo, tw(9800, 5040, 1815, 315));
    connect(m_combo, &QComboBox::activated, this, &FNozioli::chooseExercise);

    m_layout.addControl(this, {C::Label, u"Label29"_s, u"Seleziona, qui sopra, l'esercizio"_s,
                               tw(9840, 5520, 1695, 975), colours::lightBlue, colours::black, Qt::AlignCenter,
                               C::Wrap | C::Fit, {}, &m_prompt});

    m_helpButton = new QPushButton(QStringLiteral("? Aiuto ?"), this);
    m_helpButton->setObjectName(QStringLiteral("cmdaiuto"));
    colours::setRoles(m_helpButton, {QPalette::Button}, colours::helpButton);
    colours::setRoles(m_helpButton, {QPalette::ButtonText}, colours::black);
    m_layout.add(m_helpButton, tw(120, 7320, 2415, 1200), {Face::Arial, 12, true});
    connect(m_helpButton, &QPushButton::clicked, this, &FNozioli::openHelp);

    buildScorePanel();
    m_layout.addControls(this, {
        {C::Shape, u"Shape2"_s, {}, tw(7560, 7320, 2055, 1185), {}, colours::lightBlue},
        {C::Command, u"Labarchivio"_s, u"Archivio dei risultati"_s, tw(7680, 7560, 1815, 615), {}, colours::lightBlue,
         Qt::AlignCenter, C::Wrap | C::Fit, {}, &m_archivio},
        {C::Label, u"Image2"_s, {}, tw(9720, 7080, 1935, 1440), {}, {}, TopLeft, 0, {}, {}, u":/image2.jpg"_s},
        {C::Command, u"Labesci"_s, u"         Esci"_s, tw(9720, 7200, 1935, 1335), {}, colours::white,
         Qt::AlignLeft | Qt::AlignVCenter, C::Fit, {}, &m_esci},
        {C::Label, u"Label25"_s, u"Illustrazioni: disegni originali del progetto Nozioli"_s, tw(3360, 8640, 3975, 255),
         {}, colours::white, TopLeft, C::Fit},
    });
    connect(m_archivio, &ClickLabel::activated, this, &FNozioli::archivioRequested);
    connect(m_esci, &ClickLabel::activated, this, &FNozioli::esciRequested);
}

// The totals of the exercise and of the lesson.
void FNozioli::buildScorePanel()
{
    using C = TwipControl;
    m_layout.addControls(this, {
        {C::Shape, u"Shape4"_s, {}, tw(2640, 7320, 4815, 1215), {}, colours::lightBlue},
        {C::Label, u"Label2"_s, u"Sovranozioli"_s + QString(16, u' ') + u"Nozioli"_s, tw(2760, 7680, 1455, 615), {},
         colours::lightGrey, TopLeft, C::Wrap | C::Fit},
        {C::Label, u"Label4"_s, u" Giusti   Sbagliati"_s, tw(4080, 7440, 1335, 255), {}, colours::lightGrey, TopLeft,
         C::Fit},
        counter(ScoreSheet::sovragiustiesercizio, tw(4080, 7680, 495, 255), colours::lightGreen, colours::black),
        counter(ScoreSheet::sovrasbagliatiesercizio, tw(4680, 7680, 495, 255), colours::lightGreen, colours::black),
        counter(ScoreSheet::nozioligiustiesercizio, tw(4080, 7920, 495, 255), colours::lightYellow, colours::black),
        counter(ScoreSheet::noziolisbagliatiesercizio, tw(4680, 7920, 495, 255), colours::lightYellow, colours::black),
        {C::Label, u"Label19"_s, u"Tot Giusti"_s, tw(5400, 7440, 855, 255), {}, colours::white, TopLeft, C::Fit},
        {C::Label, u"Label20"_s, u"Tot Sbagli"_s, tw(6360, 7440, 975, 255), {}, colours::red, TopLeft, C::Fit},
        counter(ScoreSheet::sovragiusti, tw(5760, 7680, 375, 255), {}, colours::white),
        counter(ScoreSheet::sovrasbagliati, tw(6720, 7680, 375, 255), {}, colours::red),
        counter(ScoreSheet::nozioligiusti, tw(5760, 7920, 375, 255), {}, colours::white),
        counter(ScoreSheet::noziolisbagliati, tw(6720, 7920, 375, 255), {}, colours::red),
    });
}

// The help text over the whole window, and its close button.
void FNozioli::buildHelpPanel()
{
    m_help = new QTextBrowser(this);
    m_help->setObjectName(QStringLiteral("RichTextBox1"));
    m_help->setReadOnly(true);
    m_help->setOpenLinks(false);
    m_help->setOpenExternalLinks(false);
    m_help->setTabChangesFocus(true);
    // Placed by relayout(); its text brings its own fonts, scaled when it is loaded.

    m_closeHelp = new QPushButton(QStringLiteral("CHIUDI"), this);
    m_closeHelp->setObjectName(QStringLiteral("CmdChiudiAiuto"));
    m_layout.add(m_closeHelp, CloseHelpTwips);
    connect(m_closeHelp, &QPushButton::clicked, this, &FNozioli::closeHelp);
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
    m_mapping = TwipMapping::fitting(area.size(), MainLayoutTwips);
    relayout();
}

void FNozioli::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const TwipMapping fitted = TwipMapping::fitting(size(), MainLayoutTwips);
    if (!(fitted == m_mapping)) {
        m_mapping = fitted;
        relayout();
    }
}

void FNozioli::relayout()
{
    setFont(m_mapping.font(TwipMapping::Face::MsSansSerif, 8.25));
    m_layout.apply(m_mapping);
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
    m_closeHelp->setGeometry(m_mapping.rect(CloseHelpTwips));
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
        AnswerCheckBox *box = m_boxes[size_t(n)];
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

void FNozioli::closeEvent(QCloseEvent *event)
{
    if (event->spontaneous()) {
        // The window system's close control leaves the program.
        event->ignore();
        emit closeRequested();
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
