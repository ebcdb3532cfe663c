#include "TCuteButton.h"

#include <QApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QPainter>
#include <QShortcutEvent>
#include <QStyleOptionFocusRect>
#include <QTimer>

namespace pistel {

TCuteButton::TCuteButton(QWidget* parent) : TCuteButton(QString(), parent) {}

TCuteButton::TCuteButton(const QString& caption, QWidget* parent) : QWidget(parent) {
    const QPalette p = QApplication::palette();
    highlight_ = p.color(QPalette::Light);
    shadow_ = p.color(QPalette::Dark);
    color_ = p.color(QPalette::Button);
    resize(75, 25);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setCaption(caption);
}

TCuteButton::~TCuteButton() = default;

void TCuteButton::setCaption(const QString& caption) {
    if (caption == caption_)
        return;
    caption_ = caption;
    updateShortcut();
    update();
}

void TCuteButton::updateShortcut() {
    if (shortcutId_)
        releaseShortcut(shortcutId_);
    shortcutId_ = 0;
    const QKeySequence mnemonic = QKeySequence::mnemonic(caption_);
    if (!mnemonic.isEmpty())
        shortcutId_ = grabShortcut(mnemonic);
}

namespace {
// Setters of drawn properties repaint only when the value changes.
template <typename T> void assign(QWidget* w, T& member, const T& value) {
    if (member == value)
        return;
    member = value;
    w->update();
}
} // namespace

void TCuteButton::setAlignment(Alignment value) {
    assign(this, alignment_, value);
}
void TCuteButton::setLayout(Layout value) {
    assign(this, layout_, value);
}
void TCuteButton::setBevelWidth(int value) {
    assign(this, bevelWidth_, value);
}
void TCuteButton::setBevelHighlightColor(const QColor& value) {
    assign(this, highlight_, value);
}
void TCuteButton::setBevelShadowColor(const QColor& value) {
    assign(this, shadow_, value);
}
void TCuteButton::setBorderSingle(bool value) {
    assign(this, borderSingle_, value);
}
void TCuteButton::setColor(const QColor& value) {
    assign(this, color_, value);
}
void TCuteButton::setFlat(bool value) {
    assign(this, flat_, value);
}
void TCuteButton::setShowFocusRect(bool value) {
    assign(this, showFocusRect_, value);
}
void TCuteButton::setMarginX(int value) {
    assign(this, marginX_, std::max(value, -1));
}
void TCuteButton::setMarginY(int value) {
    assign(this, marginY_, std::max(value, -1));
}

// These two only change the look of a disabled button.
void TCuteButton::setDisabledColor(const QColor& value) {
    if (value == disabledColor_)
        return;
    disabledColor_ = value;
    if (!isEnabled())
        update();
}

void TCuteButton::setUseDisabledColor(bool value) {
    if (value == useDisabledColor_)
        return;
    useDisabledColor_ = value;
    if (!isEnabled())
        update();
}

void TCuteButton::setOuter(Bevel b) {
    if (b == outer_)
        return;
    outer_ = b;
    update();
}

TCuteButton::ShiftState TCuteButton::shiftState() {
    return {QGuiApplication::queryKeyboardModifiers(), QGuiApplication::mouseButtons()};
}

QColor TCuteButton::faceColor() const {
    return useDisabledColor_ && !isEnabled() ? disabledColor_ : color_;
}

QColor TCuteButton::captionColor() const {
    if (isEnabled())
        return palette().color(QPalette::WindowText);
    // The system's shadow colour is too faint to read on a light face: dark grey on a light
    // face, near white on a dark one, keeps the engraved look readable.
    return faceColor().lightness() >= 160 ? QColor(88, 88, 88) : QColor(240, 240, 240);
}

void TCuteButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QRect r = rect();
    p.fillRect(r, faceColor());
    if (borderSingle_) {
        p.setPen(Qt::black);
        p.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    }
    auto frame = [&](Bevel b) {
        if (b == Bevel::None)
            return;
        const QColor topLeft = b == Bevel::Raised ? highlight_ : shadow_;
        const QColor bottomRight = b == Bevel::Raised ? shadow_ : highlight_;
        for (int i = 0; i < bevelWidth_; ++i) {
            const QRect f = r.adjusted(i, i, -i - 1, -i - 1);
            p.setPen(topLeft);
            p.drawLine(f.topLeft(), f.topRight());
            p.drawLine(f.topLeft(), f.bottomLeft());
            p.setPen(bottomRight);
            p.drawLine(f.bottomLeft(), f.bottomRight());
            p.drawLine(f.topRight(), f.bottomRight());
        }
        r.adjust(bevelWidth_, bevelWidth_, -bevelWidth_, -bevelWidth_);
    };
    QRect all = r;
    frame(outer_);
    frame(innerBevel());

