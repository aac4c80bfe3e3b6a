#include "draggablegraphaxes.h"

#include "draggablegraph.h"
#include "scenetext.h"

#include <QFont>
#include <QPainter>
#include <QTransform>

DraggableGraphAxes::DraggableGraphAxes(DraggableGraph* graph, int domain, int range, QString xTitle,
                                       int xTitleOffset, QString yTitle, int yTitleOffset,
                                       int plotWidth, int plotHeight, int margin, int viewHeight,
                                       int xTicks, int yTicks, QString tickFontFamily,
                                       QString titleFontFamily)
    : graph(graph)
    , domain(domain)
    , range(range)
    , xTitle(xTitle)
    , xTitleOffset(xTitleOffset)
    , yTitle(yTitle)
    , yTitleOffset(yTitleOffset)
    , tickFontFamily(tickFontFamily)
    , titleFontFamily(titleFontFamily)
    , plotWidth(plotWidth)
    , plotHeight(plotHeight)
    , margin(margin)
    , viewHeight(viewHeight)
    , xTicks(xTicks)
    , yTicks(yTicks)
{
    setZValue(0);
}

QRectF DraggableGraphAxes::boundingRect() const
{
    // At least the scene, also before the widget has been laid out.
    const int width = qMax(graph->width(), plotWidth + 2 * margin);
    const int height = qMax(graph->height(), viewHeight);
    return QRectF(-margin, margin - viewHeight, width, height).normalized().adjusted(-1, -1, 1, 1);
}

bool DraggableGraphAxes::wholeYStep() const
{
    return float(range) / float(yTicks) == float(range / yTicks);
}

QString DraggableGraphAxes::yTickLabel(int i) const
{
    const float value = float(range) * float(i) / float(yTicks);
    if (wholeYStep())
        return QString::number(value, 'g', 6);
    return QString::asprintf("%0.1f", value);
}

QString DraggableGraphAxes::xTickLabel(int j) const
{
    return QString::number(float(domain) * float(j) / float(xTicks), 'g', 6);
}

void DraggableGraphAxes::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    paintTitles(painter);
    paintGrid(painter);
}

QFont DraggableGraphAxes::titleFont(const QPaintDevice* device) const
{
    return SceneText::font(titleFontFamily, 12, device);
}

QFont DraggableGraphAxes::tickFont(const QPaintDevice* device) const
{
    return SceneText::font(tickFontFamily, 11, device);
}

QRectF DraggableGraphAxes::xTitleRect() const
{
    return QRectF(0, xTitleOffset + 5, plotWidth, margin);
}

QRectF DraggableGraphAxes::yTitleRect() const
{
    return QRectF(0, -50 - yTitleOffset, plotHeight, margin);
}

QPointF DraggableGraphAxes::yTickAt(int i) const
{
    const int y = (-plotHeight * i) / yTicks;
    const int size = yTickLabel(i).size();
    return QPointF(wholeYStep() ? -9 * size : 10 - 10 * size, y + 5);
}

QPointF DraggableGraphAxes::xTickAt(int j) const
{
    const int x = (plotWidth * j) / xTicks;
    return QPointF(x - 5 * xTickLabel(j).size(), 15);
}

QList<QRectF> DraggableGraphAxes::textRects(const QPaintDevice* device) const
{
    const QFont titles = titleFont(device);
    QList<QRectF> rects{SceneText::inkIn(titles, device, xTitleRect(), Qt::AlignCenter, xTitle),
                        QTransform().rotate(270).mapRect(SceneText::inkIn(
                            titles, device, yTitleRect(), Qt::AlignCenter, yTitle))};
    const QFont ticks = tickFont(device);
    for (int i = 1; i <= yTicks; ++i)
        rects << SceneText::inkAt(ticks, device, yTickAt(i), yTickLabel(i));
    for (int j = 1; j <= xTicks; ++j)
        rects << SceneText::inkAt(ticks, device, xTickAt(j), xTickLabel(j));
    return rects;
}

void DraggableGraphAxes::paintTitles(QPainter* painter) const
{
    painter->setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter->setFont(titleFont(painter->device()));
    painter->drawLine(0, 0, plotWidth, 0);
    painter->drawText(xTitleRect(), Qt::AlignCenter, xTitle);
    painter->drawLine(0, 0, 0, -plotHeight);
    // Rotated to read upwards along the y axis.
    painter->rotate(270);
    painter->drawText(yTitleRect(), Qt::AlignCenter, yTitle);
    painter->rotate(-270);
}

void DraggableGraphAxes::paintGrid(QPainter* painter) const
{
    painter->setPen(QPen(Qt::black, 0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter->setFont(tickFont(painter->device()));
    for (int i = 1; i <= yTicks; ++i) {
        const int y = (-plotHeight * i) / yTicks;
        painter->drawLine(0, y, plotWidth, y);
        painter->drawText(yTickAt(i), yTickLabel(i));
    }
    for (int j = 1; j <= xTicks; ++j) {
        const int x = (plotWidth * j) / xTicks;
        painter->drawLine(x, 0, x, -plotHeight);
        painter->drawText(xTickAt(j), xTickLabel(j));
    }
}
