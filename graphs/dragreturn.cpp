#include "dragreturn.h"

#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QWidget>

#include <cmath>

namespace {

// View pixels per scene unit on each axis; 1 where no view tells.
QPointF pixelsPerUnit(const QGraphicsSceneMouseEvent* event)
{
    QWidget* viewport = event->widget();
    auto* view = viewport ? qobject_cast<QGraphicsView*>(viewport->parentWidget()) : nullptr;
    if (!view)
        return QPointF(1, 1);
    const QTransform transform = view->transform();
    return QPointF(std::hypot(transform.m11(), transform.m12()),
                   std::hypot(transform.m21(), transform.m22()));
}

} // namespace

void DragReturn::press(const QGraphicsSceneMouseEvent* event)
{
    mouseAtPress = event->scenePos();
    nearStart = false;
}

void DragReturn::release(const QGraphicsSceneMouseEvent* event, bool alongX, bool alongY)
{
    const QPointF scale = pixelsPerUnit(event);
    const QPointF moved = event->scenePos() - mouseAtPress;
    nearStart = (!alongX || std::fabs(moved.x()) * scale.x() < 1)
        && (!alongY || std::fabs(moved.y()) * scale.y() < 1);
}
