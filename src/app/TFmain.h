#pragma once

#include "data/Profiles.h"

#include <QWidget>
#include <functional>

class QLabel;
class QRadioButton;

namespace pistel {

struct AppState;
class TDM1;
class OperatorDialog;
class TCuteButton;

// The main window: database profile selector, competition processing, exit, and the labels
// for connection, version and build date. It reads the settings file when it is created
// and writes it when it closes.
class TFmain : public QWidget {
    Q_OBJECT
public:
    TFmain(AppState& app, TDM1& dm, OperatorDialog& dialog, QString settingsPath,
           const QStringList& arguments, const QString& programFile, QWidget* parent = nullptr);

    ConnectionView view;
    ProfileSwitch profiles;
    // Opens the competition selection modally (set by whoever provides that window).
    std::function<void()> openCompetitionSelection;
    // Opens the race office (「大会準備」) modally.
    std::function<void()> openOffice;

    void bTaikaiClick();
    void CuteButton3Click() { close(); }

    QRadioButton* profileButton(int index) const { return rgdb_[index]; }
    QLabel* Label16 = nullptr;
    QLabel* Ladbname = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Lbdate = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image3 = nullptr;
    TCuteButton* bTaikai = nullptr;
    TCuteButton* bOffice = nullptr;
    TCuteButton* CuteButton3 = nullptr;

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void FormShow();
    void showConnection();

    AppState& app_;
    TDM1& dm_;
    OperatorDialog& dialog_;
    QString settingsPath_;
    int savedProfile_ = 0;
    bool shown_ = false;
    QRadioButton* rgdb_[4] = {};
};

} // namespace pistel
