#pragma once

#include "data/OperatorDialog.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace pistel::test {

// Answers questions from a script and records everything the operator was shown.
class ScriptedDialog : public OperatorDialog {
public:
    QList<bool> answers;
    QStringList asked;    // "caption|text" of each question
    QStringList messages; // each message shown

    bool askYesNo(const QString& text, const QString& caption) override {
        asked << caption + "|" + text;
        if (answers.isEmpty()) {
            ADD_FAILURE() << "unexpected question: " << text.toStdString();
            return false;
        }
        return answers.takeFirst();
    }
    void showMessage(const QString& text) override { messages << text; }
};

} // namespace pistel::test
