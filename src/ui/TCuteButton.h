#pragma once

#include <QColor>
#include <QPoint>
#include <QWidget>
#include <functional>

class QMenu;
class QTimer;

namespace pistel {

// The command button of every window: a flat panel that raises under the mouse or with the
// focus, sinks while pressed, can open a drop-down menu, and can ignore clicks that arrive
// while its own click handler still runs.
class TCuteButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString caption READ Caption WRITE setCaption)
public:
    enum class Bevel { None, Lowered, Raised };
    enum class Alignment { Left, Right, Center };
    enum class Layout { Top, Center, Bottom };
    struct ShiftState {
        Qt::KeyboardModifiers keys;
        Qt::MouseButtons buttons;
    };

    explicit TCuteButton(QWidget* parent = nullptr);
    explicit TCuteButton(const QString& caption, QWidget* parent = nullptr);
    ~TCuteButton() override;

    QString Caption() const { return caption_; }
    // What the button is drawn with: its face, and its caption (the main stroke when
    // disabled and engraved).
    QColor faceColor() const;
    QColor captionColor() const;
    void setCaption(const QString& caption);
    Alignment alignment() const { return alignment_; }
    void setAlignment(Alignment a);
    Layout layout() const { return layout_; }
    void setLayout(Layout l);
    int BevelWidth() const { return bevelWidth_; }
    void setBevelWidth(int w);
    QColor BevelHighlightColor() const { return highlight_; }
    void setBevelHighlightColor(const QColor& c);
    QColor BevelShadowColor() const { return shadow_; }
    void setBevelShadowColor(const QColor& c);
    bool BorderSingle() const { return borderSingle_; }
    void setBorderSingle(bool on);
    QColor Color() const { return color_; }
    void setColor(const QColor& c);
    QColor DisabledColor() const { return disabledColor_; }
    void setDisabledColor(const QColor& c);
    bool UseDisabledColor() const { return useDisabledColor_; }
    void setUseDisabledColor(bool on);
    QMenu* DropDownMenu() const { return dropDownMenu_; }
    void setDropDownMenu(QMenu* menu) { dropDownMenu_ = menu; }
    int DropDownDelay() const { return dropDownDelay_; }
    void setDropDownDelay(int ms) { dropDownDelay_ = ms; }
    bool EgnoreContClick() const { return egnoreContClick_; }
    void setEgnoreContClick(bool on) { egnoreContClick_ = on; }
    bool Flat() const { return flat_; }
    void setFlat(bool on);
    int MarginX() const { return marginX_; }
    void setMarginX(int m);
    int MarginY() const { return marginY_; }
    void setMarginY(int m);
    bool ShowFocusRect() const { return showFocusRect_; }
    void setShowFocusRect(bool on);
    bool TabFocusUp() const { return tabFocusUp_; }
    void setTabFocusUp(bool on) { tabFocusUp_ = on; }
    bool TabStop() const { return focusPolicy() != Qt::NoFocus; }
    void setTabStop(bool on) { setFocusPolicy(on ? Qt::StrongFocus : Qt::NoFocus); }

    Bevel outerBevel() const { return outer_; }
    Bevel innerBevel() const { return flat_ ? Bevel::None : Bevel::Raised; }

    std::function<void()> OnClick;
    std::function<void(ShiftState, QPoint)> OnMouseEnter;
    std::function<void(ShiftState, QPoint)> OnMouseLeave;

    // Performs the click, as a press and release would (also on a hidden button).
    void Click();

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void focusOutEvent(QFocusEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void keyReleaseEvent(QKeyEvent*) override;
    bool event(QEvent*) override;

private:
    void setOuter(Bevel b);
    void restoreAfterKey() { setOuter(tabFocusUp_ ? Bevel::Raised : Bevel::None); }
    void startDropDown(bool byKeyboard);
    void openDropDown(bool byKeyboard);
    void cancelDropDownTimer();
    void updateShortcut();
    static ShiftState shiftState();

    QString caption_;
    Alignment alignment_ = Alignment::Center;
    Layout layout_ = Layout::Center;
    int bevelWidth_ = 1;
    QColor highlight_;
    QColor shadow_;
    bool borderSingle_ = false;
    QColor color_;
    QColor disabledColor_{128, 128, 128};
    bool useDisabledColor_ = false;
    QMenu* dropDownMenu_ = nullptr;
    int dropDownDelay_ = 0;
    bool egnoreContClick_ = false;
    bool flat_ = false;
    int marginX_ = -1;
    int marginY_ = -1;
    bool showFocusRect_ = false;
    bool tabFocusUp_ = true;

    Bevel outer_ = Bevel::None;
    bool pressedBySpace_ = false;
    bool dropDownByKeyboard_ = false;
    bool inDropDown_ = false;
    bool pressedByMouse_ = false;
    QTimer* dropDownTimer_ = nullptr;
    int shortcutId_ = 0;
};

} // namespace pistel
