#include "throttlegraph.h"

#include "draggablegraphnode.h"
#include "draggablegraphshading.h"
#include "graphbinding.h"
#include "kelvara.h"
#include "numericconversion.h"
#include "parameter.h"

#include <QScopedValueRollback>

using GraphBinding::atValue;

namespace {

const int throttleMaxAddress = 213;
const int throttleStartAddress = 214;
const int deadbandAddress = 151;
const int faultRangeAddress = 152;
const int brakeMaxAddress = 215;
const int brakeStartAddress = 216;

const double fullScale = 5;
const QColor faultColor(255, 0, 0, 70);
const QColor activeColor(0, 0, 255, 70);

} // namespace

void sanitizeNodePair(DraggableGraphNode* lower, DraggableGraphNode* upper, double gap)
{
    if (upper->getX() - lower->getX() >= gap)
        return;
    if (upper->getXMax() > lower->getX() + gap) {
        upper->setXPosition(lower->getX() + gap);
    } else {
        upper->setXPosition(upper->getXMax());
        lower->setXPosition(upper->getXMax() - gap);
    }
}

ThrottleGraph::ThrottleGraph(QWidget* parent)
    : DraggableGraph(parent, {400, 250, 40, 50}, tr("Throttle + Brake Map"))
{
}

double ThrottleGraph::startVoltage() const
{
    return GraphBinding::value(device, throttleStartAddress);
}

double ThrottleGraph::maxVoltage() const
{
    return GraphBinding::value(device, throttleMaxAddress);
}

double ThrottleGraph::deadband() const
{
    return GraphBinding::value(device, deadbandAddress);
}

double ThrottleGraph::faultRange() const
{
    return GraphBinding::value(device, faultRangeAddress);
}

void ThrottleGraph::initialize(Kelvara* device)
{
    this->device = device;
    title = QStringLiteral("Throttle + Brake Map");
    setScale(5, 100, QStringLiteral("Volts"), 0, QStringLiteral("Percent"), 0, 10, 10);
    createNodes();

    // Node 0 and node 5 stand for fault thresholds that may lie off the plot.
    node0->setXMin(-10000);
    node4->setXMax(fullScale);
    node5->setXMax(10000);
    setThrottleNodeBounds();

    updateBrakingNode1Value();
    updateBrakingNode2Value();

    const QColor throttle(Qt::darkGreen);
    addEdge(node0, node1, throttle, 1);
    for (auto pair : {qMakePair(node1, node2), qMakePair(node2, node3), qMakePair(node3, node4),
                      qMakePair(node4, node5)})
        addEdge(pair.first, pair.second, throttle, 3);
    addEdge(brakeNode1, brakeNode2, Qt::darkRed, 3);

    createBands();
    connectSlots();
}

void ThrottleGraph::createNodes()
{
    auto brake = [this](double y) {
        return addNode(0, y, Qt::red, Qt::darkRed, false, true, true, false);
    };
    auto throttle = [this](double y) {
        return addNode(0, y, Qt::green, Qt::darkGreen, false, true, true, false);
    };
    // Later nodes lie above earlier ones: where a primary node and the node
    // derived from it coincide, the primary one is grabbed.
    brakeNode1 = brake(0);
    brakeNode2 = brake(100);
    node0 = throttle(0);
    node2 = throttle(0);
    node1 = throttle(0);
    node3 = throttle(100);
    node4 = throttle(100);
    node5 = throttle(100);

    const double start = startVoltage();
    const double max = maxVoltage();
    node0->setXPosition(start - faultRange());
    node1->setXPosition(start);
    node2->setXPosition(start + deadband());
    node3->setXPosition(max - deadband());
    node4->setXPosition(max);
    node5->setXPosition(max + faultRange());
}

void ThrottleGraph::createBands()
{
    const double third = fullScale / 3;
    upperFaultShading = addShading(qMin(node5->getX(), fullScale), 0, fullScale, 100, faultColor,
                                   QStringLiteral("Fault"), 2 * third, fullScale);
    lowerFaultShading = addShading(0, 0, qMax(node0->getX(), 0.0), 100, faultColor,
                                   QStringLiteral("Fault"), fullScale / -6, 0);
    throttleActiveShading =
        addShading(node1->getX(), 0, qMin(node5->getX(), fullScale), 100, activeColor,
                   QStringLiteral("Throttle\nActive"), third, 2 * third);
    brakeActiveShading = addShading(brakeNode1->getX(), 0, brakeNode2->getX(), 100, activeColor,
                                    QStringLiteral("Brake\nActive"), 0, third);
    fullBrakeShading = addShading(0, 0, 0, 100, activeColor, QString(), 0, 0);
}

