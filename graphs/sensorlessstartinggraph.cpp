#include "sensorlessstartinggraph.h"

SensorlessStartingGraph::SensorlessStartingGraph(QWidget* parent)
    : QGraphicsView(parent)
{
    setMinimumSize(460, 250);
}
