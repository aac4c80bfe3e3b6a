#ifndef DRAGGABLEGRAPHEDGE_H
#define DRAGGABLEGRAPHEDGE_H

#include <QColor>
#include <QGraphicsItem>

class DraggableGraphNode;

// A thick line between two nodes that follows them. Its ends stop 6 pixels
// short of a visible node's centre, so the node's marker stays clear.
class DraggableGraphEdge : public QGraphicsItem
{
public:
    // Attaches itself to both nodes.
    DraggableGraphEdge(DraggableGraphNode* source, DraggableGraphNode* dest, QColor color, int z);
    // Detaches itself from the nodes that still exist.
    ~DraggableGraphEdge() override;

    void adjust();
    // The node is going away: the edge keeps no pointer to it.
    void forgetNode(DraggableGraphNode* node);
    void setColor(const QColor& newColor);
    QColor getColor() const { return color; }
    DraggableGraphNode* sourceNode() const { return source; }
    DraggableGraphNode* destNode() const { return dest; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    DraggableGraphNode* source;
    DraggableGraphNode* dest;
    QPointF sourcePoint;
    QPointF destPoint;
    QColor color;
};

#endif // DRAGGABLEGRAPHEDGE_H
