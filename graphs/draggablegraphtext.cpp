#include "draggablegraphtext.h"

#include "draggablegraph.h"

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

void DraggableGraphText::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    QFont font(
        DraggableGraph::registeredFamily(QStringLiteral(":/fonts/LiberationMono-Regular.ttf")), 14);
    // 99, the heaviest: QFont::Black is only 87.
    font.setWeight(99);
    painter->setFont(font);
    painter->setPen(Qt::black);
    painter->drawText(boundingRect(), flags, text);
}
