#include "support/Contrast.h"
#include "ui/TCuteButton.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>
#include <utility>

using namespace pistel;
using Bevel = TCuteButton::Bevel;

namespace {

// A window with two buttons, shown offscreen.
struct Window {
    QWidget top;
    TCuteButton* button = new TCuteButton(QStringLiteral("大会処理"), &top);
    TCuteButton* other = new TCuteButton(QStringLiteral("終了"), &top);
    int clicks = 0;
    Window() {
        top.resize(300, 100);
        button->setGeometry(10, 10, 120, 30);
        other->setGeometry(150, 10, 120, 30);
        button->OnClick = [this] { ++clicks; };
        top.show();
        QApplication::setActiveWindow(&top);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&top));
    }
};

QColor pixel(TCuteButton& b, QPoint at) {
    return b.grab().toImage().pixelColor(at);
}

} // namespace

TEST(CuteButton, Defaults) {
    TCuteButton b;
    EXPECT_EQ(b.width(), 75);
    EXPECT_EQ(b.height(), 25);
    EXPECT_EQ(b.BevelWidth(), 1);
    EXPECT_EQ(b.alignment(), TCuteButton::Alignment::Center);
    EXPECT_EQ(b.layout(), TCuteButton::Layout::Center);
    EXPECT_EQ(b.DisabledColor(), QColor(128, 128, 128));
    EXPECT_FALSE(b.UseDisabledColor());
    EXPECT_FALSE(b.EgnoreContClick());
    EXPECT_FALSE(b.Flat());
    EXPECT_EQ(b.MarginX(), -1);
    EXPECT_TRUE(b.TabFocusUp());
    EXPECT_TRUE(b.TabStop());
    EXPECT_EQ(b.outerBevel(), Bevel::None);
    EXPECT_EQ(b.innerBevel(), Bevel::Raised);
    b.setFlat(true);
    EXPECT_EQ(b.innerBevel(), Bevel::None);
    b.setMarginX(-5);
    EXPECT_EQ(b.MarginX(), -1);
    b.setMarginY(3);
    EXPECT_EQ(b.MarginY(), 3);
}

