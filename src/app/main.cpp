// The timing workstation: main window first, then the data module and its connection.
#include "SettingsFile.h"
#include "TFmain.h"
#include "Windows.h"
#include "capture/ImpulseJournal.h"
#include "comm/PortRegistry.h"
#include "data/AppState.h"
#include "data/BackgroundReader.h"
#include "data/TDM1.h"
#include "station/StationThread.h"
#include "ui/Japanese.h"
#include "ui/MessageBoxDialog.h"

#include <QApplication>
#include <QFont>
#include <QMessageBox>
#include <QTimer>

namespace {

// Errors that leave an event handler (of any thread) are shown in an error box, and the
// program goes on.
class Application : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            // Shown on the window thread, also when it left a handler of the timing station's.
            QMetaObject::invokeMethod(this, [text = pistel::errorForOperator(e)] {
                QMessageBox::critical(activeWindow(), QStringLiteral("エラー"), text);
            });
        }
        return false;
    }
};

// The main window and the windows it opens, for as long as the program runs.
int runWorkstation() {
    pistel::AppState app;
    pistel::TDM1 dm;
    pistel::MessageBoxDialog dialog;
    pistel::TFmain mainWindow(app, dm, dialog, pistel::settingsPath(), QApplication::arguments(),
                              QApplication::applicationFilePath());
    pistel::ImpulseJournal journal;
    pistel::connectCompetitionWindows(mainWindow, app, dm, dialog, &journal, [](int n) {
        return pistel::PortRegistry::scan().deviceOf(n);
    });
    mainWindow.profiles.connectAtCreation();
    mainWindow.show();
    // For measuring the start-up (bench/startup.sh): end once the first window is drawn.
    if (qEnvironmentVariableIsSet("PISTEL_QUIT_WHEN_SHOWN"))
        QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv) {
    Application application(argc, argv);
    // Japanese glyph shapes for kanji, whatever the locale.
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPixelSize(12);
    QApplication::setFont(font);
    pistel::loadQtJapanese(application); // Yes/No, file and print dialogs in Japanese

    const int exitCode = runWorkstation();
    // The windows are gone; a station or a read one of them left must end before the driver
    // unloads.
    pistel::StationThread::waitForEndingStations();
    pistel::BackgroundReader::waitForAbandonedReads();
    return exitCode;
}