void ThrottleGraph::connectSlots()
{
    Parameter* start = device->getParameter(throttleStartAddress);
    Parameter* max = device->getParameter(throttleMaxAddress);
    Parameter* band = device->getParameter(deadbandAddress);
    Parameter* fault = device->getParameter(faultRangeAddress);
    Parameter* brakeStart = device->getParameter(brakeStartAddress);
    Parameter* brakeMax = device->getParameter(brakeMaxAddress);

    connect(node1, &DraggableGraphNode::clicked, this, &ThrottleGraph::startDraggingThrottleV);
    connect(node1, &DraggableGraphNode::released, this, &ThrottleGraph::stopDraggingThrottleV);
    connect(node4, &DraggableGraphNode::clicked, this, &ThrottleGraph::startDraggingThrottleV);
    connect(node4, &DraggableGraphNode::released, this, &ThrottleGraph::stopDraggingThrottleV);

    connect(start, &Parameter::valueChanged, this, &ThrottleGraph::node0ParamChanged);
    connect(fault, &Parameter::valueChanged, this, &ThrottleGraph::node0ParamChanged);
    connect(node0, &DraggableGraphNode::xChanged, this, &ThrottleGraph::node0Moved);
    connect(start, &Parameter::valueChanged, this, &ThrottleGraph::node1ParamChanged);
    connect(node1, &DraggableGraphNode::xChanged, this, &ThrottleGraph::node1Moved);
    connect(band, &Parameter::valueChanged, this, &ThrottleGraph::node2ParamChanged);
    connect(node2, &DraggableGraphNode::xChanged, this, &ThrottleGraph::node2Moved);
    connect(band, &Parameter::valueChanged, this, &ThrottleGraph::node3ParamChanged);
    connect(node3, &DraggableGraphNode::xChanged, this, &ThrottleGraph::node3Moved);
    connect(max, &Parameter::valueChanged, this, &ThrottleGraph::node4ParamChanged);
    connect(node4, &DraggableGraphNode::xChanged, this, &ThrottleGraph::node4Moved);
    connect(fault, &Parameter::valueChanged, this, &ThrottleGraph::node5ParamChanged);
    connect(node5, &DraggableGraphNode::xChanged, this, &ThrottleGraph::node5Moved);

    connect(brakeStart, &Parameter::valueChanged, this, &ThrottleGraph::updateBrakingNode1Value);
    connect(brakeStart, &Parameter::valueChanged, this, &ThrottleGraph::sanitizeBrakingValues);
    connect(brakeNode1, &DraggableGraphNode::xChanged, this,
            &ThrottleGraph::updateBrakingNode1Param);
    connect(brakeNode1, &DraggableGraphNode::clicked, this, &ThrottleGraph::startDraggingBrakeV);
    connect(brakeNode1, &DraggableGraphNode::released, this, &ThrottleGraph::stopDraggingBrakeV);
    connect(brakeMax, &Parameter::valueChanged, this, &ThrottleGraph::updateBrakingNode2Value);
    connect(brakeMax, &Parameter::valueChanged, this, &ThrottleGraph::sanitizeBrakingValues);
    connect(brakeNode2, &DraggableGraphNode::xChanged, this,
            &ThrottleGraph::updateBrakingNode2Param);
    connect(brakeNode2, &DraggableGraphNode::clicked, this, &ThrottleGraph::startDraggingBrakeV);
    connect(brakeNode2, &DraggableGraphNode::released, this, &ThrottleGraph::stopDraggingBrakeV);

    connect(node5, &DraggableGraphNode::xChanged, this, &ThrottleGraph::updateFaultShading);
    connect(node0, &DraggableGraphNode::xChanged, this, &ThrottleGraph::updateFaultShading);
    connect(node1, &DraggableGraphNode::xChanged, this, &ThrottleGraph::updateActiveShading);
    connect(node5, &DraggableGraphNode::xChanged, this, &ThrottleGraph::updateActiveShading);
    connect(brakeNode1, &DraggableGraphNode::xChanged, this, &ThrottleGraph::updateBrakingShading);
    connect(brakeNode2, &DraggableGraphNode::xChanged, this, &ThrottleGraph::updateBrakingShading);
}

