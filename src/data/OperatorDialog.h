#pragma once

#include <QString>

namespace pistel {

// Questions and messages to the operator. The windows answer with message boxes; tests
// answer from a script and record what was asked.
class OperatorDialog {
public:
    virtual ~OperatorDialog() = default;
    // A Yes/No question; true for Yes.
    virtual bool askYesNo(const QString& text, const QString& caption) = 0;
    // The same, with No as the answer Enter gives.
    virtual bool askYesNoDefaultNo(const QString& text, const QString& caption) {
        return askYesNo(text, caption);
    }
    // A message the operator acknowledges.
    virtual void showMessage(const QString& text) = 0;
};

} // namespace pistel
