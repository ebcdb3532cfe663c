#pragma once

#include "SerialLine.h"

#include <QString>
#include <functional>
#include <memory>

namespace pistel {

// Line event bits, as the serial component reports them to its handlers.
enum LineEvent : int {
    EvRxChar = 0x1,
    EvCts = 0x8,
    EvDsr = 0x10,
    EvRlsd = 0x20,
    EvBreak = 0x40,
    EvErr = 0x80,
    EvRing = 0x100,
    EvWatched = 0x1F9,
};

// Line error bits.
enum LineError : int {
    ErrOverrun = 0x2,
    ErrParity = 0x4,
    ErrFrame = 0x8,
    ErrReported = 0xE,
};

// How a modem control line is driven.
enum class LineDrive { Off, On, Handshake };

// Everything the component sets on a line, derived from its properties.
struct LineSettings {
    SerialLine line;
    bool ctsOutput = true;
    bool dsrOutput = false;
    bool xonXoff = false;
    LineDrive dtr = LineDrive::On;
    LineDrive rts = LineDrive::Handshake;
    int xonLimit = 512;
    int xoffLimit = 1536;
    char xonChar = 0x11;
    char xoffChar = 0x13;
};

// Which part of the line settings a device refused.
enum class SettingRefused { None, BaudRate, DataBits, Parity, StopBits, FlowControl };

// The platform layer under the serial component: one device, opened exclusively. Every call
// but cancelWait comes from one thread at a time; cancelWait may come from any thread.
// What a device cannot do (a pseudo-terminal has no modem lines) is reported as unsupported
// and otherwise ignored.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // Opens the device exclusively; on failure returns false with a reason.
    virtual bool open(const QString& path, QString* why) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual int handle() const = 0; // an identifier of the open device, -1 when closed

    virtual bool setQueueSizes(int receive, int transmit) = 0;
    // Applies the settings; names the first part the device refused.
    virtual SettingRefused apply(const LineSettings& settings) = 0;

    // Blocks until one of the events in `mask` happens, cancelWait is called, or the device
    // fails. Returns the event bits (0 when cancelled); -1 when the device is gone. Received
    // bytes count as an event only beyond `quietUpTo` bytes waiting: bytes the last handler
    // left unread are not announced again until more arrive.
    virtual int waitEvent(int mask, int quietUpTo) = 0;
    virtual void cancelWait() = 0;
    // The line error bits since the last call (they are cleared).
    virtual int takeErrors() = 0;
    virtual int bytesWaiting() = 0;

    // Reads what is waiting, up to `count`; with nothing waiting waits up to `timeoutMs` for
    // the first byte. Returns the bytes read (0 on time-out), -1 on failure.
    virtual int read(char* buffer, int count, int timeoutMs) = 0;
    // Writes all bytes within `timeoutMs`; returns the bytes written, -1 on failure.
    virtual int write(const char* buffer, int count, int timeoutMs) = 0;
    virtual void purgeReceive() = 0;
    virtual void purgeTransmit() = 0;

    // Modem control lines; false when the device has none.
    virtual bool setRts(bool on) = 0;
    virtual bool setDtr(bool on) = 0;
};

using SerialDeviceFactory = std::function<std::unique_ptr<SerialDevice>()>;

} // namespace pistel
