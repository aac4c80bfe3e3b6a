#include "draggablegraphtext.h"

#include "draggablegraph.h"
#include "scenetext.h"

#include <QFont>
#include <QPainter>

DraggableGraphText::DraggableGraphText(double xStart, double yStart, double xEnd, double yEnd,
                                       QString text, Qt::Alignment flags, int domain, int range,
                                       int plotWidth, int plotHeight)
    : DraggableGraphRect(domain, range, plotWidth, plotHeight)
    , text(text)
    , flags(int(flags))
{
    setZValue(3);
    setXStart(xStart);
    setYStart(yStart);
    setXEnd(xEnd);
    setYEnd(yEnd);
}

void DraggableGraphText::xStartSet(double value)
{
    setX(plotWidth * value / domain);
}

void DraggableGraphText::yEndSet(double value)
{
    setY(-(plotHeight * value) / range);
}

QRectF DraggableGraphText::boundingRect() const
{
    const int width = xEndPixel - xStartPixel;
    const int height = yStartPixel - yEndPixel;
    if (width > 0)
        return QRectF(-60, 0, 120 + width, height);
    return QRectF(width - 60, 0, 120 - width, height);
}

QFont DraggableGraphText::textFont(const QPaintDevice* device)
{
    // 99, the heaviest: QFont::Black is only 87.
    return SceneText::font(
        DraggableGraph::registeredFamily(QStringLiteral(":/fonts/LiberationMono-Regular.ttf")), 14,
        device, 99);
}

QList<QRectF> DraggableGraphText::textRects(const QPaintDevice* device) const
{
    return {SceneText::inkIn(textFont(device), device, boundingRect(), flags, text)};
}

void DraggableGraphText::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    painter->setFont(textFont(painter->device()));
    painter->setPen(Qt::black);
    painter->drawText(boundingRect(), flags, text);
}
