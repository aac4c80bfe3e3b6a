#ifndef DRAGRETURN_H
#define DRAGRETURN_H

#include <QPointF>

class QGraphicsSceneMouseEvent;

// Whether a drag of a node or thumb ended where it began: the mouse that
// holds it released within two pixels of the view from where it was
// pressed, on the axes the item moves along. A hand brings the mouse back
// near its start, seldom onto its very pixel, and each pixel off may be
// another value.
class DragReturn
{
public:
    void press(const QGraphicsSceneMouseEvent* event);
    void release(const QGraphicsSceneMouseEvent* event, bool alongX, bool alongY);
    // A grab taken away without a release.
    void abandon() { nearStart = false; }
    bool endedNearStart() const { return nearStart; }

private:
    QPointF mouseAtPress;
    bool nearStart = false;
};

#endif // DRAGRETURN_H
