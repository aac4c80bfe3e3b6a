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
    GraphBinding::tellMovesOnRelease(device, node1, this);
    GraphBinding::tellMovesOnRelease(device, node2, this);
}

void BrakingGraph::updateNode1Value()
{
    GraphBinding::placeX(node1, GraphBinding::value(device, brakeStartAddress));
}

void BrakingGraph::updateNode2Value()
{
    GraphBinding::placeX(node2, GraphBinding::value(device, brakeMaxAddress));
}

void BrakingGraph::updateNode1Param()
{
    GraphBinding::writeDragged(device, node1, GraphBinding::value(device, brakeStartAddress),
                               brakeStartAddress, node1->getX());
}

void BrakingGraph::updateNode2Param()
{
    GraphBinding::writeDragged(device, node2, GraphBinding::value(device, brakeMaxAddress),
                               brakeMaxAddress, node2->getX());
}
