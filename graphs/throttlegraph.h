#ifndef THROTTLEGRAPH_H
#define THROTTLEGRAPH_H

#include "draggablegraph.h"

#include <functional>

class DraggableGraphNode;
class DraggableGraphShading;
class Kelvara;

// The throttle and brake input map: input voltage (0 to 5 V) across, output
// (0 to 100 %) up. Six green nodes show the throttle curve from its start
// (register 214) with the dead band (151) to its maximum (213), with the
// fault thresholds (152) beyond both ends; two red nodes show the brake
// ramp from its start (216) to its maximum (215). Dragging a node writes
// its registers, a changed register moves its nodes.
class ThrottleGraph : public DraggableGraph
{
    Q_OBJECT

public:
    explicit ThrottleGraph(QWidget* parent);

    // Builds the nodes and bands and binds them to the registers; once.
    void initialize(Kelvara* device);
    void setThrottleNodeBounds();

public slots:
    void node0ParamChanged();
    void node0Moved();
    void node1ParamChanged();
    void node1Moved();
    void node2ParamChanged();
    void node2Moved();
    void node3ParamChanged();
    void node3Moved();
    void node4ParamChanged();
    void node4Moved();
    void node5ParamChanged();
    void node5Moved();
    void startDraggingThrottleV();
    void stopDraggingThrottleV();
    void updateBrakingNode1Value();
    void updateBrakingNode2Value();
    void updateBrakingNode1Param();
    void updateBrakingNode2Param();
    void sanitizeBrakingValues();
    void startDraggingBrakeV();
    void stopDraggingBrakeV();
    void updateFaultShading();
    void updateActiveShading();
    void updateBrakingShading();

private:
    double startVoltage() const;
    double maxVoltage() const;
    double deadband() const;
    double faultRange() const;
    // Derived nodes placed after a primary node moved.
    void placeNodes0And2();
    void placeNodes3And5();
    bool userDrags(DraggableGraphNode* node) const;
    bool followRegister(DraggableGraphNode* node, double v, int address,
                        const std::function<double()>& shown, bool* writingBack);
    void writeDragged(DraggableGraphNode* node, double v, int address, double value);
    void pairBrakeNodes();
    void showReadValues();
    void createNodes();
    void createBands();
    void connectSlots();

    Kelvara* device = nullptr;
    DraggableGraphNode* node0 = nullptr;
    DraggableGraphNode* node1 = nullptr;
    DraggableGraphNode* node2 = nullptr;
    DraggableGraphNode* node3 = nullptr;
    DraggableGraphNode* node4 = nullptr;
    DraggableGraphNode* node5 = nullptr;
    DraggableGraphNode* brakeNode1 = nullptr;
    DraggableGraphNode* brakeNode2 = nullptr;
    DraggableGraphShading* upperFaultShading = nullptr;
    DraggableGraphShading* lowerFaultShading = nullptr;
    DraggableGraphShading* throttleActiveShading = nullptr;
    DraggableGraphShading* brakeActiveShading = nullptr;
    DraggableGraphShading* fullBrakeShading = nullptr;
    double minThrottleGap = 0.2;
    double minBrakeGap = 0.2;
    bool draggingThrottle = false;
    bool draggingBrake = false;

    // Re-entry guards: a slot that writes back the register it follows is
    // not run again meanwhile.
    bool writingBackStart = false;
    bool writingBackDeadbandLow = false;
    bool writingBackDeadbandHigh = false;
    bool writingBackMax = false;
    bool writingBackFault = false;
    bool writingBackBrakeStart = false;
    bool writingBackBrakeMax = false;
};

// Restores at least gap between two nodes by moving the upper one up, or,
// where its right bound stops it, both down from that bound.
void sanitizeNodePair(DraggableGraphNode* lower, DraggableGraphNode* upper, double gap);

#endif // THROTTLEGRAPH_H
