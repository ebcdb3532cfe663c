#include "ThreadedDialog.h"

#include <optional>

namespace pistel {

ThreadedDialog::ThreadedDialog(OperatorDialog& window)
    : window_(window), toWindow_(std::make_shared<Mailbox>(&windowSide_)) {}

ThreadedDialog::~ThreadedDialog() {
    toWindow_->close();
}

bool ThreadedDialog::askYesNo(const QString& text, const QString& caption) {
    return ask([text, caption](OperatorDialog& d) { return d.askYesNo(text, caption); });
}

bool ThreadedDialog::askYesNoDefaultNo(const QString& text, const QString& caption) {
    return ask([text, caption](OperatorDialog& d) { return d.askYesNoDefaultNo(text, caption); });
}

void ThreadedDialog::showMessage(const QString& text) {
    if (abandoned_)
        return;
    toWindow_->post([&window = window_, text] { window.showMessage(text); });
}

bool ThreadedDialog::ask(std::function<bool(OperatorDialog&)> question) {
    if (abandoned_)
        return false;
    QEventLoop loop;
    std::optional<bool> answer;
    // The answer comes back through a mailbox of this loop, so it is taken on this thread.
    const auto back = std::make_shared<Mailbox>(&loop);
    toWindow_->post([&window = window_, question = std::move(question), back, &loop, &answer] {
        const bool yes = question(window);
        back->post([&loop, &answer, yes] {
            answer = yes;
            loop.quit();
        });
    });
    open_.insert(&loop);
    while (!answer && !abandoned_)
        loop.exec();
    open_.remove(&loop);
    back->close();
    return answer.value_or(false);
}

void ThreadedDialog::abandon() {
    abandoned_ = true;
    toWindow_->close();
    for (QEventLoop* loop : open_)
        loop->quit();
}

} // namespace pistel
