#pragma once

#include "data/OperatorDialog.h"

#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <utility>

namespace pistel::test {

// Answers questions from a script and records everything the operator was shown.
class ScriptedDialog : public OperatorDialog {
public:
    QList<bool> answers;
    QStringList asked;    // "caption|text" of each question
    QStringList messages; // each message shown
    // Runs while the next question is open, before it is answered (once).
    std::function<void()> whileAsked;

    bool askYesNo(const QString& text, const QString& caption) override {
        asked << caption + "|" + text;
        if (whileAsked)
            std::exchange(whileAsked, {})();
        if (answers.isEmpty()) {
            ADD_FAILURE() << "unexpected question: " << text.toStdString();
            return false;
        }
        return answers.takeFirst();
    }
    void showMessage(const QString& text) override { messages << text; }
};

} // namespace pistel::test
