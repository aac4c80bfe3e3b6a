#ifndef DRAGGABLEGRAPHAXES_H
#define DRAGGABLEGRAPHAXES_H

#include "scenetextitem.h"

#include <QFont>
#include <QGraphicsItem>
#include <QString>

class DraggableGraph;
class QPaintDevice;

// The axis lines with their titles, the grid and the tick labels of a graph.
class DraggableGraphAxes : public QGraphicsItem, public SceneTextItem
{
public:
    DraggableGraphAxes(DraggableGraph* graph, int domain, int range, QString xTitle,
                       int xTitleOffset, QString yTitle, int yTitleOffset, int plotWidth,
                       int plotHeight, int margin, int viewHeight, int xTicks, int yTicks,
                       QString tickFontFamily, QString titleFontFamily);

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    // The label of the y grid line i (of 1..yTicks) and of the x grid line j.
    QString yTickLabel(int i) const;
    QString xTickLabel(int j) const;

    QList<QRectF> textRects(const QPaintDevice* device) const override;

private:
    // Whole-numbered y labels are printed without decimals.
    bool wholeYStep() const;
    void paintTitles(QPainter* painter) const;
    void paintGrid(QPainter* painter) const;
    QFont titleFont(const QPaintDevice* device) const;
    QFont tickFont(const QPaintDevice* device) const;
    // Where the titles are drawn; the y title's rectangle is in the
    // coordinates rotated by 270 degrees.
    QRectF xTitleRect() const;
    QRectF yTitleRect() const;
    // The baseline start of the tick labels.
    QPointF yTickAt(int i) const;
    QPointF xTickAt(int j) const;

    DraggableGraph* graph;
    int domain;
    int range;
    QString xTitle;
    int xTitleOffset;
    QString yTitle;
    int yTitleOffset;
    QString tickFontFamily;
    QString titleFontFamily;
    int plotWidth;
    int plotHeight;
    int margin;
    int viewHeight;
    int xTicks;
    int yTicks;
};

#endif // DRAGGABLEGRAPHAXES_H
