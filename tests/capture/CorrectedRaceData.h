#pragma once

// A two-run race of 8 competitors in two classes as a real timer reports it: a test start
// taken back before the race, false starts taken back ("c", and "d" on a "?0000" line) and
// restarted, finishes taken back and entered again at the device ("i"), a start and finish
// missed and entered afterwards for a competitor the boxes had passed, a line cleared at the
// device ("C"), a stray impulse, and the timer's own run time ("RT") after every finish.
// The results were worked out by hand from the times of day.

#include <QByteArray>

namespace pistel::test {

struct CorrectedResult {
    const char* zek;
    const char* ttime;
    const char* ttime2;
    const char* totaltime;
};

// Class 2: 0001-0004, class 1: 0005-0008; start orders per class, run 2 reversed.
struct CorrectedCompetitor {
    const char* zek;
    int st1;
    int st2;
    int class1;
};
inline const CorrectedCompetitor kCorrectedField[] = {
    {"0001", 1, 4, 2}, {"0002", 2, 3, 2}, {"0003", 3, 2, 2}, {"0004", 4, 1, 2},
    {"0005", 1, 4, 1}, {"0006", 2, 3, 1}, {"0007", 3, 2, 1}, {"0008", 4, 1, 1},
};

// clang-format off: one timer line a row, as the timer prints them
inline const char* const kCorrectedRun1[] = {
    " 0003 C0M 09:55:10.0000 00", // a test start at the device's keypad...
    "c0003 C0M 09:55:10.0000 00", // ...taken back
    " 0001 C0  10:00:00.1234 00",
    " 0002 C0  10:00:30.5000 00", // false start
    "c0002 C0  10:00:30.5000 00",
    " 0002 C0  10:00:41.2222 00", // restart
    " 0001 C1  10:01:05.2468 00", " 0001 RT  00:01:05.12",
    "?0000 C0  10:01:20.0000 00", // 0003, the start box
    " 0002 C1  10:01:50.0000 00", // a wrong finish impulse...
    "c0002 C1  10:01:50.0000 00", // ...taken back with its run time
    "c0002 RT  00:01:08.77",      " 0004 C0  10:02:00.0000 00", " 0003 C1  10:02:22.9999 00",
    " 0003 RT  00:01:02.99",      " 0005 C0  10:02:40.0500 00",
    "i0002 C1  10:01:48.7000 00", // the finish entered at the device
    "i0002 RT  00:01:07.47",      " 0004 C1  10:03:01.0101 00", " 0004 RT  00:01:01.01",
    " 0006 C0  10:03:20.0000 00", " 0005 C1  10:03:45.3333 00", " 0005 RT  00:01:05.28",
    " 0008 C0  10:04:00.0000 00", // 0007's start was missed
    "i0007 C0  10:03:40.0000 00", // entered afterwards; the start box stays on 0008
    " 0006 C1  10:04:25.5555 00", " 0006 RT  00:01:05.55",      "i0007 C1  10:04:44.4444 00",
    "i0007 RT  00:01:04.44",      " 0008 C1  10:05:03.2100 00", " 0008 RT  00:01:03.21",
    "C0000 C1  10:05:10.0000 00", // cleared at the device
    "?0000 C1  10:05:20.0000 00", // a stray impulse: nobody left on course
};

inline const char* const kCorrectedRun2[] = {
    "?0000 C0  11:00:00.0000 00", // 0004
    "?0000 C0  11:00:30.0000 00", // 0003, false start...
    "d0000 C0  11:00:30.0000 00", // ...taken back by a line without bib
    "?0000 C0  11:00:45.0000 00", // 0003 again
    "?0000 C1  11:01:02.5000 00", // 0004
    " 0004 RT  00:01:02.50",      " 0002 C0  11:01:15.0000 00", " 0001 C0  11:01:45.0000 00",
    "?0000 C1  11:01:50.1000 00", // 0003
    " 0003 RT  00:01:05.10",      " 0002 C1  11:02:20.0000 00", "c0002 C1  11:02:20.0000 00",
    "c0002 RT  00:01:05.00",      " 0008 C0  11:02:30.0000 00", "i0002 C1  11:02:19.8800 00",
    "i0002 RT  00:01:04.88",      " 0001 C1  11:02:50.5000 00", " 0001 RT  00:01:05.50",
    " 0007 C0  11:03:00.0000 00", " 0006 C0  11:03:30.0000 00", " 0008 C1  11:03:31.1111 00",
    " 0008 RT  00:01:01.11",      " 0005 C0  11:04:00.0000 00", " 0007 C1  11:04:02.0202 00",
    " 0007 RT  00:01:02.02",      " 0006 C1  11:04:33.3333 00", " 0006 RT  00:01:03.33",
    " 0005 C1  11:05:04.0400 00", " 0005 RT  00:01:04.04",
};

// clang-format on

inline const CorrectedResult kCorrectedResults[] = {
    {"0001", "00:01:05.12", "00:01:05.50", "00:02:10.62"},
    {"0002", "00:01:07.47", "00:01:04.88", "00:02:12.35"},
    {"0003", "00:01:02.99", "00:01:05.10", "00:02:08.09"},
    {"0004", "00:01:01.01", "00:01:02.50", "00:02:03.51"},
    {"0005", "00:01:05.28", "00:01:04.04", "00:02:09.32"},
    {"0006", "00:01:05.55", "00:01:03.33", "00:02:08.88"},
    {"0007", "00:01:04.44", "00:01:02.02", "00:02:06.46"},
    {"0008", "00:01:03.21", "00:01:01.11", "00:02:04.32"},
};

// The lines of a run as the timer prints them, CR LF after each.
template <size_t N> QByteArray printedLog(const char* const (&lines)[N]) {
    QByteArray log;
    for (const char* l : lines)
        log += QByteArray(l) + "\r\n";
    return log;
}

} // namespace pistel::test
