#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

namespace pistel {

struct AppState;
class TDM1;
class OperatorDialog;

enum Profile { ProfileLocal = 0, ProfileTest = 1, ProfileServer = 2, ProfileRelease = 3 };

// The 18-line connection parameter list of a profile; line 3 names its data source. The
// list made at start-up carries "SQLPASSTHRU MODE=SHARED AUTOCOMMIT" as line 11.
QStringList connectionParameters(int profile, bool atCreation = false);
// The ODBC connection string the parameter list stands for: the data source, user and
// password of the list; the other lines configured a database layer we do not have.
// Statements always commit at once: the system never commits itself.
QString connectionStringOf(const QStringList& parameters);

// What the main window shows of the connection; the window binds its widgets to it.
class ConnectionView : public QObject {
    Q_OBJECT
public:
    int profileIndex() const { return profileIndex_; }     // the selection of RGdb, -1 for none
    QString serverLabel() const { return serverLabel_; }   // Label16
    QString databaseName() const { return databaseName_; } // Ladbname
    bool terminalLook() const { return terminalLook_; }    // navy window, logo hidden

    void setProfileIndex(int index);
    void setServerLabel(const QString& text);
    void setDatabaseName(const QString& text);
    void setTerminalLook(bool on);

signals:
    void changed();

private:
    int profileIndex_ = -1;
    QString serverLabel_;
    QString databaseName_;
    bool terminalLook_ = false;
};

// Switching the database profile: close, rebuild the parameters, connect, and take or
// respect the capture lock; a failed connection falls back to Local.
// Told when this workstation takes back the capture lock its own crash left behind.
extern const char* const kLockTakenBack;

class ProfileSwitch {
public:
    ProfileSwitch(AppState& app, TDM1& dm, OperatorDialog& dialog, ConnectionView& view);

    // The connection string of a parameter list (tests point profiles elsewhere).
    std::function<QString(const QStringList&)> connectionString = connectionStringOf;

    // The connection made when the data module is created: Local, creation settings.
    void connectAtCreation();
    // A selection of RGdb (by the operator, at start, or by the fallback); runs the switch
    // when the selection changes. Indexes above 3 select Release, below 0 nothing.
    void select(int index);
    // The capture lock goes back when this workstation holds it.
    void releaseLock();

    const QStringList& parameters() const { return parameters_; }

private:
    void run();
    void takeLock();
    // Notes this machine and process as the lock's holder.
    void recordHolder();
    // Whether the lock was left by a process of this machine that is gone (a crash).
    bool heldByThisMachineBefore();

    AppState& app_;
    TDM1& dm_;
    OperatorDialog& dialog_;
    ConnectionView& view_;
    QStringList parameters_;
};

} // namespace pistel
