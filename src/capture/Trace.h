#pragma once

#include <QString>
#include <QStringList>
#include <optional>

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
    // Ends a line in progress that never got its CR (the port closed under it) and returns
    // it; nothing when no line is in progress.
    std::optional<QString> breakLine();

    QString text() const;
    int lineCount() const { return static_cast<int>(done_.size()) + (partial_.isEmpty() ? 0 : 1); }
    void clear();

private:
    QStringList done_; // completed lines, each with its CR
    QString partial_;
};

} // namespace pistel
