#pragma once

#include "data/BackgroundReader.h"

#include <QDialog>
#include <functional>

namespace pistel {

struct AppState;
class TDM1;
class OperatorDialog;
class Grid;

// The competition list, newest first; choosing one opens its run window. The list is read
// on a connection and a thread of its own, so the window never waits for the server.
class TFselecttaikai : public QDialog {
    Q_OBJECT
public:
    TFselecttaikai(AppState& app, TDM1& dm, OperatorDialog& dialog, QWidget* parent = nullptr);

    // Creates, captions and shows the run window of the current competition modally.
    std::function<void(const QString& title)> openRunWindow;

    void DBGrid1DblClick() { choose(); }
    void N2Click();
    void N9Click() { close(); }
    Grid* DBGrid1 = nullptr;
    // The list is being read.
    bool reading() const { return reader_.busy(); }

protected:
    void showEvent(QShowEvent* e) override;

private:
    void choose();
    void readCompetitions();
    void showWholeTexts();

    AppState& app_;
    TDM1& dm_;
    OperatorDialog& dialog_;
    BackgroundReader reader_;
};

// The caption of a run window: its own caption, seven blanks, the title, eight blanks and
// " で実行中".
QString runWindowCaption(const QString& title);

} // namespace pistel
