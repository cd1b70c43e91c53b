#pragma once

#include "play/twiplayout.h"

#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QWidget>

#include <future>
#include <utility>

class Dialogs;
class NameListModel;
class ResultsStore;
class QLabel;
class QListView;
class QPushButton;
class QScreen;

// Tidies a name typed by the pupil: when, once leading and trailing spaces
// are removed, a space remains inside, the trimmed name with every run of
// spaces made one; otherwise the name exactly as typed. Only the space
// character counts.
QString tidyTypedName(const QString &typed);

// The pupil identification window: lists the archived names and lets the
// pupil pick one and confirm it, or type a name, and then goes on to the
// main window; or ends the program.
class FormNOME : public QWidget
{
    Q_OBJECT

public:
    // The client area, in twips.
    static constexpr QSize ClientTwips {11880, 8580};
    static constexpr QSize PictureSize {645, 506};     // the background picture, pixels at scale 1

    // Runs the load: places the window at the top left corner of the screen,
    // hides CmdOK, opens the archive and lists its names.
    FormNOME(ResultsStore &store, Dialogs &dialogs, QWidget *parent = nullptr);
    ~FormNOME() override;

    // Whether the load opened the archive and read its names.
    bool loaded() const { return m_loaded; }

    // Scales the window for the screen and puts it at the top left corner of
    // the screen's available area.
    void placeOnScreen(QScreen *screen);
    const TwipMapping &mapping() const { return m_mapping; }

    // The prompt of the name dialog: three lines, each break a line feed
    // followed by a carriage return.
    static QString namePrompt();

signals:
    // The pupil's name is now this: a listed name clicked, a typed name
    // tidied, or "Anonimo" when the name dialog was cancelled.
    void pupilNameSet(const QString &name);
    // A name has been chosen; the main window is to be shown.
    void nameChosen();
    // "Esco", or the window system's close control.
    void escoRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    bool load();
    QSize scaledPictureSize() const;
    void takePicture();
    void listSelectionChanged();
    void confirm();
    void askName();

    ResultsStore &m_store;
    Dialogs &m_dialogs;
    TwipLayout m_layout;
    TwipMapping m_mapping;
    QPixmap m_picture;
    QPixmap m_scaledPicture;
    // The picture as decoded and scaled for the first placement, made on a
    // pooled thread while the controls are built and the archive is read.
    std::future<std::pair<QImage, QImage>> m_pictureJob;
    QSize m_pictureJobSize;
    bool m_loaded = false;

    QLabel *m_labNome = nullptr;                 // LabNOME
    QListView *m_list = nullptr;                 // List1
    NameListModel *m_names = nullptr;
    QPushButton *m_ok = nullptr;                 // CmdOK
};
