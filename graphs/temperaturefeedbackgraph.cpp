#include "temperaturefeedbackgraph.h"

TemperatureFeedbackGraph::TemperatureFeedbackGraph(QWidget* parent)
    : QGraphicsView(parent)
{
    setMinimumSize(460, 200);
}
