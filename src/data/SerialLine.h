#pragma once

namespace pistel {

// The line settings of a serial port as the operator chose them. Parity and stop bits use
// the serial component's numbering: parity 0 none, 1 odd, 2 even; stop bits 0 one, 1 one
// and a half, 2 two. The defaults are what the ports always opened with.
struct SerialLine {
    int baud = 2400;
    int dataBits = 8;
    int parity = 0;
    int stopBits = 0;

    bool operator==(const SerialLine&) const = default;
};

} // namespace pistel