    const int inset = flat_ ? bevelWidth_ : 2 * bevelWidth_;
    QRect text = all.adjusted(inset, inset, -inset, -inset);
    if (marginX_ != -1) {
        if (alignment_ == Alignment::Left)
            text.setLeft(text.left() + marginX_);
        else if (alignment_ == Alignment::Right)
            text.setRight(text.right() - marginX_);
    }
    if (marginY_ != -1) {
        if (layout_ == Layout::Top)
            text.setTop(text.top() + marginY_);
        else if (layout_ == Layout::Bottom)
            text.setBottom(text.bottom() - marginY_);
    }
    if (outer_ == Bevel::Lowered)
        text.adjust(2, 2, 0, 0); // the pressed look
    const int h = alignment_ == Alignment::Left    ? Qt::AlignLeft
                  : alignment_ == Alignment::Right ? Qt::AlignRight
                                                   : Qt::AlignHCenter;
    const int v = layout_ == Layout::Top      ? Qt::AlignTop
                  : layout_ == Layout::Bottom ? Qt::AlignBottom
                                              : Qt::AlignVCenter;
    const int flags = h | v | Qt::TextSingleLine | Qt::TextShowMnemonic;
    if (!isEnabled()) { // engraved: the highlight one pixel right and down
        p.setPen(QApplication::palette().color(QPalette::Light));
        p.drawText(text.translated(1, 1), flags, caption_);
    }
    p.setPen(captionColor());
    p.drawText(text, flags, caption_);
    if (showFocusRect_ && hasFocus()) {
        QStyleOptionFocusRect o;
        o.initFrom(this);
        o.rect = text.adjusted(2, 2, -2, -2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &o, &p, this);
    }
}

void TCuteButton::enterEvent(QEnterEvent* e) {
    QWidget* focused = QApplication::focusWidget();
    const bool dragging = focused && window()->isAncestorOf(focused) &&
                          QGuiApplication::mouseButtons() && focused != this;
    if (!dragging)
        setOuter(QGuiApplication::mouseButtons() & Qt::LeftButton ? Bevel::Lowered : Bevel::Raised);
    if (OnMouseEnter)
        OnMouseEnter(shiftState(), e->position().toPoint());
}

void TCuteButton::leaveEvent(QEvent*) {
    if (OnMouseLeave)
        OnMouseLeave(shiftState(), mapFromGlobal(QCursor::pos()));
    if (!(hasFocus() && tabFocusUp_))
        setOuter(Bevel::None);
}

void TCuteButton::focusInEvent(QFocusEvent* e) {
    if (tabFocusUp_)
        setOuter(Bevel::Raised);
    QWidget::focusInEvent(e);
}

void TCuteButton::focusOutEvent(QFocusEvent* e) {
    setOuter(Bevel::None);
    QWidget::focusOutEvent(e);
}

void TCuteButton::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    setOuter(Bevel::Lowered);
    pressedByMouse_ = true;
    if (dropDownMenu_)
        startDropDown(false);
}

