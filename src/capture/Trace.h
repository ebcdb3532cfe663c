#pragma once

#include <QString>
#include <QStringList>

namespace pistel {

// The visible trace of received text: at most kMaxLines lines, the line still being
// received included. Completed lines end with CR LF.
class Trace {
public:
    static constexpr int kMaxLines = 25;

    // Appends one received character; drops the oldest line when the trace grows too long.
    void append(QChar c);
    // Ends the line in progress (its CR is already appended) and returns it without the CR.
    QString endLine();

    QString text() const;
    int lineCount() const { return static_cast<int>(done_.size()) + (partial_.isEmpty() ? 0 : 1); }
    void clear();

private:
    QStringList done_; // completed lines, each with its CR
    QString partial_;
};

} // namespace pistel
