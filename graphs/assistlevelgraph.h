#ifndef ASSISTLEVELGRAPH_H
#define ASSISTLEVELGRAPH_H

#include "draggablegraph.h"

#include <QVector>

class DraggableGraphAxes;
class DraggableGraphEdge;
class DraggableGraphNode;
class Kelvara;

// The pedal-assist power map: assist power (W) against pedal cadence (RPM),
// one line per assist level. Line k rises from a share (Pedal Speed Map
// Offset, register 175) of its level power Pk at zero cadence to Pk at the
// Pedal Speed Map End (176), then stays flat. P1 and P5 are Assist Level 1
// and 2 (219, 245) times the Max Power Limit (73), P9 the Maximum Power in
// PAS Mode (122); the levels between are interpolated. Dragging the knees of
// lines 1, 5 and 9, or the start of line 9, writes those registers.
//
// A torque-sensor mode exists (changePedalAssistType(false)); its nodes
// cannot be dragged.
class AssistLevelGraph : public DraggableGraph
{
    Q_OBJECT

public:
    static constexpr int levelCount = 9;

    explicit AssistLevelGraph(QWidget* parent);

    void initialize(Kelvara* device);
    void createNodes(bool cadence);
    void refreshNodes(bool cadence);
    void changePedalAssistType(bool cadence);
    double getKneePointThrottle() const;

public slots:
    void recalculateRPM(int value);
    // "3", "4", "5" or "9" shows that many lines; other texts only store the number.
    void changeNumAssistLevels(QString numLevelsString);
    void updateNodesX();
    void updateNodesY();
    void node0XChanged();
    void node1XChanged();
    void node1YChanged();
    void node5XChanged();
    void node5YChanged();
    void node9XChanged();
    void node9YChanged();
    void node10XChanged();
    void node10YChanged();
    void node14XChanged();
    void node14YChanged();
    void node18XChanged();
    void node18YChanged();
    void node27YChanged();

private:
    double registerValue(int address) const;
    // P1 to P9 at indices 1 to 9.
    QVector<double> levelPowers() const;
    void createCadenceNodes(const QVector<double>& power);
    void createTorqueNodes(const QVector<double>& power);
    // A left base of -1: every line starts at node 0 (torque mode).
    void createLines(int leftBase);
    void recolourLine(int line, const QColor& color);
    DraggableGraphNode* makeNode(double x, double y, bool xFixed, bool yFixed, bool visible);
    // Writes only what the user drags: a node placed from the registers
    // (within its bounds) writes nothing.
    void writeX(DraggableGraphNode* node, double placedX, int address, double value);
    void writeY(DraggableGraphNode* node, double placedY, int address, double value);
    void writeKneeX(int k);
    void writeLevelShare(DraggableGraphNode* node, int level, int address);
    void writeThrottleMax(int k);

    Kelvara* device = nullptr;
    int rpm = 0;
    DraggableGraphAxes* axes = nullptr;
    DraggableGraphNode* node[28] = {};
    DraggableGraphEdge* leftEdge[levelCount] = {};
    DraggableGraphEdge* rightEdge[levelCount] = {};
    bool cadenceMode = true;
    int numAssistLevels = 5;
};

#endif // ASSISTLEVELGRAPH_H
