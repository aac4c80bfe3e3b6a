#include "draggablegraphshading.h"

#include "draggablegraph.h"
#include "numericconversion.h"
#include "scenetext.h"

#include <QFont>
#include <QPainter>

DraggableGraphShading::DraggableGraphShading(double xStart, double yStart, double xEnd, double yEnd,
                                             QColor color, QString label, double labelStart,
                                             double labelEnd, int domain, int range, int plotWidth,
                                             int plotHeight, int labelBand)
    : DraggableGraphRect(domain, range, plotWidth, plotHeight)
    , labelBand(labelBand)
    , color(color)
    , label(label)
    , labelFontFamily(
          DraggableGraph::registeredFamily(QStringLiteral(":/fonts/LiberationMono-Regular.ttf")))
    , labelStartPixel(truncateToInt(plotWidth * labelStart / domain))
    , labelEndPixel(truncateToInt(plotWidth * labelEnd / domain))
{
    setZValue(1);
    setXStart(xStart);
    setYStart(yStart);
    setXEnd(xEnd);
    setYEnd(yEnd);
}

void DraggableGraphShading::setColor(QColor newColor)
{
    color = newColor;
    update();
}

double DraggableGraphShading::getXStart() const
{
    return double((domain * xStartPixel) / plotWidth);
}

double DraggableGraphShading::getXEnd() const
{
    return double((domain * xEndPixel) / plotWidth);
}

QRectF DraggableGraphShading::labelRect() const
{
    return QRectF(labelStartPixel, -10 - plotHeight - labelBand, labelEndPixel - labelStartPixel,
                  labelBand - 10);
}

QFont DraggableGraphShading::labelFont(const QPaintDevice* device) const
{
    return SceneText::font(labelFontFamily, 10, device);
}

QList<QRectF> DraggableGraphShading::textRects(const QPaintDevice* device) const
{
    if (label.isEmpty())
        return {};
    return {SceneText::inkIn(labelFont(device), device, labelRect(), Qt::AlignCenter, label)};
}

QRectF DraggableGraphShading::boundingRect() const
{
    const QRectF band(0, -(plotHeight + labelBand), plotWidth,
                      plotHeight + labelBand + yStartPixel);
    // A label slot may reach left of the y axis.
    return band.united(labelRect().normalized());
}

void DraggableGraphShading::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    // The brake band runs right to left when its ramp falls.
    painter->fillRect(
        QRectF(xStartPixel, yEndPixel, xEndPixel - xStartPixel, yStartPixel - yEndPixel)
            .normalized(),
        color);
    painter->setFont(labelFont(painter->device()));
    painter->setPen(Qt::black);
    // Not clipped: a narrow label band (the sensorless map's) would cut the text.
    painter->drawText(labelRect(), Qt::AlignCenter | Qt::TextDontClip, label);
    if (label.isEmpty())
        return;
    const int labelMiddle = (labelStartPixel + labelEndPixel) / 2;
    const int bandMiddle = (xStartPixel + xEndPixel) / 2;
    painter->drawLine(labelMiddle, -plotHeight - 15, labelMiddle, -plotHeight - 10);
    painter->drawLine(bandMiddle, -plotHeight - 5, bandMiddle, -plotHeight);
    painter->drawLine(labelMiddle, -plotHeight - 10, bandMiddle, -plotHeight - 5);
}
