#include "draggablegraphnode.h"

#include "draggablegraphedge.h"
#include "numericconversion.h"

#include <QCursor>
#include <QEvent>
#include <QGraphicsScene>
#include <QPainter>
#include <QRadialGradient>
#include <QStyleOptionGraphicsItem>

#include <cmath>

namespace {

const double diamondReach = 7 * M_SQRT2;
const double pixelTolerance = 1e-9;

} // namespace

DraggableGraphNode::DraggableGraphNode(DraggableGraph* graph, double x, double y, bool xFixed,
                                       bool yFixed, bool visible, int domain, int range,
                                       int plotWidth, int plotHeight, bool diamond,
                                       QColor fillColor, QColor rimColor)
    : graph(graph)
    , xFixed(xFixed || !visible)
    , yFixed(yFixed || !visible)
    , visible(visible)
    , diamond(diamond)
    , xMaxPixel(plotWidth)
    , yMaxPixel(-plotHeight)
    , domain(domain)
    , range(range)
    , plotWidth(plotWidth)
    , plotHeight(plotHeight)
    , fillColor(fillColor)
    , rimColor(rimColor)
{
    setFlag(ItemIsMovable);
    // Placed before moves are checked: the graph has clamped the values.
    setPos(pixelX(x), pixelY(y));
    setFlag(ItemSendsGeometryChanges);
    setCacheMode(DeviceCoordinateCache);
    const bool movable = visible && !(xFixed && yFixed);
    setCursor(movable ? Qt::PointingHandCursor : Qt::ArrowCursor);
    // An invisible node lying over a visible one must not take its presses.
    if (!visible)
        setAcceptedMouseButtons(Qt::NoButton);
    setZValue(2);
}

DraggableGraphNode::~DraggableGraphNode()
{
    const QList<DraggableGraphEdge*> attached = edgeList;
    for (DraggableGraphEdge* edge : attached)
        edge->forgetNode(this);
}

double DraggableGraphNode::pixelX(double value) const
{
    return plotWidth * value / domain;
}

double DraggableGraphNode::pixelY(double value) const
{
    return -(plotHeight * value) / range;
}

double DraggableGraphNode::valueX(double pixel) const
{
    return pixel * domain / plotWidth;
}

double DraggableGraphNode::valueY(double pixel) const
{
    return -(pixel * range / plotHeight);
}

void DraggableGraphNode::setPosition(double x, double y)
{
    if (std::isnan(x) || std::isnan(y))
        return;
    setPos(pixelX(x), pixelY(y));
}

void DraggableGraphNode::setXPosition(double x)
{
    if (std::isnan(x))
        return;
    const bool wasFixed = xFixed;
    xFixed = false;
    setX(pixelX(x));
    xFixed = wasFixed;
}

void DraggableGraphNode::setYPosition(double y)
{
    if (std::isnan(y))
        return;
    const bool wasFixed = yFixed;
    yFixed = false;
    setY(pixelY(y));
    yFixed = wasFixed;
}

double DraggableGraphNode::getX() const
{
    return valueX(pos().x());
}

double DraggableGraphNode::getY() const
{
    return valueY(pos().y());
}

void DraggableGraphNode::setXMin(double value)
{
    if (value > getX())
        setPos(pixelX(value), pos().y());
    xMinPixel = truncateToInt(pixelX(value));
}

void DraggableGraphNode::setXMax(double value)
{
    if (getX() > value)
        setPos(pixelX(value), pos().y());
    xMaxPixel = truncateToInt(pixelX(value));
}

void DraggableGraphNode::setYMin(double value)
{
    if (value > getY())
        setPos(pos().x(), pixelY(value));
    yMinPixel = truncateToInt(pixelY(value));
}

void DraggableGraphNode::setYMax(double value)
{
    if (getY() > value)
        setPos(pos().x(), pixelY(value));
    yMaxPixel = truncateToInt(pixelY(value));
}