void TCuteButton::mouseReleaseEvent(QMouseEvent* e) {
    cancelDropDownTimer();
    const bool inside = rect().contains(e->position().toPoint());
    setOuter(inside || (tabFocusUp_ && hasFocus()) ? Bevel::Raised : Bevel::None);
    const bool click = e->button() == Qt::LeftButton && pressedByMouse_ && inside;
    pressedByMouse_ = false;
    if (click)
        Click();
}

void TCuteButton::keyPressEvent(QKeyEvent* e) {
    if (!isEnabled() || e->isAutoRepeat()) {
        QWidget::keyPressEvent(e);
        return;
    }
    if (e->key() == Qt::Key_Space) {
        pressedBySpace_ = true;
        setOuter(Bevel::Lowered);
        if (dropDownMenu_)
            startDropDown(true);
        return;
    }
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        setOuter(Bevel::Lowered);
        if (!dropDownMenu_ || dropDownDelay_ != 0)
            Click();
        else
            openDropDown(true);
        restoreAfterKey();
        return;
    }
    if (pressedBySpace_) { // another key cancels the space press
        pressedBySpace_ = false;
        restoreAfterKey();
    }
    QWidget::keyPressEvent(e);
}

void TCuteButton::keyReleaseEvent(QKeyEvent* e) {
    if (e->key() != Qt::Key_Space || e->isAutoRepeat() || !isEnabled()) {
        QWidget::keyReleaseEvent(e);
        return;
    }
    cancelDropDownTimer();
    if (pressedBySpace_) {
        pressedBySpace_ = false;
        Click();
        restoreAfterKey();
    }
}

bool TCuteButton::event(QEvent* e) {
    if (e->type() == QEvent::Shortcut) {
        auto* s = static_cast<QShortcutEvent*>(e);
        if (s->shortcutId() == shortcutId_ && isEnabled() && parentWidget() &&
            parentWidget()->isVisible()) {
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            keyPressEvent(&enter);
            return true;
        }
        return false;
    }
    return QWidget::event(e);
}

void TCuteButton::startDropDown(bool byKeyboard) {
    dropDownByKeyboard_ = byKeyboard;
    if (dropDownDelay_ <= 0) {
        openDropDown(byKeyboard);
        return;
    }
    if (dropDownTimer_)
        return;
    dropDownTimer_ = new QTimer(this);
    dropDownTimer_->setSingleShot(true);
    connect(dropDownTimer_, &QTimer::timeout, this, [this] {
        dropDownTimer_->deleteLater();
        dropDownTimer_ = nullptr;
        if (dropDownByKeyboard_ || pressedByMouse_)
            openDropDown(dropDownByKeyboard_);
    });
    dropDownTimer_->start(dropDownDelay_);
}

void TCuteButton::cancelDropDownTimer() {
    if (!dropDownTimer_)
        return;
    dropDownTimer_->stop();
    dropDownTimer_->deleteLater();
    dropDownTimer_ = nullptr;
}

void TCuteButton::openDropDown(bool byKeyboard) {
    if (!dropDownMenu_)
        return;
    inDropDown_ = true;
    QCoreApplication::processEvents();
    dropDownMenu_->exec(mapToGlobal(QPoint(0, height())));
    // The press that opened the menu ends here, without a click.
    if (byKeyboard)
        pressedBySpace_ = false;
    pressedByMouse_ = false;
    restoreAfterKey();
    inDropDown_ = false;
}

void TCuteButton::Click() {
    if (inDropDown_) { // the click that ends a drop-down is swallowed
        inDropDown_ = false;
        return;
    }
    if (!egnoreContClick_) {
        if (OnClick)
            OnClick();
        return;
    }
    // Clicks that arrive while the handler runs, and those still queued after it, find no
    // handler and are lost.
    std::function<void()> handler = std::move(OnClick);
    OnClick = nullptr;
    struct Reattach { // also when the handler fails, or the button would stay dead
        TCuteButton* button;
        std::function<void()>& handler;
        ~Reattach() {
            if (!button->OnClick)
                button->OnClick = std::move(handler);
        }
    } reattach{this, handler};
    if (handler)
        handler();
    QCoreApplication::processEvents();
}

} // namespace pistel
