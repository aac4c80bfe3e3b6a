#ifndef THROTTLEGRAPH_H
#define THROTTLEGRAPH_H

#include "draggablegraph.h"

class DraggableGraphNode;
class DraggableGraphShading;
class Kelvara;

// The throttle and brake input map: input voltage (0 to 5 V) across, output
// (0 to 100 %) up. Six green nodes show the throttle curve from its start
// (register 214) with the dead band (151) to its maximum (213), with the
// fault thresholds (152) beyond both ends; two red nodes show the brake
// ramp from its start (216) to its maximum (215).
//
// The nodes show the registers, a node that its neighbours or the plot
// bound at that bound; only a dragged node writes, and only its own
// register. The rules (the start at least twice the dead band and 0.2 V
// below the maximum, the brake nodes 0.2 V apart) hold back a value the user
// sets, and the brake gap pushes the other brake value, which is told as
// moved; they leave the controller's own values as they are. The device
// model settles them as it works out the page's values; before the first
// read the graph applies them to each edit.
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
    double throttleGap() const;
    double throttleGap(double deadband) const;
    // The orders of the throttle and of the brake: how far the values fall
    // short of each. The device model keeps them too.
    double throttleShortfall(double start, double max, double deadband) const;
    double brakeShortfall(double start, double max) const;
    // The least maximum the start and the dead band leave the throttle, on
    // the register's step, and the most start the maximum leaves it.
    double leastMax(double start, double deadband) const;
    double mostStart(double max, double deadband) const;
    bool brakesApart(double start, double max) const;
    // The value of the whole pixel at or left of x (right of it with up).
    double onWholePixel(double x, bool up = false) const;
    bool dragging() const;
    bool isRuledEdit() const;
    void placeThrottleNodes();
    void holdStart();
    void holdMax();
    void holdDeadband();
    void keepBrakeGap(int changed);
    void pairBrakes(int changed);
    // The device model settles the orders: the register was set.
    void settleThrottle(int changed);
    void settleBrakes(int changed);
    void createNodes();
    void createBands();
    void connectSlots();
    // The device model keeps the throttle's and the brake's order as it
    // works out the page's values.
    void keepOrders();

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
    // A brake drag wrote its register; the gap is kept on its release.
    bool brakeDragWrote = false;
    // The register of the throttle node the user holds; -1 when none.
    int draggedRegister = -1;
    bool pairingBrakes = false;
    // A rule holds a value back: the value it writes is not ruled again.
    bool holding = false;
};

#endif // THROTTLEGRAPH_H
