#ifndef TEMPERATUREFEEDBACKGRAPH_H
#define TEMPERATUREFEEDBACKGRAPH_H

#include "draggablegraph.h"

class DraggableGraphNode;
class DraggableGraphSpinbox;
class Kelvara;

// The motor temperature sensor's voltage map: the voltages expected at 0,
// 25, 50, 75, 100 and 125 degrees Celsius (registers 93 to 98) as six fixed
// points joined by a line. It only shows them, a voltage beyond the plot at
// its edge; each point follows its register whenever a value is stored into
// it, and nothing is written back.
class TemperatureFeedbackGraph : public DraggableGraph
{
    Q_OBJECT

public:
    static constexpr int pointCount = 6;

    explicit TemperatureFeedbackGraph(QWidget* parent);

    void initialize(Kelvara* device);
    // The six number boxes above the points; hidden, filled by the graph.
    void setSpinboxesReadOnly(bool readOnly);

public slots:
    void node0ParamChanged();
    void node1ParamChanged();
    void node2ParamChanged();
    void node3ParamChanged();
    void node4ParamChanged();
    void node5ParamChanged();

private:
    void followRegister(int index);

    Kelvara* device = nullptr;
    DraggableGraphNode* nodes[pointCount] = {};
    DraggableGraphSpinbox* spinboxes[pointCount] = {};
};

#endif // TEMPERATUREFEEDBACKGRAPH_H
