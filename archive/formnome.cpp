#include "archive/formnome.h"

#include "archive/dialogs.h"
#include "archive/namelistmodel.h"
#include "play/colours.h"
#include "store/resultsstore.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QThreadPool>

#include <memory>

namespace {

QRect tw(int left, int top, int width, int height)
{
    return QRect(left, top, width, height);
}

// A command button whose caption wraps over several lines, as long
// captions of these windows do.
class WrapButton : public QPushButton
{
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        QRect room = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        if (isDown())
            room.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                           style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
        painter.drawItemText(room, int(Qt::AlignCenter | Qt::TextWordWrap), palette(), isEnabled(), caption,
                             QPalette::ButtonText);
    }
};

// The platform's standard colour of controls.
QColor controlColour()
{
    return QApplication::palette().color(QPalette::Active, QPalette::Button);
}

const QColor purple {192, 0, 192};
const QColor paleYellow {255, 255, 192};
const QColor paleGreen {240, 255, 192};
const QColor lightOrange {255, 224, 192};
const QColor mapGold {214, 190, 140};      // the outlines of the map picture

QPushButton *colouredButton(QWidget *parent, const char *name, const QString &caption, const QColor &colour)
{
    auto *button = new WrapButton(caption, parent);
    button->setObjectName(QString::fromUtf8(name));
    QPalette pal = button->palette();
    pal.setColor(QPalette::Button, colour);
    pal.setColor(QPalette::Window, colour);
    pal.setColor(QPalette::ButtonText, colours::black);
    button->setPalette(pal);
    return button;
}

} // namespace

QString tidyTypedName(const QString &typed)
{
    qsizetype begin = 0;
    qsizetype end = typed.size();
    while (begin < end && typed.at(begin) == u' ')
        ++begin;
    while (end > begin && typed.at(end - 1) == u' ')
        --end;
    const QStringView trimmed = QStringView(typed).sliced(begin, end - begin);
    if (!trimmed.contains(u' '))
        return typed;
    QString tidy;
    tidy.reserve(trimmed.size());
    for (const QChar c : trimmed) {
        if (c == u' ' && tidy.endsWith(u' '))
            continue;
        tidy.append(c);
    }
    return tidy;
}

QString FormNOME::namePrompt()
{
    const QString lineBreak = QStringLiteral("\n\r");
    return QStringLiteral("Scrivi qui sotto PRIMA il cognome, POI il nome.") + lineBreak
        + QStringLiteral("Prima di premere OK, controlla che non ci siano errori.") + lineBreak
        + QStringLiteral("Se non vuoi registrare il risultato, clicca su 'Annulla'");
}

FormNOME::FormNOME(ResultsStore &store, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("FormNOME"));
    setWindowTitle(QStringLiteral("Form1"));
    // Decoding and smoothly scaling the picture take about as long as building
    // the controls and reading the archive: a pooled thread does them meanwhile
    // (QImage, unlike QPixmap, may be used off the GUI thread), for the size the
    // placement by the load will ask for. In a pooled thread the scaling keeps
    // to that thread instead of taking every core.
    m_mapping = windowMapping(screen(), ClientTwips);
    m_pictureJobSize = scaledPictureSize();
    auto job = std::make_shared<std::promise<std::pair<QImage, QImage>>>();
    m_pictureJob = job->get_future();
    QThreadPool::globalInstance()->start([job, size = m_pictureJobSize] {
        QImage picture(QStringLiteral(":/formnome.jpg"));
        QImage scaled = picture.isNull() ? QImage()
                                         : picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        job->set_value(std::pair(std::move(picture), std::move(scaled)));
    });
    buildControls();
    m_loaded = load();
}

FormNOME::~FormNOME() = default;