void ThrottleGraph::setThrottleNodeBounds()
{
    const double gap = qMax(2 * deadband(), minThrottleGap);
    // Node 4's left bound, kept in whole pixels, lets it come up to a pixel
    // closer than the gap: node 1 is not pushed (and the start not
    // rewritten) for that, nor node 4 pushed back off its bound.
    double startLimit = node4->getX() - gap;
    const double pixel = double(domain) / plotWidth();
    if (node1->getX() > startLimit && node1->getX() - startLimit < pixel)
        startLimit = node1->getX();
    node1->setXMax(startLimit);
    const double maxLimit = node1->getX() + gap;
    const bool onPixelBound = node4->pos().x() >= truncateToInt(plotWidth() * maxLimit / domain);
    node4->setXMin(onPixelBound ? qMin(maxLimit, node4->getX()) : maxLimit);
    node2->setXMin(node1->getX());
    node2->setXMax((node1->getX() + node4->getX()) / 2);
    node3->setXMin((node1->getX() + node4->getX()) / 2);
    node3->setXMax(node4->getX());
    node5->setXMin(node4->getX());
    node0->setXMax(node1->getX());
}

// Registers of a controller read arrive one by one in address order (the
// maximum before the start): every node is placed from the registers as they
// stand, the start and maximum free of each other's old positions, and
// nothing is written.
void ThrottleGraph::showReadValues()
{
    node1->setXMax(fullScale);
    node4->setXMin(0);
    node1->setXPosition(startVoltage());
    node4->setXPosition(maxVoltage());
    setThrottleNodeBounds();
    node0->setXPosition(startVoltage() - faultRange());
    node2->setXPosition(startVoltage() + deadband());
    node3->setXPosition(maxVoltage() - deadband());
    node5->setXPosition(maxVoltage() + faultRange());
}

void ThrottleGraph::placeNodes0And2()
{
    setThrottleNodeBounds();
    node2->setXPosition(startVoltage() + deadband());
    node0->setXPosition(startVoltage() - faultRange());
}

void ThrottleGraph::placeNodes3And5()
{
    setThrottleNodeBounds();
    node3->setXPosition(maxVoltage() - deadband());
    node5->setXPosition(maxVoltage() + faultRange());
}

// A derived node writes its register only while the user drags it: placed
// from the registers or pushed by a bound it follows them, so the order in
// which registers arrive or bounds move cannot rewrite another register.
bool ThrottleGraph::userDrags(DraggableGraphNode* node) const
{
    return !draggingThrottle && node->isHeld() && !GraphBinding::takingControllerValues(device);
}

// Register to node: unless the node is at v, moves it there and writes back
// the value it shows (shown()), with its own slot held off meanwhile. False
// when nothing moved; while a read is applied every node is placed from the
// registers instead and nothing is written.
bool ThrottleGraph::followRegister(DraggableGraphNode* node, double v, int address,
                                   const std::function<double()>& shown, bool* writingBack)
{
    if (*writingBack)
        return false;
    if (GraphBinding::takingControllerValues(device)) {
        showReadValues();
        return false;
    }
    if (atValue(v, node->getX()))
        return false;
    node->setXPosition(v);
    QScopedValueRollback<bool> guard(*writingBack, true);
    GraphBinding::write(device, address, shown());
    return true;
}

// Node to register for a derived node that the user drags off v.
void ThrottleGraph::writeDragged(DraggableGraphNode* node, double v, int address, double value)
{
    if (userDrags(node) && !atValue(v, node->getX()))
        GraphBinding::write(device, address, value);
}

// Node 0 follows without writing back: a fault threshold below 0 V stays.
void ThrottleGraph::node0ParamChanged()
{
    if (GraphBinding::takingControllerValues(device)) {
        showReadValues();
        return;
    }
    const double v = startVoltage() - faultRange();
    if (!atValue(v, node0->getX()))
        node0->setXPosition(v);
}

void ThrottleGraph::node0Moved()
{
    writeDragged(node0, startVoltage() - faultRange(), faultRangeAddress,
                 startVoltage() - node0->getX());
}

void ThrottleGraph::node1ParamChanged()
{
    if (followRegister(
            node1, startVoltage(), throttleStartAddress, [this] { return node1->getX(); },
            &writingBackStart))
        placeNodes0And2();
}

void ThrottleGraph::node1Moved()
{
    if (GraphBinding::takingControllerValues(device) || atValue(startVoltage(), node1->getX()))
        return;
    GraphBinding::write(device, throttleStartAddress, node1->getX());
    placeNodes0And2();
}

