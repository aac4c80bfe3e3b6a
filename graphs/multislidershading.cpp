#include "multislidershading.h"

#include "multislider.h"
#include "numericconversion.h"

#include <QPainter>

MultiSliderShading::MultiSliderShading(double start, double end, QColor color, int min, int max)
    : rangeMin(min)
    , rangeMax(max)
    , color(color)
{
    setZValue(1);
    setStart(start);
    setEnd(end);
    setAcceptedMouseButtons(Qt::NoButton);
}

void MultiSliderShading::setStart(double value)
{
    prepareGeometryChange();
    if (inRange(value))
        startPixel = truncateToInt(MultiSlider::pixelOf(value, rangeMin, rangeMax));
}

void MultiSliderShading::setEnd(double value)
{
    prepareGeometryChange();
    if (!inRange(value))
        return;
    const double pixel = MultiSlider::pixelOf(value, rangeMin, rangeMax);
    endPixel = truncateToInt(pixel);
    setY(pixel);
}

void MultiSliderShading::setColor(QColor newColor)
{
    color = newColor;
    update();
}

QRectF MultiSliderShading::boundingRect() const
{
    // The slider's scene, in the item's own coordinates (the item sits at
    // the band's high edge).
    return QRectF(-30, -220, 60, 240).translated(0, -y());
}

void MultiSliderShading::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    painter->fillRect(QRect(-10, 0, 20, startPixel - endPixel), color);
}
