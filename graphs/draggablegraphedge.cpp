#include "draggablegraphedge.h"

#include "draggablegraphnode.h"

#include <QLineF>
#include <QPainter>

namespace {

const double pullIn = 6;
const double shortestDrawn = 10;

} // namespace

DraggableGraphEdge::DraggableGraphEdge(DraggableGraphNode* source, DraggableGraphNode* dest,
                                       QColor color, int z)
    : source(source)
    , dest(dest)
    , color(color)
{
    setAcceptedMouseButtons(Qt::NoButton);
    if (source)
        source->addEdge(this);
    if (dest)
        dest->addEdge(this);
    setZValue(z);
    adjust();
}

DraggableGraphEdge::~DraggableGraphEdge()
{
    if (source)
        source->removeEdge(this);
    if (dest)
        dest->removeEdge(this);
}

void DraggableGraphEdge::adjust()
{
    if (!source || !dest)
        return;
    const QLineF line(mapFromItem(source, 0, 0), mapFromItem(dest, 0, 0));
    const double length = line.length();
    prepareGeometryChange();
    if (length > shortestDrawn) {
        const QPointF offset(line.dx() * pullIn / length, line.dy() * pullIn / length);
        sourcePoint = source->isVisible() ? line.p1() + offset : line.p1();
        destPoint = dest->isVisible() ? line.p2() - offset : line.p2();
    } else {
        sourcePoint = destPoint = line.p1();
    }
}

void DraggableGraphEdge::forgetNode(DraggableGraphNode* node)
{
    prepareGeometryChange();
    if (source == node)
        source = nullptr;
    if (dest == node)
        dest = nullptr;
}

void DraggableGraphEdge::setColor(const QColor& newColor)
{
    color = newColor;
    update();
}

QRectF DraggableGraphEdge::boundingRect() const
{
    if (!source || !dest)
        return QRectF();
    const double extra = 2;
    return QRectF(sourcePoint, destPoint).normalized().adjusted(-extra, -extra, extra, extra);
}

void DraggableGraphEdge::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    if (!source || !dest || sourcePoint == destPoint)
        return;
    painter->setPen(QPen(color, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter->drawLine(sourcePoint, destPoint);
}
