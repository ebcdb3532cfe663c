#pragma once

#include "board/BoardTestLines.h"
#include "capture/OutsideChanges.h"
#include "capture/ReceiveHandler.h"
#include "capture/RunControl.h"
#include "comm/PortSettings.h"
#include "comm/TCommX.h"
#include "data/ConnectionKeeper.h"
#include "station/CommByteSource.h"
#include "web/LiveSync.h"
#include "web/WebClient.h"
#include "web/WebCommands.h"

#include <QDateTime>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <optional>

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
struct SerialLine;
class TDM1;
class OperatorDialog;
class ImpulseJournal;
class RunPageWidget;
class TCuteButton;
class RankingView;
class HistoryView;
class DocumentDialog;
class BackupWindow;

// Asked before the run window closes while the timer port is open and lines came in.
extern const char* const kCloseWhileTiming;

// The four line settings of one port on the settings page.
struct LineChoices {
    QComboBox* baud = nullptr;
    QComboBox* dataBits = nullptr;
    QComboBox* parity = nullptr;
    QComboBox* stopBits = nullptr;
};

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
    bool timing() const { return CommX1.isOpen() && linesReceived_ > 0; }

    TCommX CommX1;
    TCommX CommBoard;
    CommByteSource timerBytes{CommX1};
    RunControl control;
    ConnectionKeeper keeper{control.dm};
    ReceiveHandler receiver;
    // The second timer (system B): its lines are received, journaled (in a folder of their
    // own) and logged like the timer's, in a table of their own; never captured.
    TCommX CommB;
    CommByteSource backupBytes{CommB};
    std::unique_ptr<ImpulseJournal> backupJournal;
    ReceiveHandler backupReceiver;
    QComboBox* Cbxcomm3 = nullptr;
    // Opens the second timer's port (app.backupPortNo; 0 closes it); false when it cannot.
    bool openBackupPort();
    PortSettings ports;
    BoardTests board{CommBoard};
    WebClient webClient;
    WebCommands web;
    LiveSync liveSync;

    QStackedWidget* pages = nullptr;
    QTabWidget* tabs = nullptr;
    RunPageWidget* TabSheet1 = nullptr;
    RunPageWidget* TabSheet3 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* TabSheet4 = nullptr;
    QComboBox* Cbxcomm1 = nullptr;
    QComboBox* Cbxcomm2 = nullptr;
    LineChoices timerLineChoices;
    LineChoices boardLineChoices;
    static constexpr int kReopenIntervalMs = 3000; // retries of a timer port that went away
    QPlainTextEdit* Memo1 = nullptr;
    TCuteButton* CuteButton3 = nullptr;
    TCuteButton* CuteButton122 = nullptr;
    TCuteButton* CuteButton28 = nullptr;
    TCuteButton* CuteButton29 = nullptr;
    TCuteButton* CuteButton58 = nullptr;
    TCuteButton* CuteButton61 = nullptr;
    QButtonGroup* RGdpmcrank = nullptr; // board brand: "VORN", "SEIKO"
    QButtonGroup* RGNow = nullptr;      // number of Now boards
    QButtonGroup* RGdpclas = nullptr;   // rank display by class or all together
    QCheckBox* CKBrank = nullptr;
    QButtonGroup* RGweb = nullptr;
    QButtonGroup* RGweb2 = nullptr;
    QCheckBox* CkBweb = nullptr;
    QCheckBox* CkBweb2 = nullptr;
    QPlainTextEdit* Memo10 = nullptr;
    QLineEdit* Edit37 = nullptr;
    QLineEdit* webBase = nullptr;
    QLineEdit* webKey = nullptr; // the live results server's write key
    QComboBox* cbclass = nullptr;
    QTextBrowser* Web = nullptr;
    TCuteButton* CuteButton86 = nullptr;
    TCuteButton* CuteButton87 = nullptr;
    TCuteButton* CuteButton88 = nullptr;
    TCuteButton* CuteButton96 = nullptr;
    TCuteButton* CuteButton97 = nullptr;
    TCuteButton* CuteButton98 = nullptr;
    TCuteButton* CuteButton103 = nullptr;

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
    QWidget* settingsPage();
    QWidget* firstPage();
    QWidget* webGroup();
    QWidget* backupPortGroup();
    void showPorts();
    void showWeb();
    QButtonGroup* targetSelector(QWidget* box);
    LineChoices lineChoices(QWidget* parent, SerialLine& line, std::function<void()> changed);
    static void applyLine(TCustomCommX& port, const SerialLine& line);
    void showStatus(QLabel* RunPageWidget::*label, const QString& text, bool alarm);
    void showTimerHealth();
    void showDataHealth();
    // Another program changed the competition: the lists follow (on the health clock).
    void followOutsideChanges();
    void recoverPendingLines();
    void buildMenus();
    // A time came in for a competitor whose status says otherwise: asked without blocking.
    void askAboutStatus(const QString& bib, int run, const QString& code);

    AppState& app_;
    OperatorDialog& dialog_;
    bool shown_ = false;
    bool timerLost_ = false;
    QString lineError_; // why the last timer line could not be written
    int linesReceived_ = 0;
    std::optional<QDateTime> lastLine_;
    QTimer reopenTimer_;
    QTimer healthClock_;
    // Times and statuses changed by other programs reach the lists on the health clock.
    OutsideChanges outsideChanges_;
    QPointer<RankingView> ranking_;
    QPointer<HistoryView> history_;
    QPointer<BackupWindow> backup_;
};

} // namespace pistel
