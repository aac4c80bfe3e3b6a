#include "brakinggraph.h"

#include "draggablegraphnode.h"
#include "graphbinding.h"
#include "kelvara.h"
#include "parameter.h"

namespace {

const int brakeMaxAddress = 215;
const int brakeStartAddress = 216;

} // namespace

BrakingGraph::BrakingGraph(QWidget* parent)
    : DraggableGraph(parent, {400, 250, 40, 0}, tr("Analog Brake Map"))
{
}

void BrakingGraph::initialize(Kelvara* device)
{
    this->device = device;
    title = QStringLiteral("Analog Brake Map");
    setScale(5, 100, QString(), 0, QString(), 0, 10, 10);
    node1 = addNode(0, 0, Qt::red, Qt::darkRed, false, true, true, false);
    node2 = addNode(0, 100, Qt::red, Qt::darkRed, false, true, true, false);
    updateNode1Value();
    updateNode2Value();
    addEdge(node1, node2, Qt::darkRed, 3);

    connect(device->getParameter(brakeStartAddress), &Parameter::valueChanged, this,
            &BrakingGraph::updateNode1Value);
    connect(node1, &DraggableGraphNode::xChanged, this, &BrakingGraph::updateNode1Param);
    connect(device->getParameter(brakeMaxAddress), &Parameter::valueChanged, this,
            &BrakingGraph::updateNode2Value);
    connect(node2, &DraggableGraphNode::xChanged, this, &BrakingGraph::updateNode2Param);
}

void BrakingGraph::updateNode1Value()
{
    GraphBinding::followX(device, node1, brakeStartAddress, &writingBack1);
}

void BrakingGraph::updateNode2Value()
{
    GraphBinding::followX(device, node2, brakeMaxAddress, &writingBack2);
}

void BrakingGraph::updateNode1Param()
{
    GraphBinding::writeX(device, node1, brakeStartAddress);
}

void BrakingGraph::updateNode2Param()
{
    GraphBinding::writeX(device, node2, brakeMaxAddress);
}
