#include "wheelguard.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QPointer>

WheelGuard::WheelGuard(QObject* parent)
    : QObject(parent)
{
}

void WheelGuard::install()
{
    static QPointer<WheelGuard> guard;
    if (guard || !qApp)
        return;
    guard = new WheelGuard(qApp);
    qApp->installEventFilter(guard);
}

bool WheelGuard::isGuarded(const QObject* object)
{
    return qobject_cast<const QAbstractSpinBox*>(object) || qobject_cast<const QComboBox*>(object);
}

bool WheelGuard::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type != QEvent::Polish && type != QEvent::Wheel) || !isGuarded(watched))
        return false;
    auto* box = static_cast<QWidget*>(watched);
    if (type == QEvent::Polish) {
        // A box that takes focus from the wheel would have it before the
        // wheel event arrives.
        if (box->focusPolicy() == Qt::WheelFocus)
            box->setFocusPolicy(Qt::StrongFocus);
        return false;
    }
    if (box->hasFocus())
        return false;
    // Ignored, the wheel goes on to the box's parents, up to a scroll area.
    event->ignore();
    return true;
}
