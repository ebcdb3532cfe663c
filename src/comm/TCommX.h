#pragma once

#include "SerialDevice.h"

#include <QByteArray>
#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace pistel {

enum TCommFlowCtrls : std::uint8_t {
    cfcRtsCts = 0,
    cfcDtrDsr = 1,
    cfcXonXoff = 2,
    cfcHalfHigh = 3,
    cfcHalfLow = 4,
    cfcNone = 5,
};

// An error of the serial component's own operations, with the message the operator sees.
class ECommError : public std::runtime_error {
public:
    explicit ECommError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

class TCustomCommX;
using TCommTransEvent = std::function<void(TCustomCommX* Sender, int TransSize)>;
using TCommReceiveEvent = std::function<void(TCustomCommX* Sender, int ReceiveSize)>;
using TCommSignalEvent = std::function<void(TCustomCommX* Sender, int EventMask)>;
using TCommBreakEvent = std::function<void(TCustomCommX* Sender)>;
using TCommErrEvent = std::function<void(TCustomCommX* Sender, int ErrorState)>;
using TCommLostEvent = std::function<void(TCustomCommX* Sender, const QString& Why)>;

// One serial port: opened by number, written through a transmit thread, watched by a receive
// thread; every event handler runs on the thread that owns the component (the window
// thread). Close waits for both threads, so none outlives an opening.
class TCustomCommX : public QObject {
    Q_OBJECT
public:
    // Where the device of a port number is ("COM" + number on the original platform).
    using PortResolver = std::function<QString(int portNo)>;

    static constexpr std::uint32_t kInvalidHandle = 0xFFFFFFFFu;

    explicit TCustomCommX(PortResolver resolver, SerialDeviceFactory factory = nullptr,
                          QObject* parent = nullptr);
    ~TCustomCommX() override;

    int PortNo() const { return portNo_; }
    void setPortNo(int value);
    // Off: Open keeps what the device received before it (a timer's lines sent while no
    // window listened), for the receive event to deliver.
    bool purgeReceiveOnOpen = true;
    int BitRate() const { return line_.baud; }
    void setBitRate(int value);
    int CharSize() const { return line_.dataBits; }
    void setCharSize(int value);
    TCommParityBits ParityBit() const { return line_.parity; }
    void setParityBit(TCommParityBits value);
    TCommStopBits StopBit() const { return line_.stopBits; }
    void setStopBit(TCommStopBits value);
    // The four line properties at once, each applied as its own setter applies it.
    SerialLine line() const { return line_; }
    void setLine(const SerialLine& line);
    TCommFlowCtrls FlowCtrl() const { return flow_.load(); }
    void setFlowCtrl(TCommFlowCtrls value);
    int TimeOutTrans() const { return timeOutTrans_.load(); }
    void setTimeOutTrans(int ms) { timeOutTrans_ = ms; }
    int TimeOutReceive() const { return timeOutReceive_; }
    void setTimeOutReceive(int ms) { timeOutReceive_ = ms; }
    int BufLenTrans() const { return bufLenTrans_; }
    void setBufLenTrans(int value);
    int BufLenReceive() const { return bufLenReceive_; }
    void setBufLenReceive(int value);
    std::uint32_t Handle() const;
    bool isOpen() const { return device_ != nullptr; }

    TCommTransEvent OnTrans;
    TCommReceiveEvent OnReceive;
    TCommSignalEvent OnSignal;
    TCommBreakEvent OnBreak;
    TCommErrEvent OnError;
    // The device went away while open (a USB adapter pulled out); the port is closed again
    // when this runs and can be opened anew.
    TCommLostEvent OnLost;

    void Open();
    void Close();
    virtual bool Write(const char* buffer, int count);
    virtual int Read(char* buffer, int count);
    int ReadByte();
    bool WriteText(const QByteArray& text);
    int InQueCount();
    void PurgeTrans();
    void PurgeReceive();
    void SetRTS(bool on);
    void SetDTR(bool on);

    // The line settings that the properties stand for.
    LineSettings lineSettings() const;
    // The message of Open when the device itself cannot be opened (as opposed to a line
    // setting it refuses).
    static QString cannotOpenMessage();

private:
    struct Chunk {
        QByteArray bytes;
    };

    void applyLine(const QString& message);
    void applyQueueSizes();
    void transmitLoop(std::uint64_t generation);
    void receiveLoop(std::uint64_t generation);
    // Delivery to the owning thread: posted, or sent with the sender waiting for it.
    void post(std::function<void()> call);
    void send(std::function<void()> call);
    void halfDuplexStep(bool before);

    PortResolver resolver_;
    SerialDeviceFactory factory_;
    std::unique_ptr<SerialDevice> device_;
    std::uint64_t generation_ = 0; // which opening a notification belongs to

    int portNo_ = 1;
    SerialLine line_{9600, 8, cpbNone, csb1};
    std::atomic<TCommFlowCtrls> flow_{cfcRtsCts};
    std::atomic<int> timeOutTrans_{3000};
    int timeOutReceive_ = 3000;
    int bufLenTrans_ = 2048;
    int bufLenReceive_ = 2048;

    std::thread transmitThread_;
    std::thread receiveThread_;
    std::mutex queueMutex_;
    std::condition_variable queueCv_;
    std::deque<Chunk> queue_;
    bool transmitStop_ = false;
    std::atomic<bool> purgeFlag_{false};
    std::mutex writeLock_;
    std::mutex countersLock_;
    int pendingBytes_ = 0;
    int pendingChunks_ = 0;
    std::mutex handledMutex_;
    std::condition_variable handledCv_;
    std::atomic<bool> receiveStop_{false};
    std::atomic<long long> bytesRead_{0}; // by Read, so the receive thread sees what was taken
};

// The component as the windows use it: the same, with its properties in published order.
class TCommX : public TCustomCommX {
    Q_OBJECT
public:
    using TCustomCommX::TCustomCommX;
};

} // namespace pistel
