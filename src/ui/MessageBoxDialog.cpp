#include "MessageBoxDialog.h"

#include <QMessageBox>

namespace pistel {

bool MessageBoxDialog::askYesNo(const QString& text, const QString& caption) {
    return QMessageBox::question(parent_, caption, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

bool MessageBoxDialog::askYesNoDefaultNo(const QString& text, const QString& caption) {
    return QMessageBox::question(parent_, caption, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void MessageBoxDialog::showMessage(const QString& text) {
    QMessageBox::information(parent_, QString(), text, QMessageBox::Ok);
}

} // namespace pistel
