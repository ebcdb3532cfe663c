#pragma once

#include <QByteArray>
#include <QList>

namespace pistel {

class TCustomCommX;

// The fixed test lines for the results display board, each ended by CR.
QList<QByteArray> allNullLines();      // "All Null": the blank-out line
QList<QByteArray> allEightLines();     // "All 8"
QList<QByteArray> oneToZeroLines();    // "1 to 0": no line letter, then L, U, V, W
QList<QByteArray> allOneToZeroLines(); // "All 1 to 0": no line letter, then A to X without L

// The test buttons of the settings page: each line is queued on the board port as it
// stands; a closed port sends nothing and nothing is shown.
class BoardTests {
public:
    explicit BoardTests(TCustomCommX& board) : board_(board) {}
    void sendAllNull() { send(allNullLines()); }
    void sendAllEight() { send(allEightLines()); }
    void sendOneToZero() { send(oneToZeroLines()); }
    void sendAllOneToZero() { send(allOneToZeroLines()); }

private:
    void send(const QList<QByteArray>& lines);
    TCustomCommX& board_;
};

} // namespace pistel