void FormNOME::buildControls()
{
    // Labels are placed by the caller, which may set their font.
    auto addLabel = [this](const char *name, const QString &caption) {
        auto *label = new QLabel(caption, this);
        label->setObjectName(QString::fromUtf8(name));
        label->setTextFormat(Qt::PlainText);
        return label;
    };

    auto *strip = new QFrame(this);
    strip->setObjectName(QStringLiteral("Shape2"));
    strip->setAttribute(Qt::WA_TransparentForMouseEvents);
    colours::setBackground(strip, mapGold);
    m_layout.add(strip, tw(0, 0, 135, 7695));

    QLabel *label = addLabel("Label1",
                             QStringLiteral("Clicca sul tuo nome se è già presente nell'elenco. Se non lo trovi, "
                                            "clicca su INSERISCO IL MIO NOME"));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setWordWrap(true);
    colours::setBackground(label, controlColour());
    colours::setText(label, purple);
    {
        TwipLayout::Item &item = m_layout.add(label, tw(120, 120, 11535, 495));
        item.bold = true;
        item.fitText = true;
    }

    label = addLabel("Label2", QStringLiteral("Elenco dei nomi presenti in archivio"));
    label->setAlignment(Qt::AlignCenter);
    colours::setText(label, colours::white);
    m_layout.add(label, tw(1320, 720, 3615, 255)).fitText = true;

    m_names = new NameListModel(m_store, this);
    // A page that cannot be read later on is said once; the list stays as it is.
    connect(m_names, &NameListModel::fetchFailed, this,
            [this](const QString &message) { m_dialogs.failure(this, message); });
    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("List1"));
    m_list->setAccessibleName(QStringLiteral("Elenco dei nomi presenti in archivio"));
    m_list->setUniformItemSizes(true);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setModel(m_names);
    {
        QPalette pal = m_list->palette();
        pal.setColor(QPalette::Base, lightOrange);
        pal.setColor(QPalette::Text, colours::black);
        m_list->setPalette(pal);
    }
    m_layout.add(m_list, tw(1320, 960, 3615, 6510));
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FormNOME::listSelectionChanged);

    label = addLabel("Label8", QStringLiteral("Nome selezionato:"));
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    colours::setBackground(label, paleYellow);
    colours::setText(label, colours::black);
    m_layout.add(label, tw(6600, 960, 4455, 375));

    m_labNome = new QLabel(this);
    m_labNome->setObjectName(QStringLiteral("LabNOME"));
    m_labNome->setTextFormat(Qt::PlainText);
    m_labNome->setAlignment(Qt::AlignCenter);
    colours::setBackground(m_labNome, paleYellow);
    colours::setText(m_labNome, colours::black);
    m_layout.add(m_labNome, tw(6600, 1320, 4455, 375)).bold = true;

    label = addLabel("Label7", QString());
    colours::setBackground(label, paleGreen);
    m_layout.add(label, tw(6600, 2400, 4455, 1575));

    m_ok = colouredButton(this,
                          "CmdOK",
                          QStringLiteral("CLICCA QUI, se la scelta del nome è giusta. Altrimenti scegli un altro "
                                         "nome negli elenchi, oppure clicca su INSERISCO IL MIO NOME"),
                          paleGreen);
    m_layout.add(m_ok, tw(6600, 2400, 4455, 1575)).fitText = true;
    connect(m_ok, &QPushButton::clicked, this, &FormNOME::confirm);

    QPushButton *button = colouredButton(this, "cmdNOME", QStringLiteral("INSERISCO IL MIO NOME"), {192, 255, 192});
    m_layout.add(button, tw(6600, 4680, 4455, 1455)).fitText = true;
    connect(button, &QPushButton::clicked, this, &FormNOME::askName);

    QPushButton *esci = colouredButton(this, "cmdesci", QStringLiteral("Esco"), {170, 224, 192});
    m_layout.add(esci, tw(6600, 6720, 4455, 735)).fitText = true;
    connect(esci, &QPushButton::clicked, this, &FormNOME::escoRequested);

    label = addLabel("Label25", QStringLiteral("Illustrazione: carta del Mediterraneo antico"));
    label->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    colours::setText(label, colours::darkGrey);
    m_layout.add(label, tw(1560, 7560, 3975, 255)).fitText = true;

    setTabOrder(m_list, m_ok);
    setTabOrder(m_ok, button);
    setTabOrder(button, esci);
}

bool FormNOME::load()
{
    placeOnScreen(screen());
    m_ok->hide();
    // The names are read a page at a time, as the list is scrolled.
    return m_store.open() && m_names->reload();
}

void FormNOME::placeOnScreen(QScreen *screen)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    m_mapping = windowMapping(screen, ClientTwips);
    m_layout.apply(m_mapping);
    setFont(m_mapping.font(TwipMapping::Face::MsSansSerif, 8.25));
    setFixedSize(m_mapping.size(ClientTwips));
    // The picture being made for this size is taken when it is first painted.
    if (!m_pictureJob.valid() || scaledPictureSize() != m_pictureJobSize) {
        takePicture();
        m_scaledPicture = m_picture.isNull()
            ? QPixmap()
            : m_picture.scaled(scaledPictureSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (screen)
        move(screen->availableGeometry().topLeft());
    update();
}

QSize FormNOME::scaledPictureSize() const
{
    return QSize(qRound(PictureSize.width() * m_mapping.scale()), qRound(PictureSize.height() * m_mapping.scale()));
}

// Waits for the worker's picture, if any; keeps its scaled copy when it was
// made for the present placement.
void FormNOME::takePicture()
{
    if (!m_pictureJob.valid())
        return;
    auto [picture, scaled] = m_pictureJob.get();
    m_picture = QPixmap::fromImage(std::move(picture));
    if (scaledPictureSize() == m_pictureJobSize)
        m_scaledPicture = QPixmap::fromImage(std::move(scaled));
}

void FormNOME::paintEvent(QPaintEvent *)
{
    takePicture();
    QPainter painter(this);
    painter.fillRect(rect(), controlColour());
    painter.drawPixmap(0, 0, m_scaledPicture);
}

void FormNOME::closeEvent(QCloseEvent *event)
{
    if (event->spontaneous()) {
        // The window system's close control leaves like "Esco".
        event->ignore();
        emit escoRequested();
        return;
    }
    QWidget::closeEvent(event);
}

void FormNOME::listSelectionChanged()
{
    const QModelIndexList selected = m_list->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    const QString name = selected.first().data().toString();
    emit pupilNameSet(name);
    m_labNome->show();
    m_labNome->setText(name);
    m_ok->show();
}

void FormNOME::confirm()
{
    m_labNome->hide();
    m_labNome->clear();
    m_ok->hide();
    // The same name can be clicked again when this window comes back.
    m_list->selectionModel()->clearSelection();
    emit nameChosen();
    hide();
}

void FormNOME::askName()
{
    const QString answer = m_dialogs.askText(this, namePrompt());
    if (answer.isEmpty()) {
        emit pupilNameSet(QStringLiteral("Anonimo"));
        return;
    }
    emit pupilNameSet(tidyTypedName(answer));
    emit nameChosen();
    hide();
}
