#pragma once

#include "RunWindowContext.h"
#include "station/StationThread.h"
#include "station/StationView.h"
#include "station/TimingStation.h"

#include <QDialog>
#include <QPointer>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QAction;
class QLabel;
class QMenuBar;
class QLineEdit;
class QPlainTextEdit;
class QTextBrowser;
class QStackedWidget;
class QTabWidget;

namespace pistel {

struct AppState;
class TDM1;
class OperatorDialog;
class ImpulseJournal;
class RunPageWidget;
class RunSettingsPage;
class TCuteButton;
class RankingView;
class HistoryView;
class DocumentDialog;
class BackupWindow;

// Asked before the run window closes while the timer port is open and lines came in.
extern const char* const kCloseWhileTiming;

// The competition run window: the first page, the run-1 and run-2 pages and the settings
// page, with the timer and display board ports open while it is shown.
class TFtaikai : public QDialog {
    Q_OBJECT
public:
    TFtaikai(AppState& app, TDM1& dm, OperatorDialog& dialog, ImpulseJournal* journal,
             TCustomCommX::PortResolver ports, QWidget* parent = nullptr);
    ~TFtaikai() override;

    void CuteButton3Click(); // "確認" on the first page
    // Picks a page as the operator's tab click does: 0 run 1, 1 run 2, 2 settings.
    void showPage(int index);
    bool tabsShown() const;
    // Every way of closing (Esc, the close button, the program's own) closes the ports; while
    // timing, the operator confirms first.
    void done(int result) override;
    // The timer port is open and lines came in: closing would stop a race's reception.
    bool timing() const { return view.timing(); }

    // The session the window shows, on a thread of its own; it ends with the window.
    StationThread stationThread;
    TimingStation& station;
    // What the window shows of it.
    StationView view{station};
    QStackedWidget* pages = nullptr;
    QTabWidget* tabs = nullptr;
    RunPageWidget* TabSheet1 = nullptr;
    RunPageWidget* TabSheet3 = nullptr;
    RunSettingsPage* TabSheet2 = nullptr;
    QWidget* TabSheet4 = nullptr;
    TCuteButton* CuteButton3 = nullptr;
    QButtonGroup* RGweb = nullptr;
    QCheckBox* CkBweb = nullptr;

    // Beyond the timing: documents, rankings, the change history, the end of a run.
    QMenuBar* menus = nullptr;
    QAction* documentsAction = nullptr;
    QAction* rankingAction = nullptr;
    QAction* historyAction = nullptr;
    QAction* endRunAction[2] = {nullptr, nullptr};
    QAction* backupAction = nullptr;
    BackupWindow* openBackup();
    RankingView* openRanking();
    HistoryView* openHistory();
    DocumentDialog* openDocuments(); // shown, not waited for

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    QWidget* firstPage();
    void showWeb();
    void showStatus(QLabel* RunPageWidget::*label, const QString& text, bool alarm);
    void showTimerHealth();
    void showDataHealth();
    void buildMenus();
    // A time came in for a competitor whose status says otherwise: asked without blocking.
    void askAboutStatus(const QString& bib, int run, const QString& code);

    // The station's state the settings file keeps (its run, its ports) follows into the
    // window's.
    void keepStationState();

    AppState& app_;
    OperatorDialog& dialog_;
    RunWindowContext context_;
    bool shown_ = false;
    QPointer<RankingView> ranking_;
    QPointer<HistoryView> history_;
    QPointer<BackupWindow> backup_;
};

} // namespace pistel
