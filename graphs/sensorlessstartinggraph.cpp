#include "sensorlessstartinggraph.h"

#include "draggablegraphnode.h"
#include "draggablegraphshading.h"
#include "graphbinding.h"
#include "kelvara.h"
#include "parameter.h"

#include <QScopedValueRollback>

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

    node1ParamChanged();
    node2XParamChanged();
    node2YParamChanged();
    createBands();

    node2->setYMax(unbounded);
    node2->setXMax(unbounded);
    node1->setXMax(unbounded);
    connectSlots();
}

void SensorlessStartingGraph::createBands()
{
    const double third = domain / 3.0;
    alignmentShading = addShading(0, 0, node1->getX(), range, QColor(255, 0, 0, 70),
                                  QStringLiteral("Alignment"), 0, third);
    autostartShading = addShading(node1->getX(), 0, node2->getX(), range, QColor(0, 0, 255, 70),
                                  QStringLiteral("Autostart Ramp"), third, 2 * third);
    // Transparent: only the label and its leader lines show.
    closedLoopShading = addShading(node2->getX(), 0, domain, range, QColor(0, 0, 0, 0),
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
}

void SensorlessStartingGraph::placeNode2()
{
    QScopedValueRollback<bool> guard(placingNode2, true);
    node2->setXMin(node1->getX());
    node2->setXPosition((holdTime() + spinupTime()) / msPerSecond);
}

void SensorlessStartingGraph::node1ParamChanged()
{
    if (writingBackHoldTime || atValue(holdTime(), node1->getX() * msPerSecond))
        return;
    node1->setPosition(holdTime() / msPerSecond, 0);
    {
        QScopedValueRollback<bool> guard(writingBackHoldTime, true);
        GraphBinding::write(device, holdTimeAddress, node1->getX() * msPerSecond);
    }
    placeNode2();
}

void SensorlessStartingGraph::node1Moved()
{
    if (GraphBinding::takingControllerValues(device)
        || atValue(holdTime(), node1->getX() * msPerSecond))
        return;
    GraphBinding::write(device, holdTimeAddress, node1->getX() * msPerSecond);
    placeNode2();
}

void SensorlessStartingGraph::node2XParamChanged()
{
    const double spinup = spinupTime();
    if (writingBackSpinup
        || atValue(node1->getX() * msPerSecond + spinup, node2->getX() * msPerSecond))
        return;
    node2->setXMin(node1->getX());
    node2->setXPosition(spinup / msPerSecond + node1->getX());
    QScopedValueRollback<bool> guard(writingBackSpinup, true);
    GraphBinding::write(device, spinupTimeAddress, (node2->getX() - node1->getX()) * msPerSecond);
}

void SensorlessStartingGraph::node2XMoved()
{
    if (draggingHoldTime || placingNode2 || GraphBinding::takingControllerValues(device))
        return;
    const double shown = (node2->getX() - node1->getX()) * msPerSecond;
    if (!atValue(spinupTime(), shown))
        GraphBinding::write(device, spinupTimeAddress, shown);
}

void SensorlessStartingGraph::node2YParamChanged()
{
    if (writingBackRpm || atValue(maxRpm(), node2->getY()))
        return;
    node2->setYPosition(maxRpm());
    QScopedValueRollback<bool> guard(writingBackRpm, true);
    GraphBinding::write(device, maxRpmAddress, node2->getY());
}

void SensorlessStartingGraph::node2YMoved()
{
    if (draggingHoldTime || GraphBinding::takingControllerValues(device))
        return;
    if (!atValue(maxRpm(), node2->getY()))
        GraphBinding::write(device, maxRpmAddress, node2->getY());
}

void SensorlessStartingGraph::startDraggingHoldTime()
{
    draggingHoldTime = true;
}

void SensorlessStartingGraph::stopDraggingHoldTime()
{
    // Node 1's slots have placed node 2 already.
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
