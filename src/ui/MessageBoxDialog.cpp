#include "MessageBoxDialog.h"

#include "data/DbError.h"

#include <QMessageBox>

namespace pistel {

QString errorForOperator(const QString& message, bool lost, bool maybeDone) {
    if (lost && maybeDone)
        return QStringLiteral("データベースとの接続が切れました。この操作が保存されたかどうかは"
                              "分かりません。\n"
                              "接続は自動で戻ります。計時器の信号は記録され続けています。\n"
                              "接続が戻ってから画面で確かめ、必要ならもう一度操作してください。");
    if (lost)
        return QStringLiteral("データベースに接続できません。この操作は行っていません。\n"
                              "接続は自動で戻ります。計時器の信号は記録され続けています。\n"
                              "接続が戻ってから、もう一度操作してください。");
    return message;
}

QString errorForOperator(const std::exception& error) {
    const auto* db = dynamic_cast<const DbError*>(&error);
    if (db && db->connectionLost())
        return errorForOperator(db->message(), true, db->outcomeUnknown());
    if (db)
        return db->statement().isEmpty() ? db->message()
                                         : db->message() + QStringLiteral("\n\n") + db->statement();
    return QString::fromStdString(error.what());
}

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
