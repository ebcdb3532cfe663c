#include "Profiles.h"

#include "AppState.h"
#include "DbError.h"
#include "OperatorDialog.h"
#include "SqlValue.h"
#include "TDM1.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <algorithm>
#include <cerrno>
#include <signal.h>

namespace pistel {

const char* const kLockTakenBack =
    "この端末が前回取込モードのまま終了していたため、取込の権利を引き継ぎました。";
namespace {

const char* const kDataSources[] = {"PistelLocal", "PistelTest", "PistelServer", "PistelRelease"};

QString valueOf(const QStringList& parameters, const QString& key) {
    for (const QString& line : parameters)
        if (line.startsWith(key + QLatin1Char('=')))
            return line.mid(key.size() + 1);
    return {};
}

} // namespace

QStringList connectionParameters(int profile, bool atCreation) {
    QStringList p{"DATABASE NAME=",
                  "USER NAME=root",
                  "ODBC DSN=PistelLocal",
                  "OPEN MODE=READ/WRITE",
                  "BATCH COUNT=200",
                  "LANGDRIVER=",
                  "MAX ROWS=-1",
                  "SCHEMA CACHE DIR=",
                  "SCHEMA CACHE SIZE=8",
                  "SCHEMA CACHE TIME=-1",
                  atCreation ? "SQLPASSTHRU MODE=SHARED AUTOCOMMIT"
                             : "SQLPASSTHRU MODE=SHARED NOAUTOCOMMIT",
                  "SQLQRYMODE=",
                  "ENABLE SCHEMA CACHE=FALSE",
                  "ENABLE BCD=FALSE",
                  "ROWSET SIZE=20",
                  "BLOBS TO CACHE=64",
                  "BLOB SIZE=32",
                  "PASSWORD=lumor"};
    p[2] = QStringLiteral("ODBC DSN=") + QLatin1String(kDataSources[std::clamp(profile, 0, 3)]);
    return p;
}

QString connectionStringOf(const QStringList& parameters) {
    return QStringLiteral("DSN=%1;UID=%2;PWD=%3;CHARSET=sjis")
        .arg(valueOf(parameters, "ODBC DSN"), valueOf(parameters, "USER NAME"),
             valueOf(parameters, "PASSWORD"));
}

void ConnectionView::setProfileIndex(int index) {
    if (index == profileIndex_)
        return;
    profileIndex_ = index;
    emit changed();
}

void ConnectionView::setServerLabel(const QString& text) {
    if (text == serverLabel_)
        return;
    serverLabel_ = text;
    emit changed();
}

void ConnectionView::setDatabaseName(const QString& text) {
    if (text == databaseName_)
        return;
    databaseName_ = text;
    emit changed();
}

void ConnectionView::setTerminalLook(bool on) {
    if (on == terminalLook_)
        return;
    terminalLook_ = on;
    emit changed();
}

ProfileSwitch::ProfileSwitch(AppState& app, TDM1& dm, OperatorDialog& dialog, ConnectionView& view)
    : app_(app), dm_(dm), dialog_(dialog), view_(view) {}

void ProfileSwitch::connectAtCreation() {
    // Every attempt keeps its data source, even one the server does not answer: the windows'
    // own connections and the run window's station connect to it once it does.
    parameters_ = connectionParameters(ProfileLocal, true);
    try {
        dm_.Db1.openRemembering(connectionString(parameters_));
    } catch (const DbError&) {
        dialog_.showMessage(parameters_[2] + QStringLiteral(" の接続に失敗しました。"));
    }
}

void ProfileSwitch::select(int index) {
    index = index > 3 ? 3 : index;
    if (index < 0 || index == view_.profileIndex())
        return;
    view_.setProfileIndex(index);
    run();
}

void ProfileSwitch::releaseLock() {
    if (!app_.lockHeld)
        return;
    try {
        dm_.Qtemp.setSql({"update execcheck set stat = '0'"});
        dm_.Qtemp.execSql();
    } catch (const DbError&) {
        // A lock that cannot be given back is left for the next workstation's question.
    }
}

void ProfileSwitch::run() {
    int index = view_.profileIndex();
    if (app_.terminalMode == 0)
        releaseLock(); // the flag itself is set again by the lock check below
    view_.setServerLabel({});
    if (index == ProfileServer) {
        if (dialog_.askYesNo(
                QStringLiteral("サーバーのデータベースに接続しようとしています。"
                               "十分注意して作業してください。接続してよろしいですか？"),
                QStringLiteral("確認してください。"))) {
            view_.setServerLabel(QStringLiteral("サーバーに接続中"));
        } else {
            index = ProfileLocal;
            view_.setProfileIndex(index); // shown without another switch
        }
    }
    dm_.Db1.close();
    app_.chosenProfile = index;
    app_.dbType = QStringLiteral("MySQL");
    parameters_ = connectionParameters(index);
    try {
        dm_.Db1.openRemembering(connectionString(parameters_));
        app_.connectedProfile = index;
        if (app_.terminalMode == 0)
            takeLock();
    } catch (const DbError&) {
        dialog_.showMessage(parameters_[2] +
                            QStringLiteral(" の接続に失敗しました。「Local」に接続します。"));
        if (index != ProfileLocal)
            select(ProfileLocal);
        app_.connectedProfile = ProfileLocal;
        parameters_[2] = QStringLiteral("ODBC DSN=PistelLocal");
        if (!dm_.Db1.isOpen()) {
            try {
                dm_.Db1.openRemembering(connectionString(parameters_));
            } catch (const DbError&) {
                // Without Local the workstation goes on unconnected; every statement will
                // then report its own failure.
            }
        }
    }
    view_.setDatabaseName(parameters_[2]);
}

namespace {
// Whether a process of this machine still runs.
bool processAlive(qint64 pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}
} // namespace

void ProfileSwitch::recordHolder() {
    try {
        dm_.Qtemp.setSql({"replace into capture_holder (id,host,pid,since) values (1,'" +
                          sqlValue(QSysInfo::machineHostName()) + "','" +
                          QString::number(QCoreApplication::applicationPid()) + "',now())"});
        dm_.Qtemp.execSql();
    } catch (const DbError&) {
        // A database without the holder table (made by other software) still has the lock;
        // a crash is then answered by the question, as before.
    }
}

bool ProfileSwitch::heldByThisMachineBefore() {
    try {
        Query& q = dm_.Qtemp;
        q.setSql({QStringLiteral("select host,pid from capture_holder where id = 1")});
        q.open();
        const bool ours = q.recordCount() > 0 &&
                          q.fieldByName(u"host").asString() == QSysInfo::machineHostName() &&
                          !processAlive(q.fieldByName(u"pid").asString().toLongLong());
        q.close();
        return ours;
    } catch (const DbError&) {
        return false; // no holder known: ask
    }
}

void ProfileSwitch::takeLock() {
    // One conditional update takes the lock: of two workstations starting together only
    // one changes the row.
    Query& q = dm_.Qtemp;
    q.setSql({"update execcheck set stat = '1' where stat <> '1'"});
    if (q.execSql() > 0) {
        app_.lockHeld = true;
        recordHolder();
        return;
    }
    q.setSql({"select * from execcheck"});
    q.open();
    if (q.recordCount() == 0) {
        app_.lockHeld = true; // an empty lock table reads as free
        recordHolder();
        return;
    }
    // This workstation's own lock, left by a crash (its process is gone): taken back.
    if (heldByThisMachineBefore()) {
        app_.lockHeld = true;
        recordHolder();
        dialog_.showMessage(QString::fromUtf8(kLockTakenBack));
        return;
    }
    app_.lockHeld = false;
    // Enter keeps capture: a hasty key never leaves a restarted workstation capturing nothing.
    if (dialog_.askYesNoDefaultNo(
            QStringLiteral("選択中のデータベースは既に取込モードで実行されています、"
                           "端末モードに切換えます。"),
            QStringLiteral("「はい」を選択すると端末モードで実行します。"))) {
        app_.terminalMode = 1;
        view_.setTerminalLook(true);
    } else {
        q.close();
    }
}

} // namespace pistel
