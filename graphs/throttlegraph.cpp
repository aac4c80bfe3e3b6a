#include "throttlegraph.h"

ThrottleGraph::ThrottleGraph(QWidget* parent)
    : QGraphicsView(parent)
{
    setMinimumSize(400, 250);
}
