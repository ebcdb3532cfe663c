#pragma once

#include <QString>

namespace pistel {

// A competitor's status in one run, beside the times: did not start, did not finish,
// disqualified. The codes are what exports and other software read.
struct RunStatus {
    QString code; // "DNS", "DNF", "DSQ"; empty: none
    QString gate; // DSQ: the gate number
    QString reason;

    bool isSet() const { return !code.isEmpty(); }
    bool operator==(const RunStatus&) const = default;
};

// Whether `code` is one of the three codes (upper case).
bool isStatusCode(const QString& code);
// The Japanese caption with the code, e.g. "途中棄権/DNF".
QString statusCaption(const QString& code);
// The caption as one line of a list: "失格/DSQ 旗門 12 旗門不通過".
QString statusText(const RunStatus& status);

} // namespace pistel
