#include "TCommX.h"

#include "posix/PosixSerialDevice.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <algorithm>
#include <chrono>

namespace pistel {
namespace {

using namespace std::chrono_literals;

const char kAlreadyOpen[] = "ポートは、すでにオープンされています";
const char kCannotOpen[] = "ポートをオープンできませんでした";
const char kNoTransmitThread[] = "送信用スレッドを生成できませんでした";
const char kNoReceiveThread[] = "受信用スレッドを生成できませんでした";
const char kBaudRefused[] = "通信速度の設定でエラーが発生しました";
const char kBitsRefused[] = "通信ビット数の設定でエラーが発生しました";
const char kParityRefused[] = "通信パリティチェックの設定でエラーが発生しました";
const char kStopRefused[] = "通信ストップビット数の設定でエラーが発生しました";
const char kFlowRefused[] = "通信フロー制御の設定で失敗しました";
const char kQueuesRefused[] = "通信用ポートのバッファを準備できませんでした";

constexpr int kMaxPendingChunks = 32;

[[noreturn]] void raise(const char* message) {
    throw ECommError(QString::fromUtf8(message));
}

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

TCustomCommX::TCustomCommX(PortResolver resolver, SerialDeviceFactory factory, QObject* parent)
    : QObject(parent), resolver_(std::move(resolver)),
      factory_(factory ? std::move(factory) : &PosixSerialDevice::create) {}

TCustomCommX::~TCustomCommX() {
    Close();
}

QString TCustomCommX::cannotOpenMessage() {
    return QString::fromUtf8(kCannotOpen);
}

std::uint32_t TCustomCommX::Handle() const {
    return device_ ? static_cast<std::uint32_t>(device_->handle()) : kInvalidHandle;
}

LineSettings TCustomCommX::lineSettings() const {
    LineSettings s;
    s.line = line_;
    s.xonLimit = bufLenReceive_ / 4;
    s.xoffLimit = 3 * (bufLenReceive_ / 4);
    const TCommFlowCtrls flow = flow_.load();
    s.ctsOutput = flow == cfcRtsCts;
    s.dsrOutput = flow == cfcDtrDsr;
    s.xonXoff = flow == cfcXonXoff;
    s.dtr = flow == cfcDtrDsr ? LineDrive::Handshake : LineDrive::On;
    s.rts = flow == cfcRtsCts     ? LineDrive::Handshake
            : flow == cfcHalfHigh ? LineDrive::Off
                                  : LineDrive::On;
    return s;
}

void TCustomCommX::applyLine(const QString& message) {
    if (!device_)
        return;
    switch (device_->apply(lineSettings())) {
    case SettingRefused::None:
        return;
    case SettingRefused::BaudRate:
        raise(kBaudRefused);
    case SettingRefused::DataBits:
        raise(kBitsRefused);
    case SettingRefused::Parity:
        raise(kParityRefused);
    case SettingRefused::StopBits:
        raise(kStopRefused);
    case SettingRefused::FlowControl:
        throw ECommError(message);
    }
}

void TCustomCommX::applyQueueSizes() {
    if (device_ && !device_->setQueueSizes(bufLenReceive_, bufLenTrans_))
        raise(kQueuesRefused);
}

void TCustomCommX::setPortNo(int value) {
    portNo_ = value;
    if (isOpen()) {
        Close();
        Open();
    }
}

void TCustomCommX::setBitRate(int value) {
    line_.baud = value;
    applyLine(QString::fromUtf8(kBaudRefused));
}

void TCustomCommX::setCharSize(int value) {
    line_.dataBits = value;
    applyLine(QString::fromUtf8(kBitsRefused));
}

void TCustomCommX::setParityBit(TCommParityBits value) {
    line_.parity = value;
    applyLine(QString::fromUtf8(kParityRefused));
}

void TCustomCommX::setStopBit(TCommStopBits value) {
    line_.stopBits = value;
    applyLine(QString::fromUtf8(kStopRefused));
}

void TCustomCommX::setLine(const SerialLine& line) {
    setBitRate(line.baud);
    setCharSize(line.dataBits);
    setParityBit(line.parity);
    setStopBit(line.stopBits);
}

void TCustomCommX::setFlowCtrl(TCommFlowCtrls value) {
    flow_ = value;
    applyLine(QString::fromUtf8(kFlowRefused));
}

void TCustomCommX::setBufLenTrans(int value) {
    bufLenTrans_ = value;
    applyQueueSizes();
}

void TCustomCommX::setBufLenReceive(int value) {
    bufLenReceive_ = value;
    applyQueueSizes();
    applyLine(QString::fromUtf8(kFlowRefused)); // the flow-control limits follow the queue
}

void TCustomCommX::Open() {
    if (isOpen())
        raise(kAlreadyOpen);
    auto device = factory_();
    if (!device || !device->open(resolver_(portNo_), nullptr))
        raise(kCannotOpen);
    device_ = std::move(device);
    ++generation_;
    {
        std::lock_guard lock(countersLock_);
        pendingBytes_ = pendingChunks_ = 0;
    }
    try {
        applyQueueSizes();
        PurgeTrans();
        if (purgeReceiveOnOpen)
            PurgeReceive();
        applyLine(QString::fromUtf8(kFlowRefused));
        transmitStop_ = false;
        receiveStop_ = false;
        purgeFlag_ = false;
        const std::uint64_t generation = generation_;
        try {
            transmitThread_ = std::thread([this, generation] { transmitLoop(generation); });
        } catch (const std::system_error&) {
            raise(kNoTransmitThread);
        }
        try {
            receiveThread_ = std::thread([this, generation] { receiveLoop(generation); });
        } catch (const std::system_error&) {
            raise(kNoReceiveThread);
        }
        sleepMs(100);
    } catch (...) {
        Close();
        throw;
    }
}

void TCustomCommX::Close() {
    if (!device_)
        return;
    device_->setDtr(false);
    device_->setRts(false);
    PurgeTrans();
    PurgeReceive();
    sleepMs(100);
    {
        std::lock_guard lock(queueMutex_);
        transmitStop_ = true;
    }
    queueCv_.notify_all();
    {
        std::lock_guard lock(handledMutex_);
        receiveStop_ = true;
    }
    handledCv_.notify_all();
    device_->cancelWait();
    if (transmitThread_.joinable())
        transmitThread_.join();
    if (receiveThread_.joinable())
        receiveThread_.join();
    device_->close();
    device_.reset();
    ++generation_; // whatever is still in flight belongs to a closed opening
    {
        std::lock_guard lock(queueMutex_);
        queue_.clear();
    }
    sleepMs(100);
}

bool TCustomCommX::Write(const char* buffer, int count) {
    if (count == 0)
        return true;
    int done = 0;
    while (done < count) {
        if (!device_ || !transmitThread_.joinable())
            return false;
        {
            std::unique_lock lock(countersLock_);
            if (pendingChunks_ >= kMaxPendingChunks) {
                lock.unlock();
                queueCv_.notify_one();
                QCoreApplication::processEvents();
                sleepMs(1);
                continue;
            }
        }
        const int size = std::min(count - done, bufLenTrans_);
        {
            std::lock_guard lock(countersLock_);
            pendingBytes_ += size;
            ++pendingChunks_;
        }
        {
            std::lock_guard lock(queueMutex_);
            queue_.push_back({QByteArray(buffer + done, size)});
        }
        done += size;
    }
    // Woken once for the whole text, the transmit thread sends it as one burst (with
    // half-duplex control the line is turned around once, not between chunks).
    queueCv_.notify_one();
    return true;
}

bool TCustomCommX::WriteText(const QByteArray& text) {
    if (text.isEmpty())
        return true;
    return Write(text.constData(), static_cast<int>(text.size()));
}

int TCustomCommX::Read(char* buffer, int count) {
    if (!device_ || !receiveThread_.joinable() || !buffer)
        return -1;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeOutReceive_);
    for (;;) {
        const int n = device_->read(buffer, count, 0);
        if (n > 0) {
            bytesRead_ += n;
            return n;
        }
        if (n < 0) {
            const int errors = device_->takeErrors();
            if (errors)
                post([this, g = generation_, errors] {
                    if (g == generation_ && device_ && OnError)
                        OnError(this, errors);
                });
            return -1;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return 0;
        // The window keeps handling its events while it waits for a byte.
        QCoreApplication::processEvents();
        sleepMs(1);
        if (!device_ || !receiveThread_.joinable())
            return -1;
    }
}

int TCustomCommX::ReadByte() {
    unsigned char b = 0;
    return Read(reinterpret_cast<char*>(&b), 1) == 1 ? b : -1;
}

int TCustomCommX::InQueCount() {
    if (!device_)
        return 0;
    device_->takeErrors(); // asking clears the pending line error state
    return std::max(device_->bytesWaiting(), 0);
}

void TCustomCommX::PurgeTrans() {
    if (!device_)
        return;
    if (!transmitThread_.joinable()) {
        device_->purgeTransmit();
        return;
    }
    purgeFlag_ = true;
    for (;;) {
        {
            std::lock_guard lock(writeLock_);
            device_->purgeTransmit();
        }
        queueCv_.notify_one();
        sleepMs(1);
        std::lock_guard lock(countersLock_);
        if (pendingBytes_ == 0)
            break;
    }
    purgeFlag_ = false;
}

void TCustomCommX::PurgeReceive() {
    if (device_)
        device_->purgeReceive();
}

void TCustomCommX::SetRTS(bool on) {
    if (device_)
        device_->setRts(on);
}

void TCustomCommX::SetDTR(bool on) {
    if (device_)
        device_->setDtr(on);
}

void TCustomCommX::post(std::function<void()> call) {
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void TCustomCommX::send(std::function<void()> call) {
    auto handled = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(
        this,
        [this, call = std::move(call), handled] {
            // The sender goes on even when a handler fails (the error travels up to the
            // window's error display): a stuck sender would never announce bytes again.
            struct Done {
                TCustomCommX* self;
                std::shared_ptr<bool> handled;
                ~Done() {
                    {
                        std::lock_guard lock(self->handledMutex_);
                        *handled = true;
                    }
                    self->handledCv_.notify_all();
                }
            } done{this, handled};
            call();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(handledMutex_);
    handledCv_.wait(lock, [&] { return *handled || receiveStop_.load(); });
}

void TCustomCommX::halfDuplexStep(bool before) {
    const TCommFlowCtrls flow = flow_.load();
    if (flow != cfcHalfHigh && flow != cfcHalfLow)
        return;
    const bool high = flow == cfcHalfHigh;
    if (before) {
        sleepMs(100);
        device_->setRts(high);
        sleepMs(10);
    } else {
        sleepMs(20);
        device_->setRts(!high);
    }
}

void TCustomCommX::transmitLoop(std::uint64_t generation) {
    SerialDevice* device = device_.get();
    for (;;) {
        std::deque<Chunk> batch;
        bool stop;
        {
            std::unique_lock lock(queueMutex_);
            queueCv_.wait_for(lock, 100ms, [&] { return transmitStop_ || !queue_.empty(); });
            batch.swap(queue_);
            stop = transmitStop_;
        }
        bool wrote = false;
        for (const Chunk& chunk : batch) {
            const int size = static_cast<int>(chunk.bytes.size());
            if (!purgeFlag_ && !stop) {
                if (!wrote)
                    halfDuplexStep(true);
                wrote = true;
                int written;
                {
                    std::lock_guard lock(writeLock_);
                    written = device->write(chunk.bytes.constData(), size, timeOutTrans_);
                }
                if (written != size) {
                    const int errors = device->takeErrors();
                    if (errors)
                        post([this, generation, errors] {
                            if (generation == generation_ && device_ && OnError)
                                OnError(this, errors);
                        });
                }
            }
            // Reported whether written or dropped, as the chunk has left the queue.
            post([this, generation, size] {
                if (generation == generation_ && device_ && transmitThread_.joinable() && OnTrans)
                    OnTrans(this, size);
            });
            std::lock_guard lock(countersLock_);
            pendingBytes_ = std::max(0, pendingBytes_ - size);
            if (pendingChunks_ > 0)
                --pendingChunks_;
        }
        if (wrote)
            halfDuplexStep(false);
        if (stop)
            return;
    }
}

void TCustomCommX::receiveLoop(std::uint64_t generation) {
    SerialDevice* device = device_.get();
    int quiet = -1;
    while (!receiveStop_) {
        const int events = device->waitEvent(EvWatched, quiet);
        if (receiveStop_)
            return;
        if (events < 0) {
            post([this, generation] {
                if (generation != generation_ || !device_)
                    return;
                Close();
                if (OnLost)
                    OnLost(this, QStringLiteral("the serial device is gone"));
            });
            return;
        }
        if (events == 0)
            continue;
        const int errors = device->takeErrors();
        if (errors)
            send([this, generation, errors] {
                if (generation == generation_ && device_ && OnError)
                    OnError(this, errors);
            });
        if (events & (EvCts | EvDsr | EvRlsd | EvBreak | EvRing))
            send([this, generation, events] {
                if (generation != generation_ || !device_)
                    return;
                if ((events & (EvCts | EvDsr | EvRlsd | EvRing)) && OnSignal)
                    OnSignal(this, events);
                if ((events & EvBreak) && OnBreak)
                    OnBreak(this);
            });
        if (events & EvRxChar) {
            const int announced = device->bytesWaiting();
            const long long readBefore = bytesRead_;
            send([this, generation] {
                if (generation != generation_ || !device_ || !OnReceive)
                    return;
                const int n = InQueCount();
                if (n > 0)
                    OnReceive(this, n);
            });
            // When the handler took nothing, the bytes it left are not announced again
            // until more arrive; otherwise whatever waits is announced at once.
            quiet = bytesRead_ == readBefore ? announced : -1;
        }
    }
}

} // namespace pistel
