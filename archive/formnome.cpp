#include "archive/formnome.h"

#include "archive/dialogs.h"
#include "archive/namelistmodel.h"
#include "play/colours.h"
#include "store/resultsstore.h"

#include <QCloseEvent>
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

using namespace Qt::StringLiterals;

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
    using C = TwipControl;
    const TwipFont bold {TwipMapping::Face::MsSansSerif, 8.25, true};
    m_layout.addControls(this, {
        {C::Shape, u"Shape2"_s, {}, tw(0, 0, 135, 7695), colours::mapGold},
        {C::Label, u"Label1"_s,
         u"Clicca sul tuo nome se è già presente nell'elenco. Se non lo trovi, clicca su INSERISCO IL MIO NOME"_s,
         tw(120, 120, 11535, 495), colours::control(), colours::purple, Qt::AlignRight | Qt::AlignVCenter,
         C::Wrap | C::Fit, bold},
        {C::Label, u"Label2"_s, u"Elenco dei nomi presenti in archivio"_s, tw(1320, 720, 3615, 255), {},
         colours::white, Qt::AlignCenter, C::Fit},
    });

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
    colours::setRoles(m_list, {QPalette::Base}, colours::lightOrange);
    colours::setRoles(m_list, {QPalette::Text}, colours::black);
    m_layout.add(m_list, tw(1320, 960, 3615, 6510));
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FormNOME::listSelectionChanged);

    QPushButton *nome = nullptr;
    QPushButton *esci = nullptr;
    m_layout.addControls(this, {
        {C::Label, u"Label8"_s, u"Nome selezionato:"_s, tw(6600, 960, 4455, 375), colours::paleYellow, colours::black},
        {C::Label, u"LabNOME"_s, {}, tw(6600, 1320, 4455, 375), colours::paleYellow, colours::black, Qt::AlignCenter,
         0, bold, &m_labNome},
        {C::Label, u"Label7"_s, {}, tw(6600, 2400, 4455, 1575), colours::paleGreen},
        {C::Button, u"CmdOK"_s,
         u"CLICCA QUI, se la scelta del nome è giusta. Altrimenti scegli un altro nome negli elenchi, oppure clicca "
         u"su INSERISCO IL MIO NOME"_s,
         tw(6600, 2400, 4455, 1575), colours::paleGreen, colours::black, {}, C::Fit, {}, &m_ok},
        {C::Button, u"cmdNOME"_s, u"INSERISCO IL MIO NOME"_s, tw(6600, 4680, 4455, 1455), colours::mintGreen,
         colours::black, {}, C::Fit, {}, &nome},
        {C::Button, u"cmdesci"_s, u"Esco"_s, tw(6600, 6720, 4455, 735), colours::seaGreen, colours::black, {}, C::Fit,
         {}, &esci},
        {C::Label, u"Label25"_s, u"Illustrazione: carta del Mediterraneo antico"_s, tw(1560, 7560, 3975, 255), {},
         colours::darkGrey, Qt::AlignLeft | Qt::AlignBottom, C::Fit},
    });
    connect(m_ok, &QPushButton::clicked, this, &FormNOME::confirm);
    connect(nome, &QPushButton::clicked, this, &FormNOME::askName);
    connect(esci, &QPushButton::clicked, this, &FormNOME::escoRequested);

    setTabOrder(m_list, m_ok);
    setTabOrder(m_ok, nome);
    setTabOrder(nome, esci);
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
    painter.fillRect(rect(), colours::control());
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
