#pragma once

#include "LiveResults.h"

#include <QObject>
#include <QString>

namespace pistel {

struct AppState;
class TDM1;
class OperatorDialog;
class WebClient;

// What the settings page shows of the live results commands, as a value.
struct WebChoices {
    int uploadTarget = 1;
    int realTime = 0;
    QString memo10;
    QString baseUrl;
    QString edit37;
};

// The operator's live results commands on the run window, without widgets.
class WebCommands : public QObject {
    Q_OBJECT
public:
    WebCommands(AppState& app, TDM1& dm, OperatorDialog& dialog, WebClient& client,
                QObject* parent = nullptr);

    QString baseUrl;      // scheme, host and folder, ending with "/"
    QString batchFolder;  // where upfaile.txt is written
    int uploadTarget = 1; // starts from the item the selectors show: "Web"
    int realTime = 0;
    QString memo10; // message text
    QString edit37 = QStringLiteral("0000");
    QString cbclass; // class name for the race selection

    WebChoices choices() const { return {uploadTarget, realTime, memo10, baseUrl, edit37}; }
    // Both target selectors set the target themselves; the real-time flag follows.
    void chooseUploadTarget(int item);
    // Checking "Web にリアルタイムでアップロードする" turns the real-time flag on.
    void setRealTimeUpload(bool checked);

    void sendMessage(); // memo10 as the page's message
    void eraseMessage();
    void uploadCompetitor(); // the result of the bib in edit37
    void clearCompetitor();  // takes that result off the page
    void uploadAllResults(); // the batch file, the start list and the race state
    void initialiseWebPage();
    void selectRaceOfClass(); // the race of cbclass

    void setweb2(const QString& classCode);
    QString batchFilePath() const;

signals:
    void changed(); // a value the settings page shows changed

private:
    // The competitor of the typed bib: database bib and class, or false when unknown.
    bool competitor(QString& bib, QString& cls);
    QString stamp() const;

    AppState& app_;
    TDM1& dm_;
    OperatorDialog& dialog_;
    WebClient& client_;
};

} // namespace pistel
