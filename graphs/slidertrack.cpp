#include "slidertrack.h"

#include "multislider.h"

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
    painter->setFont(QFont(QStringLiteral("Liberation Mono"), 10, 75, false));
    const QString top = topLabel();
    const QString bottom = bottomLabel();
    painter->drawText(QPointF(-4 * top.size(), -205), top);
    painter->drawText(QPointF(-4 * bottom.size(), 15), bottom);
}
