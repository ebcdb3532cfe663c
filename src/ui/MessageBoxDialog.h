#pragma once

#include "data/OperatorDialog.h"

class QWidget;

namespace pistel {

// Questions and messages to the operator as message boxes.
class MessageBoxDialog : public OperatorDialog {
public:
    explicit MessageBoxDialog(QWidget* parent = nullptr) : parent_(parent) {}
    bool askYesNo(const QString& text, const QString& caption) override;
    bool askYesNoDefaultNo(const QString& text, const QString& caption) override;
    void showMessage(const QString& text) override;

private:
    QWidget* parent_;
};

} // namespace pistel