TEST(CuteButton, MouseClickAndLook) {
    Window w;
    QTest::mouseMove(w.button, QPoint(20, 10));
    EXPECT_EQ(w.button->outerBevel(), Bevel::Raised);
    QTest::mousePress(w.button, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_EQ(w.button->outerBevel(), Bevel::Lowered);
    EXPECT_TRUE(w.button->hasFocus());
    QTest::mouseRelease(w.button, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_EQ(w.clicks, 1);
    EXPECT_EQ(w.button->outerBevel(), Bevel::Raised);
    // Released outside: no click.
    QTest::mousePress(w.button, Qt::LeftButton, {}, QPoint(20, 10));
    QTest::mouseRelease(w.button, Qt::LeftButton, {}, QPoint(500, 10));
    EXPECT_EQ(w.clicks, 1);
    // Focus elsewhere drops the bevel.
    w.other->setFocus();
    EXPECT_EQ(w.button->outerBevel(), Bevel::None);
}

TEST(CuteButton, Keyboard) {
    Window w;
    w.button->setFocus();
    EXPECT_EQ(w.button->outerBevel(), Bevel::Raised);
    QTest::keyClick(w.button, Qt::Key_Space);
    EXPECT_EQ(w.clicks, 1);
    QTest::keyClick(w.button, Qt::Key_Return);
    EXPECT_EQ(w.clicks, 2);
    // Space, then another key before space is released: no click.
    QTest::keyPress(w.button, Qt::Key_Space);
    EXPECT_EQ(w.button->outerBevel(), Bevel::Lowered);
    QTest::keyPress(w.button, Qt::Key_A);
    QTest::keyRelease(w.button, Qt::Key_A);
    QTest::keyRelease(w.button, Qt::Key_Space);
    EXPECT_EQ(w.clicks, 2);
    EXPECT_EQ(w.button->outerBevel(), Bevel::Raised);
    // A disabled button takes no keys.
    w.button->setEnabled(false);
    QTest::keyClick(w.button, Qt::Key_Space);
    EXPECT_EQ(w.clicks, 2);
}

TEST(CuteButton, AcceleratorActsAsEnter) {
    Window w;
    w.button->setCaption(QStringLiteral("&Start"));
    QTest::keyClick(&w.top, Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(w.clicks, 1);
}

TEST(CuteButton, RepeatedClicksWhileTheHandlerRunsAreIgnored) {
    Window w;
    w.button->setEgnoreContClick(true);
    int runs = 0;
    bool busyOperator = true;
    auto post = [&](QEvent::Type type, Qt::MouseButtons buttons) {
        const QPointF at(20, 10);
        QCoreApplication::postEvent(w.button, new QMouseEvent(type, at, w.button->mapToGlobal(at),
                                                              Qt::LeftButton, buttons, {}));
    };
    w.button->OnClick = [&] {
        ++runs;
        if (!std::exchange(busyOperator, false))
            return;
        // The operator clicks three more times while the handler is busy.
        for (int i = 0; i < 3; ++i) {
            post(QEvent::MouseButtonPress, Qt::LeftButton);
            post(QEvent::MouseButtonRelease, Qt::NoButton);
        }
        QTest::qWait(50);
    };
    QTest::mouseClick(w.button, Qt::LeftButton, {}, QPoint(20, 10));
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);
    // The handler is attached again afterwards.
    QTest::mouseClick(w.button, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_EQ(runs, 2);

    // Without the guard every click runs the handler.
    w.button->setEgnoreContClick(false);
    runs = 0;
    busyOperator = true;
    QTest::mouseClick(w.button, Qt::LeftButton, {}, QPoint(20, 10));
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 4);
}

TEST(CuteButton, HiddenButtonClickRunsItsHandler) {
    TCuteButton hidden(QStringLiteral("１本目"));
    int runs = 0;
    hidden.OnClick = [&] { ++runs; };
    hidden.Click();
    EXPECT_EQ(runs, 1);
}

TEST(CuteButton, FaceColours) {
    TCuteButton b(QStringLiteral("全データ削除"));
    b.resize(120, 30);
    b.setColor(QColor(0, 0, 255));
    EXPECT_EQ(pixel(b, {60, 4}), QColor(0, 0, 255));
    b.setEnabled(false); // without UseDisabledColor the face stays
    EXPECT_EQ(pixel(b, {60, 4}), QColor(0, 0, 255));
    b.setUseDisabledColor(true);
    EXPECT_EQ(pixel(b, {60, 4}), QColor(128, 128, 128));
    // Engraved text: the caption is drawn in the system's light and dark colours, not in
    // the font colour, on the blue face.
    b.setUseDisabledColor(false);
    const QImage img = b.grab().toImage();
    int greyText = 0;
    for (int y = 4; y < 26; ++y)
        for (int x = 8; x < 112; ++x)
            if (img.pixelColor(x, y).red() > 100)
                ++greyText;
    EXPECT_GT(greyText, 20);
}

TEST(CuteButton, CaptionsReadWellEnabledAndDisabled) {
    TCuteButton b(QStringLiteral("終了"));
    b.resize(150, 35);
    EXPECT_GE(test::contrastRatio(b.captionColor(), b.faceColor()), 4.5);
    b.setEnabled(false);
    EXPECT_GE(test::contrastRatio(b.captionColor(), b.faceColor()), 4.5);
    b.setUseDisabledColor(true); // grey face
    EXPECT_GE(test::contrastRatio(b.captionColor(), b.faceColor()), 3.0);
}

TEST(CuteButton, JapaneseCaptionRenders) {
    TCuteButton b(QStringLiteral("大会処理"));
    b.resize(120, 30);
    b.setColor(Qt::white);
    const QImage img = b.grab().toImage();
    int dark = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 4; x < img.width() - 4; ++x)
            if (img.pixelColor(x, y).lightness() < 100)
                ++dark;
    EXPECT_GT(dark, 40); // glyphs, not empty boxes or nothing
    EXPECT_EQ(QFontInfo(b.font()).family(), "Noto Sans CJK JP");
}

TEST(CuteButton, AFailingGuardedHandlerStaysAttached) {
    TCuteButton b;
    b.setEgnoreContClick(true);
    int runs = 0;
    b.OnClick = [&] {
        if (++runs == 1)
            throw std::runtime_error("failed");
    };
    EXPECT_THROW(b.Click(), std::runtime_error);
    b.Click();
    EXPECT_EQ(runs, 2);
}
