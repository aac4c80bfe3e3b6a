#include "sliderthumb.h"

#include "multislider.h"
#include "numericconversion.h"
#include "sliderthumbline.h"

#include <QCursor>
#include <QEvent>
#include <QGraphicsScene>
#include <QPainter>
#include <QRadialGradient>
#include <QStyleOptionGraphicsItem>

#include <cmath>

SliderThumb::SliderThumb(MultiSlider* slider, double value, int min, int max)
    : slider(slider)
    , rangeMin(min)
    , rangeMax(max)
{
    setFlag(ItemIsMovable);
    setPos(0, pixel(value));
    setFlag(ItemSendsGeometryChanges);
    setCacheMode(DeviceCoordinateCache);
    setCursor(Qt::PointingHandCursor);
    setZValue(2);
    setMin(min);
    setMax(max);
}

double SliderThumb::pixel(double value) const
{
    return MultiSlider::pixelOf(value, rangeMin, rangeMax);
}

void SliderThumb::setPosition(double value)
{
    if (!std::isnan(value))
        setPos(0, pixel(value));
}

double SliderThumb::getPosition() const
{
    return MultiSlider::valueOf(pos().y(), rangeMin, rangeMax);
}

void SliderThumb::setMin(double value)
{
    if (getPosition() < value)
        setPosition(value);
    minPixel = truncateToInt(pixel(value));
}

void SliderThumb::setMax(double value)
{
    if (getPosition() > value)
        setPosition(value);
    maxPixel = truncateToInt(pixel(value));
}

double SliderThumb::getMin() const
{
    return rangeMin + ((rangeMax - rangeMin) * -minPixel) / MultiSlider::trackLength;
}

double SliderThumb::getMax() const
{
    return rangeMin + ((rangeMax - rangeMin) * -maxPixel) / MultiSlider::trackLength;
}

bool SliderThumb::isHeld() const
{
    return scene() && scene()->mouseGrabberItem() == this;
}

void SliderThumb::addThumbLine(SliderThumbLine* line)
{
    lines << line;
    line->adjust();
}

QRectF SliderThumb::boundingRect() const
{
    return QRectF(-21, -6, 42, 12);
}

QPainterPath SliderThumb::shape() const
{
    QPainterPath path;
    path.addRect(-10, -5, 20, 10);
    return path;
}

void SliderThumb::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget*)
{
    QRadialGradient gradient(-3, -3, 10);
    if (option->state & QStyle::State_Sunken) {
        gradient.setCenter(3, 3);
        gradient.setFocalPoint(3, 3);
        gradient.setColorAt(0, QColor(Qt::darkRed).lighter(120));
        gradient.setColorAt(1, QColor(Qt::red).lighter(120));
    } else {
        gradient.setColorAt(0, Qt::red);
        gradient.setColorAt(1, Qt::darkRed);
    }
    painter->setBrush(gradient);
    painter->setPen(QPen(Qt::black, 0, Qt::SolidLine));
    painter->drawRect(QRectF(-10, -5, 20, 10));
}

QVariant SliderThumb::itemChange(GraphicsItemChange change, const QVariant& value)
{
    if (change == ItemPositionChange) {
        double y = value.toPointF().y();
        if (y > minPixel)
            y = minPixel;
        else if (y < maxPixel)
            y = maxPixel;
        return QPointF(0, y);
    }
    if (change == ItemPositionHasChanged) {
        for (SliderThumbLine* line : qAsConst(lines))
            line->adjust();
        emit positionChanged();
    }
    return QGraphicsItem::itemChange(change, value);
}

void SliderThumb::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    pressed = true;
    dragReturn.press(event);
    emit clicked();
    update();
    QGraphicsItem::mousePressEvent(event);
}

void SliderThumb::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    pressed = false;
    dragReturn.release(event, false, true);
    emit released();
    update();
    QGraphicsItem::mouseReleaseEvent(event);
}

bool SliderThumb::sceneEvent(QEvent* event)
{
    if (event->type() == QEvent::UngrabMouse && pressed) {
        pressed = false;
        dragReturn.abandon();
        emit released();
        update();
    }
    return QGraphicsItem::sceneEvent(event);
}
