#ifndef DRAGGABLEGRAPHSPINBOX_H
#define DRAGGABLEGRAPHSPINBOX_H

#include <QDoubleSpinBox>
#include <QPoint>

// A read-only number box centred above an x value of a graph, in the band
// above the plot. It starts hidden; the graph that makes it fills it.
class DraggableGraphSpinbox : public QDoubleSpinBox
{
public:
    DraggableGraphSpinbox(double x, int width, int height, int domain, int range, int plotWidth,
                          int plotHeight, int labelBand);

    // Top-left corner in scene pixels.
    QPoint scenePosition() const { return position; }

private:
    QPoint position;
};

#endif // DRAGGABLEGRAPHSPINBOX_H
