#ifndef DRAGGABLEGRAPHRECT_H
#define DRAGGABLEGRAPHRECT_H

#include <QGraphicsItem>

// The base of a graph's value-rectangle items (shadings, texts): the four
// edges in whole scene pixels. An edge set to a value outside its axis is
// ignored and keeps its pixel.
class DraggableGraphRect : public QGraphicsItem
{
public:
    void setXStart(double value);
    void setYStart(double value);
    void setXEnd(double value);
    void setYEnd(double value);

protected:
    DraggableGraphRect(int domain, int range, int plotWidth, int plotHeight);

    // After the left or the top edge moved, with its value.
    virtual void xStartSet(double) {}
    virtual void yEndSet(double) {}

    int xStartPixel = 0;
    int yStartPixel = 0;
    int xEndPixel = 0;
    int yEndPixel = 0;
    int domain;
    int range;
    int plotWidth;
    int plotHeight;

private:
    bool storeX(double value, int* pixel);
    bool storeY(double value, int* pixel);
};

#endif // DRAGGABLEGRAPHRECT_H
