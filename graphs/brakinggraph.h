#ifndef BRAKINGGRAPH_H
#define BRAKINGGRAPH_H

#include "draggablegraph.h"

class DraggableGraphNode;
class Kelvara;

// The analog brake input ramp alone: two red nodes on a 0 to 5 V by 0 to
// 100 % plot, bound to Brake Start Voltage (216) and Brake Max Voltage (215).
// The nodes may cross; no gap is kept. The nodes show the registers, a
// value beyond the plot at its edge; only a dragged node writes its
// register. The suite builds it but does not
// use it: no form or code creates one (ThrottleGraph edits the same ramp).
class BrakingGraph : public DraggableGraph
{
    Q_OBJECT

public:
    explicit BrakingGraph(QWidget* parent);

    void initialize(Kelvara* device);

public slots:
    void updateNode1Value();
    void updateNode1Param();
    void updateNode2Value();
    void updateNode2Param();

private:
    Kelvara* device = nullptr;
    DraggableGraphNode* node1 = nullptr;
    DraggableGraphNode* node2 = nullptr;
};

#endif // BRAKINGGRAPH_H
