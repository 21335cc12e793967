#pragma once
// A picture button: an image control that shows its normal picture, its hover picture
// while the pointer is over it, and its pressed picture while the left button is held on
// it. It only swaps pictures; the window handles its click and mouse events, which run
// after the swap.
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

protected:
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
