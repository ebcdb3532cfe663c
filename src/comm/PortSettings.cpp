#include "PortSettings.h"

#include "TCommX.h"

#include <thread>

namespace pistel {
namespace {
const char kTimerPortInvalid[] = "取込ﾎﾟｰﾄ "
                                 "で指定したポートは有効では有りません。正しいポートを指定しないと"
                                 "タイムデータの取込が出来ません。";
const char kBoardPortInvalid[] =
    "表示ボード用ポート "
    "で指定したポートは有効では有りません。正しいポートを指定しないとタイムの表示が出来ません。";
} // namespace

PortSettings::PortSettings(TCustomCommX& timer, TCustomCommX& board, int& timerPortNo,
                           int& boardPortNo, bool& timerPortOpen, Scan scan, QObject* parent)
    : QObject(parent), timer_(timer), board_(board), timerPortNo_(timerPortNo),
      boardPortNo_(boardPortNo), timerPortOpen_(timerPortOpen), scan_(std::move(scan)) {}

void PortSettings::tell(const char* message) {
    const QString text = QString::fromUtf8(message);
    if (!showMessage)
        throw std::runtime_error(text.toStdString());
    showMessage(text);
}

void PortSettings::setCbxcomm1(int index, const QString& text) {
    index1_ = index;
    text1_ = text;
    emit cbxcomm1Changed();
    Cbxcomm1Change();
}

void PortSettings::setCbxcomm2(int index, const QString& text) {
    // The board port follows the saved setting; a choice here is only shown.
    index2_ = index;
    text2_ = text;
    emit cbxcomm2Changed();
}

void PortSettings::getport() {
    items_ = QStringList{QString()} + scan_().names();
    emit listsChanged();
}

bool PortSettings::openWithLine(TCustomCommX& port,
                                const std::function<void(TCustomCommX&)>& prepare) {
    if (prepare)
        prepare(port);
    try {
        port.Open();
        return true;
    } catch (const ECommError& e) {
        if (e.message() == TCustomCommX::cannotOpenMessage())
            throw;
        // The device is there but refuses a line setting: the component's own message; the
        // port number stays, so a better setting opens it.
        if (!showMessage)
            throw;
        showMessage(e.message());
        return false;
    }
}

void PortSettings::openport1(int n) {
    timer_.Close();
    timer_.setPortNo(n);
    std::this_thread::sleep_for(std::chrono::milliseconds(openDelayMs));
    try {
        timerPortOpen_ = openWithLine(timer_, prepareTimer);
        if (timerPortOpen_)
            emit timerOpened();
    } catch (const std::exception&) {
        timerPortNo_ = 0;
        index1_ = 0;
        text1_.clear();
        emit cbxcomm1Changed();
        timerPortOpen_ = false;
        tell(kTimerPortInvalid);
    }
}

void PortSettings::openport2(int n) {
    board_.Close();
    board_.setPortNo(n);
    std::this_thread::sleep_for(std::chrono::milliseconds(openDelayMs));
    try {
        openWithLine(board_, prepareBoard);
    } catch (const std::exception&) {
        boardPortNo_ = 0;
        index2_ = 0;
        text2_.clear();
        emit cbxcomm2Changed();
        tell(kBoardPortInvalid);
    }
}

bool PortSettings::reopenTimer() {
    if (timerPortNo_ <= 0)
        return false;
    timer_.Close();
    timer_.setPortNo(timerPortNo_);
    if (prepareTimer)
        prepareTimer(timer_);
    try {
        timer_.Open();
    } catch (const std::exception&) {
        // Not back yet: the caller tries again in a few seconds and the run window's status
        // line already says the port is away, so no message here.
        return false;
    }
    timerPortOpen_ = true;
    emit timerOpened();
    return true;
}

void PortSettings::Cbxcomm1Change() {
    if (index1_ <= 0) {
        timer_.Close();
        timerPortNo_ = 0;
        return;
    }
    const int n = portNumberOf(text1_); // an entry without a number: the error goes up
    timerPortNo_ = n;
    if (n > 0)
        openport1(n);
}

void PortSettings::showText(int& index, QString& text, const QString& value) {
    text = value;
    index = static_cast<int>(items_.indexOf(value));
}

void PortSettings::windowShown() {
    getport();
    if (timerPortNo_ > 0) {
        showText(index1_, text1_, QStringLiteral("COM%1").arg(timerPortNo_));
        emit cbxcomm1Changed();
        openport1(timerPortNo_);
    }
    if (boardPortNo_ > 0) {
        showText(index2_, text2_, QStringLiteral("COM%1").arg(boardPortNo_));
        emit cbxcomm2Changed();
        openport2(boardPortNo_);
    }
}

void PortSettings::windowClosed() {
    timer_.Close();
    board_.Close();
}

} // namespace pistel
