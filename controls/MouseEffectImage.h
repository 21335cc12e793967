#pragma once
// A picture button: an image control that shows its normal picture, its hover picture
// while the pointer is over it, and its pressed picture while the left button is held on
// it. It only swaps pictures; the window handles its click and mouse events, which run
// after the swap.
//
// It can also be used without a mouse: Tab reaches it (a click does not take the focus,
// so the window's own keys keep working after a click), it shows a frame while it has the
// focus, Space or Enter presses it then, and assistive technology sees it as a button
// named by its accessible name that can be pressed.
#include "platform/ImageControl.h"

class TMouseEffectImage : public TImage {
    Q_OBJECT
public:
    explicit TMouseEffectImage(QWidget* parent = nullptr);

    const TPicture& OriginPicture() const { return originPicture_; }
    // Stores the normal picture and shows it at once, whatever the state.
    void SetOriginPicture(const TPicture& picture);
    const TPicture& OverPicture() const { return overPicture_; }
    void SetOverPicture(const TPicture& picture);
    const TPicture& DownPicture() const { return downPicture_; }
    void SetDownPicture(const TPicture& picture);
    // When true, a release keeps the pressed picture until the pointer leaves.
    bool RevertOnLeave() const { return revertOnLeave_; }
    void SetRevertOnLeave(bool on) { revertOnLeave_ = on; }

    // A form designer would skip the hover swap; the running program has none.
    bool DesignMode() const { return designMode_; }
    void SetDesignMode(bool on) { designMode_ = on; }

    // Raises a click, as Space or Enter on the focused button and a screen reader's
    // press action do.
    void Press();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TPicture overPicture_;
    TPicture originPicture_;
    TPicture downPicture_;
    bool revertOnLeave_ = false;
    bool designMode_ = false;
};
