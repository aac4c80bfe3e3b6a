#include "draggablegraphtext.h"

#include "draggablegraph.h"
#include "numericconversion.h"

#include <QFont>
#include <QPainter>

DraggableGraphText::DraggableGraphText(double xStart, double yStart, double xEnd, double yEnd,
                                       QString text, Qt::Alignment flags, int domain, int range,
                                       int plotWidth, int plotHeight)
    : domain(domain)
    , range(range)
    , plotWidth(plotWidth)
    , plotHeight(plotHeight)
    , text(text)
    , flags(int(flags))
{
    setZValue(3);
    setAcceptedMouseButtons(Qt::NoButton);
    setXStart(xStart);
    setYStart(yStart);
    setXEnd(xEnd);
    setYEnd(yEnd);
}

bool DraggableGraphText::storeX(double value, int* pixel)
{
    prepareGeometryChange();
    return DraggableGraph::xPixelOnAxis(value, domain, plotWidth, pixel);
}

bool DraggableGraphText::storeY(double value, int* pixel)
{
    prepareGeometryChange();
    return DraggableGraph::yPixelOnAxis(value, range, plotHeight, pixel);
}

void DraggableGraphText::setXStart(double value)
{
    if (storeX(value, &xStartPixel))
        setX(plotWidth * value / domain);
}

void DraggableGraphText::setYStart(double value)
{
    storeY(value, &yStartPixel);
}

void DraggableGraphText::setXEnd(double value)
{
    storeX(value, &xEndPixel);
}

void DraggableGraphText::setYEnd(double value)
{
    if (storeY(value, &yEndPixel))
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

void DraggableGraphText::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    QFont font(DraggableGraph::registeredFamily(QStringLiteral(":/fonts/LiberationMono-Regular.ttf")), 14);
    font.setWeight(QFont::Black);
    painter->setFont(font);
    painter->setPen(Qt::black);
    painter->drawText(boundingRect(), flags, text);
}
