#pragma once

#include "data/OperatorDialog.h"

#include <QString>
#include <exception>

class QWidget;

namespace pistel {

// What the operator reads when an operation fails: a lost connection calmly, in Japanese,
// without the statement (the workstation brings the connection back by itself and the
// timer's lines keep being journaled); a statement the server refused with its message and
// the statement, for whoever looks after the database.
QString errorForOperator(const std::exception& error);
// The same for work that failed off the window thread (`lost`: the connection; `maybeDone`:
// lost while a write was on its way, so the server may have done it).
QString errorForOperator(const QString& message, bool lost, bool maybeDone = false);

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
