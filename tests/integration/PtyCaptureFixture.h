#pragma once

#include "CaptureFixture.h"
#include "Pty.h"
#include "station/CommByteSource.h"

namespace pistel::test {

// The capture fed through a real pseudo-terminal and the serial component, as the run window
// wires them.
class PtyCaptureFixture : public CaptureFixture {
protected:
    void SetUp() override {
        CaptureFixture::SetUp();
        serial.OnReceive = [this](TCustomCommX*, int n) { serialHandler.CommX1Receive(n); };
        serialHandler.setRunControl(&control);
    }
    // Sends one line, ended by CR, and waits until it is logged.
    void send(const QByteArray& line) {
        ++sent;
        timer.send(line + '\r');
        ASSERT_TRUE(waitFor([&] { return pulseCount() == sent; }, 5000)) << line.data();
    }

    Pty timer;
    TCommX serial{[this](int) { return timer.path(); }};
    CommByteSource source{serial};
    ReceiveHandler serialHandler{app, dm, source, nullptr};
    int sent = 0; // lines sent, to be counted against the impulse rows
};

} // namespace pistel::test