void DraggableGraphNode::setXBounds(double min, double max)
{
    // A value on a whole pixel is not moved to the next by its rounding.
    xMinPixel = truncateToInt(std::floor(pixelX(min) + pixelTolerance));
    xMaxPixel = truncateToInt(std::ceil(pixelX(max) - pixelTolerance));
}

double DraggableGraphNode::getXMin() const
{
    return valueX(xMinPixel);
}

double DraggableGraphNode::getXMax() const
{
    return valueX(xMaxPixel);
}

double DraggableGraphNode::getYMin() const
{
    return valueY(yMinPixel);
}

double DraggableGraphNode::getYMax() const
{
    return valueY(yMaxPixel);
}

bool DraggableGraphNode::isHeld() const
{
    return scene() && scene()->mouseGrabberItem() == this;
}

void DraggableGraphNode::addEdge(DraggableGraphEdge* edge)
{
    edgeList << edge;
    edge->adjust();
}

void DraggableGraphNode::removeEdge(DraggableGraphEdge* edge)
{
    edgeList.removeAll(edge);
}

QRectF DraggableGraphNode::boundingRect() const
{
    return QRectF(-9, -9, 16, 16);
}

QPainterPath DraggableGraphNode::shape() const
{
    QPainterPath path;
    if (diamond) {
        path.addPolygon(QPolygonF({QPointF(-diamondReach, 0), QPointF(0, diamondReach),
                                   QPointF(diamondReach, 0), QPointF(0, -diamondReach)}));
        path.closeSubpath();
    } else {
        path.addRect(-7, -7, 14, 14);
    }
    return path;
}

void DraggableGraphNode::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget*)
{
    if (!visible)
        return;
    QRadialGradient gradient(-3, -3, 10);
    if (option->state & QStyle::State_Sunken) {
        gradient.setCenter(3, 3);
        gradient.setFocalPoint(3, 3);
        gradient.setColorAt(0, rimColor.lighter(120));
        gradient.setColorAt(1, fillColor.lighter(120));
    } else {
        gradient.setColorAt(0, fillColor);
        gradient.setColorAt(1, rimColor);
    }
    painter->setBrush(gradient);
    painter->setPen(QPen(Qt::black, 0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter->drawEllipse(QRectF(-5, -5, 10, 10));
}

QPointF DraggableGraphNode::checkedMove(const QPointF& proposed) const
{
    double x = proposed.x();
    if (xFixed || std::isnan(x))
        x = pos().x();
    else if (x < xMinPixel)
        x = xMinPixel;
    else if (x > xMaxPixel)
        x = xMaxPixel;

    double y = proposed.y();
    if (yFixed || std::isnan(y))
        y = pos().y();
    else if (y > yMinPixel)
        y = yMinPixel;
    else if (y < yMaxPixel)
        y = yMaxPixel;
    return QPointF(x, y);
}

QVariant DraggableGraphNode::itemChange(GraphicsItemChange change, const QVariant& value)
{
    if (change == ItemPositionChange)
        return checkedMove(value.toPointF());
    if (change == ItemPositionHasChanged) {
        const QList<DraggableGraphEdge*> attached = edgeList;
        for (DraggableGraphEdge* edge : attached)
            edge->adjust();
        emit xChanged();
        emit yChanged();
    }
    return QGraphicsItem::itemChange(change, value);
}

void DraggableGraphNode::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    pressed = true;
    dragReturn.press(event);
    emit clicked();
    update();
    QGraphicsItem::mousePressEvent(event);
}

void DraggableGraphNode::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    pressed = false;
    dragReturn.release(event, !xFixed, !yFixed);
    emit released();
    update();
    QGraphicsItem::mouseReleaseEvent(event);
}

bool DraggableGraphNode::sceneEvent(QEvent* event)
{
    if (event->type() == QEvent::UngrabMouse && pressed) {
        pressed = false;
        dragReturn.abandon();
        emit released();
        update();
    }
    return QGraphicsItem::sceneEvent(event);
}
