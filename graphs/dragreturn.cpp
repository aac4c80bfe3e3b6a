#include "dragreturn.h"

#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QWidget>

#include <cmath>

namespace {

const double nearStartPixels = 2.0;

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

// A view's pixels turned into scene units and back may come out a hair
// over a whole number.
bool withinNearStart(double sceneUnits, double pixelsPerUnit)
{
    return std::fabs(sceneUnits) * pixelsPerUnit <= nearStartPixels + 1e-6;
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
    nearStart = (!alongX || withinNearStart(moved.x(), scale.x()))
        && (!alongY || withinNearStart(moved.y(), scale.y()));
}
