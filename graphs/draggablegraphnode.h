#ifndef DRAGGABLEGRAPHNODE_H
#define DRAGGABLEGRAPHNODE_H

#include <QColor>
#include "dragreturn.h"

#include <QGraphicsItem>
#include <QList>
#include <QObject>

class DraggableGraph;
class DraggableGraphEdge;

// A draggable point of a graph, positioned in the graph's values. Every move,
// by the mouse or by code, is confined to the node's bounds (whole pixels)
// and to its free axes, and is reported with xChanged() then yChanged().
//
// An invisible node is fixed on both axes, draws nothing and takes no mouse
// presses; code can still move it with setXPosition()/setYPosition().
class DraggableGraphNode : public QObject, public QGraphicsItem
{
    Q_OBJECT
    Q_INTERFACES(QGraphicsItem)

public:
    DraggableGraphNode(DraggableGraph* graph, double x, double y, bool xFixed, bool yFixed,
                       bool visible, int domain, int range, int plotWidth, int plotHeight,
                       bool diamond, QColor fillColor, QColor rimColor);
    // Edges that outlive the node forget it (the scene frees items in any order).
    ~DraggableGraphNode() override;

    // Moves through the bounds; a fixed axis keeps its coordinate.
    void setPosition(double x, double y);
    // Move along one axis through the bounds, also when the axis is fixed.
    // A value that is not a number leaves the node where it is.
    void setXPosition(double x);
    void setYPosition(double y);
    double getX() const;
    double getY() const;

    // A new bound first moves a node that lies beyond it, under the old
    // bounds, then is stored in whole pixels.
    void setXMin(double value);
    void setXMax(double value);
    void setYMin(double value);
    void setYMax(double value);
    double getXMin() const;
    double getXMax() const;
    double getYMin() const;
    double getYMax() const;
    // Both horizontal bounds at once, without moving the node: the next
    // move is checked against them. Kept in the whole pixels around the
    // values, so that a node at either value is not moved off it.
    void setXBounds(double min, double max);

    void setXFixed(bool fixed) { xFixed = fixed; }
    void setYFixed(bool fixed) { yFixed = fixed; }
    // Whether the node is drawn and can be grabbed (not Qt's visibility).
    bool isVisible() const { return visible; }
    // The mouse holds the node: the user is dragging it.
    bool isHeld() const;
    // The drag last released ended within a pixel of where it began.
    bool releasedNearStart() const { return dragReturn.endedNearStart(); }

    void addEdge(DraggableGraphEdge* edge);
    void removeEdge(DraggableGraphEdge* edge);
    QList<DraggableGraphEdge*> edges() const { return edgeList; }

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

signals:
    void xChanged();
    void yChanged();
    void clicked();
    void released();

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant& value) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    // A drag that ends without a release (the grab taken away) ends as one.
    bool sceneEvent(QEvent* event) override;

private:
    double pixelX(double value) const;
    double pixelY(double value) const;
    double valueX(double pixel) const;
    double valueY(double pixel) const;
    QPointF checkedMove(const QPointF& proposed) const;

    QList<DraggableGraphEdge*> edgeList;
    DraggableGraph* graph;
    bool xFixed;
    bool yFixed;
    bool visible;
    bool diamond;
    int xMaxPixel;
    int xMinPixel = 0;
    int yMaxPixel;
    int yMinPixel = 0;
    int domain;
    int range;
    int plotWidth;
    int plotHeight;
    QColor fillColor;
    QColor rimColor;
    bool pressed = false;
    DragReturn dragReturn;
};

#endif // DRAGGABLEGRAPHNODE_H