void ThrottleGraph::node2ParamChanged()
{
    if (followRegister(
            node2, startVoltage() + deadband(), deadbandAddress,
            [this] { return node2->getX() - node1->getX(); }, &writingBackDeadbandLow))
        setThrottleNodeBounds();
}

void ThrottleGraph::node2Moved()
{
    writeDragged(node2, startVoltage() + deadband(), deadbandAddress,
                 node2->getX() - node1->getX());
}

void ThrottleGraph::node3ParamChanged()
{
    if (followRegister(
            node3, maxVoltage() - deadband(), deadbandAddress,
            [this] { return node4->getX() - node3->getX(); }, &writingBackDeadbandHigh))
        setThrottleNodeBounds();
}

void ThrottleGraph::node3Moved()
{
    writeDragged(node3, maxVoltage() - deadband(), deadbandAddress, node4->getX() - node3->getX());
}

void ThrottleGraph::node4ParamChanged()
{
    if (followRegister(
            node4, maxVoltage(), throttleMaxAddress, [this] { return node4->getX(); },
            &writingBackMax))
        placeNodes3And5();
}

void ThrottleGraph::node4Moved()
{
    if (GraphBinding::takingControllerValues(device) || atValue(maxVoltage(), node4->getX()))
        return;
    GraphBinding::write(device, throttleMaxAddress, node4->getX());
    placeNodes3And5();
}

void ThrottleGraph::node5ParamChanged()
{
    followRegister(
        node5, maxVoltage() + faultRange(), faultRangeAddress,
        [this] { return node5->getX() - node4->getX(); }, &writingBackFault);
}

void ThrottleGraph::node5Moved()
{
    writeDragged(node5, maxVoltage() + faultRange(), faultRangeAddress,
                 node5->getX() - maxVoltage());
}

void ThrottleGraph::startDraggingThrottleV()
{
    draggingThrottle = true;
}

void ThrottleGraph::stopDraggingThrottleV()
{
    // Placed while the flag still holds, so the derived nodes write nothing.
    node2->setXPosition(startVoltage() + deadband());
    node3->setXPosition(maxVoltage() - deadband());
    draggingThrottle = false;
}

void ThrottleGraph::updateBrakingNode1Value()
{
    GraphBinding::followX(device, brakeNode1, brakeStartAddress, &writingBackBrakeStart);
}

void ThrottleGraph::updateBrakingNode2Value()
{
    GraphBinding::followX(device, brakeNode2, brakeMaxAddress, &writingBackBrakeMax);
}

void ThrottleGraph::updateBrakingNode1Param()
{
    GraphBinding::writeX(device, brakeNode1, brakeStartAddress);
}

void ThrottleGraph::updateBrakingNode2Param()
{
    GraphBinding::writeX(device, brakeNode2, brakeMaxAddress);
}

void ThrottleGraph::pairBrakeNodes()
{
    if (brakeNode2->getX() >= brakeNode1->getX())
        sanitizeNodePair(brakeNode1, brakeNode2, minBrakeGap);
    else
        sanitizeNodePair(brakeNode2, brakeNode1, minBrakeGap);
}

void ThrottleGraph::sanitizeBrakingValues()
{
    // The gap is the user's rule: a read shows the ramp as the controller has it.
    if (draggingBrake || GraphBinding::takingControllerValues(device))
        return;
    pairBrakeNodes();
}

void ThrottleGraph::startDraggingBrakeV()
{
    draggingBrake = true;
}

void ThrottleGraph::stopDraggingBrakeV()
{
    pairBrakeNodes();
    draggingBrake = false;
}

void ThrottleGraph::updateFaultShading()
{
    upperFaultShading->setXStart(qMin(node5->getX(), fullScale));
    lowerFaultShading->setXEnd(qMax(node0->getX(), 0.0));
}

void ThrottleGraph::updateActiveShading()
{
    throttleActiveShading->setXEnd(qMin(node5->getX(), fullScale));
    throttleActiveShading->setXStart(node1->getX());
}

void ThrottleGraph::updateBrakingShading()
{
    brakeActiveShading->setXEnd(brakeNode2->getX());
    brakeActiveShading->setXStart(brakeNode1->getX());
    if (brakeNode2->getX() > brakeNode1->getX()) {
        fullBrakeShading->setXStart(brakeNode2->getX());
        fullBrakeShading->setXEnd(fullScale);
    } else {
        fullBrakeShading->setXStart(0);
        fullBrakeShading->setXEnd(brakeNode2->getX());
    }
}
