#ifndef SENSORLESSSTARTINGGRAPH_H
#define SENSORLESSSTARTINGGRAPH_H

#include "draggablegraph.h"

class DraggableGraphNode;
class DraggableGraphShading;
class Kelvara;

// The sensorless start profile: time (s) across, motor speed (RPM) up.
// Node 1 ends the alignment (Alignment Hold Time, register 110, ms); node 2
// ends the open-loop ramp, the Autostart Spinup Time (109, ms) after node 1,
// at the Autostart Max RPM (108). Bands name the three phases. The nodes
// show the registers; only a dragged node writes them.
class SensorlessStartingGraph : public DraggableGraph
{
    Q_OBJECT

public:
    explicit SensorlessStartingGraph(QWidget* parent);

    void initialize(Kelvara* device);

public slots:
    void node1ParamChanged();
    void node1Moved();
    void node2XParamChanged();
    void node2XMoved();
    void node2YParamChanged();
    void node2YMoved();
    void startDraggingHoldTime();
    void stopDraggingHoldTime();
    void updateNode2MinX();
    void updateLeftRedShading();
    void updateAutostartRegenShading();
    void updateClosedLoopShading();

private:
    double holdTime() const;
    double spinupTime() const;
    double maxRpm() const;
    // Node 2 travels with node 1: the spin-up time stays.
    void placeNode2();
    void createBands();
    void connectSlots();

    Kelvara* device = nullptr;
    DraggableGraphNode* node0 = nullptr;
    DraggableGraphNode* node1 = nullptr;
    DraggableGraphNode* node2 = nullptr;
    DraggableGraphShading* alignmentShading = nullptr;
    DraggableGraphShading* autostartShading = nullptr;
    DraggableGraphShading* closedLoopShading = nullptr;
    bool draggingHoldTime = false;
};

#endif // SENSORLESSSTARTINGGRAPH_H
