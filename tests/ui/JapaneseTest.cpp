#include "ui/Japanese.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace pistel;

// The operator's Yes/No boxes read はい / いいえ, not Yes / No.
TEST(Japanese, QtsOwnButtonsSpeakJapanese) {
    ASSERT_TRUE(loadQtJapanese(*QCoreApplication::instance()));
    QMessageBox box(QMessageBox::Question, QStringLiteral("確認"),
                    QStringLiteral("よろしいですか？"), QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(box.button(QMessageBox::Yes)->text().startsWith(QStringLiteral("はい")))
        << box.button(QMessageBox::Yes)->text().toStdString();
    EXPECT_TRUE(box.button(QMessageBox::No)->text().startsWith(QStringLiteral("いいえ")))
        << box.button(QMessageBox::No)->text().toStdString();
}

TEST(Japanese, DialogsStartInTheUsersDocuments) {
    const QString path = documentsPath(QStringLiteral("成績.pdf"));
    EXPECT_TRUE(path.endsWith(QStringLiteral("/成績.pdf")));
    EXPECT_FALSE(path.startsWith(QCoreApplication::applicationDirPath()));
    EXPECT_TRUE(QDir(documentsPath()).exists());
}
