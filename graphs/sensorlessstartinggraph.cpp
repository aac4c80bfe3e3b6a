#include "sensorlessstartinggraph.h"

#include "draggablegraphnode.h"
#include "draggablegraphshading.h"
#include "graphbinding.h"
#include "kelvara.h"
#include "parameter.h"

using GraphBinding::atValue;

namespace {

const int maxRpmAddress = 108;
const int spinupTimeAddress = 109;
const int holdTimeAddress = 110;

const double msPerSecond = 1000;
// Node 2 and node 1 may be dragged past the visible plot; only the
// registers' own limits stop them there.
const double unbounded = 1000000;

} // namespace

SensorlessStartingGraph::SensorlessStartingGraph(QWidget* parent)
    : DraggableGraph(parent, {460, 250, 40, 20}, tr("Sensorless Starting Map"))
{
}

double SensorlessStartingGraph::holdTime() const
{
    return GraphBinding::value(device, holdTimeAddress);
}

double SensorlessStartingGraph::spinupTime() const
{
    return GraphBinding::value(device, spinupTimeAddress);
}

double SensorlessStartingGraph::maxRpm() const
{
    return GraphBinding::value(device, maxRpmAddress);
}

void SensorlessStartingGraph::initialize(Kelvara* device)
{
    this->device = device;
    title = QStringLiteral("Sensorless Starting Map");
    setScale(2, 50, QStringLiteral("Seconds"), 0, QStringLiteral("RPM"), 0, 10, 10);
    node0 = addNode(0, 0, Qt::red, Qt::darkRed, true, true, false, false);
    node1 = addNode(0, 0, Qt::red, Qt::darkRed, false, true, true, false);
    node2 = addNode(0, 0, Qt::red, Qt::darkRed, false, false, true, false);
    addEdge(node0, node1, Qt::darkRed, 3);
    addEdge(node1, node2, Qt::darkRed, 3);

    // Beyond the plot only the registers' own limits stop a node; the
    // nodes show the registers from the start.
    node2->setYMax(unbounded);
    node2->setXMax(unbounded);
    node1->setXMax(unbounded);
    node1ParamChanged();
    node2YParamChanged();
    createBands();
    connectSlots();
}

void SensorlessStartingGraph::createBands()
{
    const double third = domain / 3.0;
    // Bands end at the plot's right edge, also for a node beyond it.
    const double end1 = qMin(node1->getX(), double(domain));
    const double end2 = qMin(node2->getX(), double(domain));
    alignmentShading =
        addShading(0, 0, end1, range, QColor(255, 0, 0, 70), QStringLiteral("Alignment"), 0, third);
    autostartShading = addShading(end1, 0, end2, range, QColor(0, 0, 255, 70),
                                  QStringLiteral("Autostart Ramp"), third, 2 * third);
    // Transparent: only the label and its leader lines show.
    closedLoopShading = addShading(end2, 0, domain, range, QColor(0, 0, 0, 0),
                                   QStringLiteral("Closed Loop"), 2 * third, domain);
}

void SensorlessStartingGraph::connectSlots()
{
    connect(device->getParameter(holdTimeAddress), &Parameter::valueChanged, this,
            &SensorlessStartingGraph::node1ParamChanged);
    connect(node1, &DraggableGraphNode::xChanged, this, &SensorlessStartingGraph::node1Moved);
    connect(node1, &DraggableGraphNode::clicked, this,
            &SensorlessStartingGraph::startDraggingHoldTime);
    connect(node1, &DraggableGraphNode::released, this,
            &SensorlessStartingGraph::stopDraggingHoldTime);
    connect(device->getParameter(spinupTimeAddress), &Parameter::valueChanged, this,
            &SensorlessStartingGraph::node2XParamChanged);
    connect(node2, &DraggableGraphNode::xChanged, this, &SensorlessStartingGraph::node2XMoved);
    connect(device->getParameter(maxRpmAddress), &Parameter::valueChanged, this,
            &SensorlessStartingGraph::node2YParamChanged);
    connect(node2, &DraggableGraphNode::yChanged, this, &SensorlessStartingGraph::node2YMoved);
    connect(node1, &DraggableGraphNode::xChanged, this,
            &SensorlessStartingGraph::updateLeftRedShading);
    connect(node1, &DraggableGraphNode::xChanged, this,
            &SensorlessStartingGraph::updateAutostartRegenShading);
    connect(node2, &DraggableGraphNode::xChanged, this,
            &SensorlessStartingGraph::updateAutostartRegenShading);
    connect(node2, &DraggableGraphNode::xChanged, this,
            &SensorlessStartingGraph::updateClosedLoopShading);
    GraphBinding::tellMovesOnRelease(device, node1, this);
    GraphBinding::tellMovesOnRelease(device, node2, this);
}

void SensorlessStartingGraph::placeNode2()
{
    node2->setXMin(node1->getX());
    GraphBinding::placeX(node2, (holdTime() + spinupTime()) / msPerSecond);
}

void SensorlessStartingGraph::node1ParamChanged()
{
    if (!atValue(holdTime(), node1->getX() * msPerSecond))
        node1->setPosition(holdTime() / msPerSecond, 0);
    placeNode2();
}

void SensorlessStartingGraph::node1Moved()
{
    GraphBinding::writeDragged(device, node1, holdTime() / msPerSecond, holdTimeAddress,
                               node1->getX() * msPerSecond);
}

void SensorlessStartingGraph::node2XParamChanged()
{
    placeNode2();
}

void SensorlessStartingGraph::node2XMoved()
{
    if (draggingHoldTime)
        return;
    GraphBinding::writeDragged(device, node2, (holdTime() + spinupTime()) / msPerSecond,
                               spinupTimeAddress, (node2->getX() - node1->getX()) * msPerSecond);
}

void SensorlessStartingGraph::node2YParamChanged()
{
    if (!atValue(maxRpm(), node2->getY()))
        node2->setYPosition(maxRpm());
}

void SensorlessStartingGraph::node2YMoved()
{
    if (draggingHoldTime || !node2->isHeld() || atValue(maxRpm(), node2->getY()))
        return;
    GraphBinding::writeOwn(device, maxRpmAddress, node2->getY());
}

void SensorlessStartingGraph::startDraggingHoldTime()
{
    draggingHoldTime = true;
}

void SensorlessStartingGraph::stopDraggingHoldTime()
{
    // Node 1's register has placed node 2 already.
    draggingHoldTime = false;
}

void SensorlessStartingGraph::updateNode2MinX()
{
    node2->setXMin(node1->getX());
}

void SensorlessStartingGraph::updateLeftRedShading()
{
    alignmentShading->setXEnd(qMin(node1->getX(), double(domain)));
}

void SensorlessStartingGraph::updateAutostartRegenShading()
{
    autostartShading->setXStart(qMin(node1->getX(), double(domain)));
    autostartShading->setXEnd(qMin(node2->getX(), double(domain)));
}

void SensorlessStartingGraph::updateClosedLoopShading()
{
    closedLoopShading->setXStart(qMin(node2->getX(), double(domain)));
}
