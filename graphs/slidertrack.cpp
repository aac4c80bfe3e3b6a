#include "slidertrack.h"

#include "multislider.h"
#include "scenetext.h"

#include <QFont>
#include <QPainter>

SliderTrack::SliderTrack(MultiSlider* slider, int rangeMin, int rangeMax, QString units)
    : slider(slider)
    , rangeMin(rangeMin)
    , rangeMax(rangeMax)
    , units(units)
{
    setZValue(0);
    setAcceptedMouseButtons(Qt::NoButton);
}

QRectF SliderTrack::boundingRect() const
{
    return QRectF(-30, -220, 60, 240);
}

void SliderTrack::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    painter->setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter->drawLine(0, 0, 0, -MultiSlider::trackLength);
    painter->setPen(QPen(Qt::black, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (int k = 1; k <= 9; ++k)
        painter->drawLine(-5, -20 * k, 5, -20 * k);
    painter->setFont(labelFont(painter->device()));
    painter->drawText(topLabelAt(), topLabel());
    painter->drawText(bottomLabelAt(), bottomLabel());
}

QFont SliderTrack::labelFont(const QPaintDevice* device)
{
    return SceneText::font(QStringLiteral("Liberation Mono"), 10, device, 75);
}

QPointF SliderTrack::topLabelAt() const
{
    return QPointF(-4 * topLabel().size(), -205);
}

QPointF SliderTrack::bottomLabelAt() const
{
    return QPointF(-4 * bottomLabel().size(), 15);
}

QList<QRectF> SliderTrack::textRects(const QPaintDevice* device) const
{
    const QFont font = labelFont(device);
    return {SceneText::inkAt(font, device, topLabelAt(), topLabel()),
            SceneText::inkAt(font, device, bottomLabelAt(), bottomLabel())};
}
