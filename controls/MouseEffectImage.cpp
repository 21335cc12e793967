#include "controls/MouseEffectImage.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

// The keys that press a focused button.
bool IsPressKey(const QKeyEvent& event)
{
    const int key = event.key();
    return event.modifiers() == Qt::NoModifier &&
           (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter);
}

// What assistive technology sees of a picture button: a button with its accessible name
// and description, whose press action clicks it.
class AccessiblePictureButton : public QAccessibleWidget {
public:
    explicit AccessiblePictureButton(TMouseEffectImage* button) : QAccessibleWidget(button, QAccessible::Button) {}

    QStringList actionNames() const override { return QStringList(pressAction()) + QAccessibleWidget::actionNames(); }
    void doAction(const QString& actionName) override
    {
        if (actionName == pressAction())
            static_cast<TMouseEffectImage*>(widget())->Press();
        else
            QAccessibleWidget::doAction(actionName);
    }
};

QAccessibleInterface* PictureButtonAccessibility(const QString& className, QObject* object)
{
    if (className == QLatin1String(TMouseEffectImage::staticMetaObject.className()) && object)
        if (auto* button = qobject_cast<TMouseEffectImage*>(object))
            return new AccessiblePictureButton(button);
    return nullptr;
}

}  // namespace

TMouseEffectImage::TMouseEffectImage(QWidget* parent) : TImage(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(PictureButtonAccessibility);
        return true;
    }();
    (void)factoryInstalled;
    SetAutoSize(true);
    setFocusPolicy(Qt::TabFocus);
}

void TMouseEffectImage::Press()
{
    emit Click();
}

bool TMouseEffectImage::event(QEvent* event)
{
    // A focused button keeps Space and Enter for itself rather than letting a window
    // shortcut on the same key take them.
    if (event->type() == QEvent::ShortcutOverride && IsPressKey(*static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return TImage::event(event);
}

void TMouseEffectImage::keyPressEvent(QKeyEvent* event)
{
    if (!IsPressKey(*event)) {
        TImage::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!event->isAutoRepeat())
        Press();
}

void TMouseEffectImage::focusInEvent(QFocusEvent* event)
{
    update();
    TImage::focusInEvent(event);
}

void TMouseEffectImage::focusOutEvent(QFocusEvent* event)
{
    update();
    TImage::focusOutEvent(event);
}

void TMouseEffectImage::paintEvent(QPaintEvent* event)
{
    TImage::paintEvent(event);
    if (!hasFocus())
        return;
    // A dotted frame inside the button's own area: the layout stays as it is.
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TMouseEffectImage::SetOriginPicture(const TPicture& picture)
{
    originPicture_ = picture;
    SetPicture(originPicture_);
}

void TMouseEffectImage::SetOverPicture(const TPicture& picture)
{
    overPicture_ = picture;
}

void TMouseEffectImage::SetDownPicture(const TPicture& picture)
{
    downPicture_ = picture;
}

void TMouseEffectImage::enterEvent(QEnterEvent* event)
{
    if (!designMode_)
        SetPicture(overPicture_);
    TImage::enterEvent(event);
}

void TMouseEffectImage::leaveEvent(QEvent* event)
{
    SetPicture(originPicture_);
    TImage::leaveEvent(event);
}

void TMouseEffectImage::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        SetPicture(downPicture_);
    TImage::mousePressEvent(event);
}

void TMouseEffectImage::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && !revertOnLeave_)
        SetPicture(originPicture_);
    TImage::mouseReleaseEvent(event);
}
