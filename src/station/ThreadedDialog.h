#pragma once

#include "data/Mailbox.h"
#include "data/OperatorDialog.h"

#include <QEventLoop>
#include <QObject>
#include <QSet>
#include <functional>
#include <memory>

namespace pistel {

// The operator's dialog as a station on its own thread reaches it: messages and questions
// go to the window's dialog on the window's thread. A question waits for its answer in an
// event loop of the station's thread, so timer lines are still received and captured while
// the operator reads; a message does not wait.
class ThreadedDialog : public OperatorDialog {
public:
    // Made on the window's thread.
    explicit ThreadedDialog(OperatorDialog& window);
    ~ThreadedDialog() override;

    bool askYesNo(const QString& text, const QString& caption) override;
    bool askYesNoDefaultNo(const QString& text, const QString& caption) override;
    void showMessage(const QString& text) override;

    // Questions waiting for their answer (on the station's thread).
    bool asking() const { return !open_.isEmpty(); }
    // The window is going: questions still open are answered No, and nothing more is shown.
    // Called on the station's thread.
    void abandon();

private:
    bool ask(std::function<bool(OperatorDialog&)> question);

    OperatorDialog& window_;
    QObject windowSide_; // lives on the window's thread: what is posted there runs there
    std::shared_ptr<Mailbox> toWindow_;
    QSet<QEventLoop*> open_; // questions waiting, on the station's thread
    bool abandoned_ = false;
};

} // namespace pistel
