#pragma once

#include "play/twiplayout.h"

#include <QSize>
#include <QString>
#include <QWidget>

class ClickLabel;
class Dialogs;
class ResultsStore;
class QLabel;
class QLineEdit;
class QPushButton;
class QScreen;
class QTableWidget;

// The results window: the archived totals of one pupil in the grid Grid5,
// a look-up of another pupil by surname and first name, "TORNA" back to
// the main window and "Esco".
//
// The name on show (shownName) is kept apart from the pupil's own name,
// which this window never changes: a look-up shows another pupil's row, while
// archiving keeps writing under the pupil's own.
class Risultati : public QWidget
{
    Q_OBJECT

public:
    // The client area, in twips.
    static constexpr QSize ClientTwips {12330, 9525};
    // Widths of the grid's columns, in twips.
    static constexpr int ColumnTwips[4] = {2200, 800, 800, 2600};
    // How the moment of the last archiving is shown.
    static QString dateFormat() { return QStringLiteral("dd/MM/yyyy HH:mm:ss"); }
    // What a cell shows for a value that cannot be shown (no number, no date).
    static QString missingValue() { return QStringLiteral("–"); }

    Risultati(ResultsStore &store, Dialogs &dialogs, QWidget *parent = nullptr);
    ~Risultati() override;

    // Loads the window for the pupil's own name, as CMDAGGIORNA does: opens
    // the archive again and shows that pupil's row. Run before every showing.
    void showPupil(const QString &pupilName);

    // The name whose results are searched and shown.
    const QString &shownName() const { return m_shownName; }

    // Scales the window for the screen and centres it in the screen's
    // available area.
    void placeOnScreen(QScreen *screen);
    const TwipMapping &mapping() const { return m_mapping; }

signals:
    // "Esco": the program is to end.
    void escoRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void buildGrid();
    void applyGridMetrics();
    void load();
    void nozioli();
    void cerca();
    void torna();
    void setCell(int row, int column, const QString &text);

    ResultsStore &m_store;
    Dialogs &m_dialogs;
    QString m_pupilName;                         // the pupil's own name
    TwipLayout m_layout;
    TwipMapping m_mapping;
    QString m_shownName;

    QLabel *m_labNome = nullptr;                 // LabNOME
    QPushButton *m_aggiorna = nullptr;           // CMDAGGIORNA
    QLineEdit *m_surname = nullptr;              // Text2
    QLineEdit *m_firstName = nullptr;            // Text1
    ClickLabel *m_cerca = nullptr;               // LabCERCA
    QTableWidget *m_grid = nullptr;              // Grid5
    ClickLabel *m_torna = nullptr;               // Labtorna
    ClickLabel *m_esci = nullptr;                // Labesci
};
