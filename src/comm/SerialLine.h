#pragma once

#include <cstdint>

namespace pistel {

enum TCommParityBits : std::uint8_t { cpbNone = 0, cpbOdd = 1, cpbEven = 2 };
enum TCommStopBits : std::uint8_t { csb1 = 0, csb1p5 = 1, csb2 = 2 };

// The line settings of a serial port: what the operator chooses, what the settings file keeps
// and what the serial component applies. The defaults are what the workstation's ports always
// opened with; the component itself starts from 9600 baud.
struct SerialLine {
    int baud = 2400;
    int dataBits = 8;
    TCommParityBits parity = cpbNone;
    TCommStopBits stopBits = csb1;

    bool operator==(const SerialLine&) const = default;
};

} // namespace pistel
