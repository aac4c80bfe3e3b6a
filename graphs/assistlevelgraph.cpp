#include "assistlevelgraph.h"

AssistLevelGraph::AssistLevelGraph(QWidget* parent)
    : QGraphicsView(parent)
{
    setMinimumSize(420, 250);
}
