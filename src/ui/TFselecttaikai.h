#pragma once

#include <QDialog>
#include <functional>

namespace pistel {

struct AppState;
class TDM1;
class OperatorDialog;
class Grid;

// The competition list, newest first; choosing one opens its run window.
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

protected:
    void showEvent(QShowEvent* e) override;

private:
    void choose();
    void showWholeTexts();

    AppState& app_;
    TDM1& dm_;
    OperatorDialog& dialog_;
};

// The caption of a run window: its own caption, seven blanks, the title, eight blanks and
// " で実行中".
QString runWindowCaption(const QString& title);

} // namespace pistel
