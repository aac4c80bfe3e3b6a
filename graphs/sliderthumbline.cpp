#include "sliderthumbline.h"

#include "sliderthumb.h"

#include <QLineF>
#include <QPainter>

SliderThumbLine::SliderThumbLine(SliderThumb* source, int y, bool onLeft)
    : source(source)
    , onLeft(onLeft)
{
    setAcceptedMouseButtons(Qt::NoButton);
    destPoint = QPointF(onLeft ? -25 : 25, y);
    if (source)
        source->addThumbLine(this);
    adjust();
}

void SliderThumbLine::adjust()
{
    if (!source)
        return;
    prepareGeometryChange();
    sourcePoint = mapFromItem(source, 0, 0) + QPointF(onLeft ? -10 : 10, 0);
}

int SliderThumbLine::stubEnd() const
{
    return onLeft ? -30 : 30;
}

QRectF SliderThumbLine::boundingRect() const
{
    if (!source)
        return QRectF();
    // The stub beside the track included.
    const QRectF line = QRectF(sourcePoint, destPoint).normalized();
    return line.united(QRectF(stubEnd(), destPoint.y(), 0, 0)).adjusted(-0.5, -0.5, 0.5, 0.5);
}

void SliderThumbLine::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    if (qFuzzyIsNull(QLineF(sourcePoint, destPoint).length()))
        return;
    painter->setPen(QPen(Qt::black, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter->drawLine(sourcePoint, destPoint);
    const int y = int(destPoint.y());
    painter->drawLine(int(destPoint.x()), y, stubEnd(), y);
}
