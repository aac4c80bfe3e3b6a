#include "throttlegraph.h"

#include "draggablegraphnode.h"
#include "draggablegraphshading.h"
#include "graphbinding.h"
#include "kelvara.h"
#include "parameter.h"
#include "valueorders.h"

#include <QGraphicsScene>
#include <QScopedValueRollback>

#include <cmath>

using GraphBinding::atValue;

namespace {

const int throttleMaxAddress = 213;
const int throttleStartAddress = 214;
const int deadbandAddress = 151;
const int faultRangeAddress = 152;
const int brakeMaxAddress = 215;
const int brakeStartAddress = 216;

const double fullScale = 5;
// Where the fault nodes may go: their thresholds may lie off the plot.
const double outOfPlot = 10000;
// Display values closer than this are equal: they are not exact in binary.
const double valueTolerance = 1e-9;
const double pixelTolerance = 1e-9;
const QColor faultColor(255, 0, 0, 70);
const QColor activeColor(0, 0, 255, 70);

} // namespace

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
    keepOrders();
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
    placeThrottleNodes();
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
    connect(brakeStart, &Parameter::valueChanged, this,
            [this] { keepBrakeGap(brakeStartAddress); });
    connect(brakeNode1, &DraggableGraphNode::xChanged, this,
            &ThrottleGraph::updateBrakingNode1Param);
    connect(brakeNode1, &DraggableGraphNode::clicked, this, &ThrottleGraph::startDraggingBrakeV);
    connect(brakeNode1, &DraggableGraphNode::released, this, &ThrottleGraph::stopDraggingBrakeV);
    connect(brakeMax, &Parameter::valueChanged, this, &ThrottleGraph::updateBrakingNode2Value);
    connect(brakeMax, &Parameter::valueChanged, this, [this] { keepBrakeGap(brakeMaxAddress); });
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

    const QList<QPair<DraggableGraphNode*, int>> registers = {
        {node0, faultRangeAddress}, {node1, throttleStartAddress}, {node2, deadbandAddress},
        {node3, deadbandAddress},   {node4, throttleMaxAddress},   {node5, faultRangeAddress}};
    for (const auto& node : registers) {
        connect(node.first, &DraggableGraphNode::clicked, this,
                [this, node] { draggedRegister = node.second; });
        connect(node.first, &DraggableGraphNode::released, this, [this] { draggedRegister = -1; });
    }
    for (DraggableGraphNode* node :
         {node0, node1, node2, node3, node4, node5, brakeNode1, brakeNode2})
        GraphBinding::tellMovesOnRelease(device, node, this);
}

void ThrottleGraph::keepOrders()
{
    device->keepOrder(
        {throttleStartAddress, throttleMaxAddress, deadbandAddress},
        [this](const ValueOrders::ValueOf& value) {
            return throttleShortfall(value(throttleStartAddress), value(throttleMaxAddress),
                                     value(deadbandAddress));
        },
        [this](int changed) { settleThrottle(changed); });
    device->keepOrder(
        {brakeStartAddress, brakeMaxAddress},
        [this](const ValueOrders::ValueOf& value) {
            return brakeShortfall(value(brakeStartAddress), value(brakeMaxAddress));
        },
        [this](int changed) { settleBrakes(changed); });
}

double ThrottleGraph::throttleGap() const
{
    return throttleGap(deadband());
}

double ThrottleGraph::throttleGap(double deadband) const
{
    return qMax(2 * deadband, minThrottleGap);
}

// The maximum at least the gap above the start.
double ThrottleGraph::throttleShortfall(double start, double max, double deadband) const
{
    return start + throttleGap(deadband) - max;
}

// The brake values at least the gap apart, whichever is larger.
double ThrottleGraph::brakeShortfall(double start, double max) const
{
    return minBrakeGap - std::fabs(max - start);
}

// Rounded up: a display step must not let the maximum fall short of the
// gap. Beyond the plot where the start leaves no room.
double ThrottleGraph::leastMax(double start, double deadband) const
{
    const double step = std::pow(10.0, -device->getParameter(throttleMaxAddress)->numDecimals());
    return std::ceil((start + throttleGap(deadband)) / step - valueTolerance) * step;
}

double ThrottleGraph::mostStart(double max, double deadband) const
{
    return max - throttleGap(deadband);
}

bool ThrottleGraph::brakesApart(double start, double max) const
{
    return ValueOrders::keeps(brakeShortfall(start, max));
}

double ThrottleGraph::onWholePixel(double x, bool up) const
{
    // A value on a whole pixel stays on it, whatever its rounding.
    const double pixel = plotWidth() * x / domain;
    return (up ? std::ceil(pixel - pixelTolerance) : std::floor(pixel + pixelTolerance)) * domain
        / plotWidth();
}

bool ThrottleGraph::dragging() const
{
    return scene()->mouseGrabberItem() != nullptr;
}

// A value the user set, which the graph's rules act on at once; a drag
// keeps to the nodes' bounds instead.
bool ThrottleGraph::isRuledEdit() const
{
    return !holding && !dragging() && GraphBinding::rulesActOnChange(device);
}

// The bounds that keep the nodes in order, from the registers: the start
// at least the gap below the maximum and the maximum the gap above the
// start, both in whole pixels (a start within a pixel beyond its bound keeps
// its place), the dead-band nodes in their halves between them, the fault
// nodes outside them. While the maximum is dragged its bound follows the
// start's value, not its node, which its own bound may hold left of it: the
// drag would else lower that bound with each step.
void ThrottleGraph::setThrottleNodeBounds()
{
    const double start = startVoltage();
    const double max = qBound(0.0, maxVoltage(), double(fullScale));
    const double startLimit = mostStart(max, deadband());
    const double pixel = double(domain) / plotWidth();
    const bool withinAPixel = start > startLimit && start - startLimit <= pixel;
    node1->setXBounds(0, withinAPixel ? start : onWholePixel(qMax(startLimit, 0.0)));
    node1->setXPosition(start);
    const double startOfMax = node4->isHeld() ? start : node1->getX();
    node4->setXBounds(onWholePixel(qMin(leastMax(startOfMax, deadband()), double(fullScale))),
                      fullScale);
    node4->setXPosition(maxVoltage());
    const double middle = (node1->getX() + node4->getX()) / 2;
    node2->setXBounds(node1->getX(), onWholePixel(middle));
    node3->setXBounds(onWholePixel(middle, true), node4->getX());
    node0->setXBounds(-outOfPlot, node1->getX());
    node5->setXBounds(node4->getX(), outOfPlot);
}

// Every throttle node where the registers put it, within its bounds. The
// registers are left as they are.
void ThrottleGraph::placeThrottleNodes()
{
    setThrottleNodeBounds();
    node2->setXPosition(startVoltage() + deadband());
    node3->setXPosition(maxVoltage() - deadband());
    node0->setXPosition(startVoltage() - faultRange());
    node5->setXPosition(maxVoltage() + faultRange());
}

// A start the user set closer to the maximum than the gap is held at the
// start node's bound.
void ThrottleGraph::holdStart()
{
    const double max = qBound(0.0, maxVoltage(), double(fullScale));
    if (!ValueOrders::keeps(throttleShortfall(startVoltage(), max, deadband())))
        GraphBinding::write(device, throttleStartAddress,
                            onWholePixel(qMax(mostStart(max, deadband()), 0.0)));
}

// A maximum the user set closer to the start than the gap is held at the
// least maximum.
void ThrottleGraph::holdMax()
{
    if (ValueOrders::keeps(throttleShortfall(startVoltage(), maxVoltage(), deadband())))
        return;
    const double held = qMin(leastMax(startVoltage(), deadband()), double(fullScale));
    if (!atValue(held, maxVoltage()))
        GraphBinding::write(device, throttleMaxAddress, held);
}

// A dead band the user set wider than half the way from the start to the
// maximum is held there, on the register's step.
void ThrottleGraph::holdDeadband()
{
    const double half = qMax(0.0, (maxVoltage() - startVoltage()) / 2);
    if (deadband() <= half + valueTolerance)
        return;
    const double step = std::pow(10.0, -device->getParameter(deadbandAddress)->numDecimals());
    GraphBinding::write(device, deadbandAddress, std::floor(half / step + valueTolerance) * step);
}

void ThrottleGraph::node0ParamChanged()
{
    placeThrottleNodes();
}

void ThrottleGraph::node0Moved()
{
    GraphBinding::writeDragged(device, node0, startVoltage() - faultRange(), faultRangeAddress,
                               startVoltage() - node0->getX());
}

void ThrottleGraph::node1ParamChanged()
{
    if (isRuledEdit()) {
        const QScopedValueRollback<bool> guard(holding, true);
        holdStart();
    }
    placeThrottleNodes();
}

void ThrottleGraph::node1Moved()
{
    GraphBinding::writeDragged(device, node1, startVoltage(), throttleStartAddress, node1->getX());
}

void ThrottleGraph::node2ParamChanged()
{
    if (isRuledEdit()) {
        const QScopedValueRollback<bool> guard(holding, true);
        holdDeadband();
    }
    placeThrottleNodes();
}

void ThrottleGraph::node2Moved()
{
    GraphBinding::writeDragged(device, node2, startVoltage() + deadband(), deadbandAddress,
                               node2->getX() - startVoltage());
}

void ThrottleGraph::node3ParamChanged()
{
    placeThrottleNodes();
}

void ThrottleGraph::node3Moved()
{
    GraphBinding::writeDragged(device, node3, maxVoltage() - deadband(), deadbandAddress,
                               maxVoltage() - node3->getX());
}

void ThrottleGraph::node4ParamChanged()
{
    if (isRuledEdit()) {
        const QScopedValueRollback<bool> guard(holding, true);
        holdMax();
    }
    placeThrottleNodes();
}

// The node's bound is a whole pixel, which may lie below the least maximum.
void ThrottleGraph::node4Moved()
{
    const double least = qMin(leastMax(startVoltage(), deadband()), double(fullScale));
    GraphBinding::writeDragged(device, node4, maxVoltage(), throttleMaxAddress,
                               qMax(node4->getX(), least));
}

void ThrottleGraph::node5ParamChanged()
{
    placeThrottleNodes();
}

void ThrottleGraph::node5Moved()
{
    GraphBinding::writeDragged(device, node5, maxVoltage() + faultRange(), faultRangeAddress,
                               node5->getX() - maxVoltage());
}

void ThrottleGraph::startDraggingThrottleV()
{
    draggingThrottle = true;
}

void ThrottleGraph::stopDraggingThrottleV()
{
    placeThrottleNodes();
    draggingThrottle = false;
}

void ThrottleGraph::updateBrakingNode1Value()
{
    brakeNode1->setXPosition(GraphBinding::value(device, brakeStartAddress));
}

void ThrottleGraph::updateBrakingNode2Value()
{
    brakeNode2->setXPosition(GraphBinding::value(device, brakeMaxAddress));
}

void ThrottleGraph::updateBrakingNode1Param()
{
    if (brakeNode1->isHeld())
        brakeDragWrote = true;
    GraphBinding::writeDragged(device, brakeNode1, GraphBinding::value(device, brakeStartAddress),
                               brakeStartAddress, brakeNode1->getX());
}

void ThrottleGraph::updateBrakingNode2Param()
{
    if (brakeNode2->isHeld())
        brakeDragWrote = true;
    GraphBinding::writeDragged(device, brakeNode2, GraphBinding::value(device, brakeMaxAddress),
                               brakeMaxAddress, brakeNode2->getX());
}

// The gap is the user's rule: the controller's values stay as it holds them,
// and during a drag the nodes may come closer.
void ThrottleGraph::keepBrakeGap(int changed)
{
    if (!draggingBrake && GraphBinding::rulesActOnChange(device))
        pairBrakes(changed);
}

// The device model settles the orders: the register was set. A value the
// user is dragging keeps to its node's bounds; the brake values may come
// closer while either is dragged.
void ThrottleGraph::settleThrottle(int changed)
{
    if (changed == draggedRegister)
        return;
    const QScopedValueRollback<bool> guard(holding, true);
    if (changed == throttleStartAddress)
        holdStart();
    else if (changed == throttleMaxAddress)
        holdMax();
    else if (changed == deadbandAddress)
        holdDeadband();
}

void ThrottleGraph::settleBrakes(int changed)
{
    if (!draggingBrake)
        pairBrakes(changed);
}

// At least the gap between the brake values, whichever is larger: the upper
// one goes up, or where it would pass 5 V, both stand at the top. The other
// value is pushed first, by the one the user set, which a value entered is
// then held at.
void ThrottleGraph::pairBrakes(int changed)
{
    if (pairingBrakes)
        return;
    const QScopedValueRollback<bool> guard(pairingBrakes, true);
    const double start = GraphBinding::value(device, brakeStartAddress);
    const double max = GraphBinding::value(device, brakeMaxAddress);
    const bool rising = max >= start;
    const int upper = rising ? brakeMaxAddress : brakeStartAddress;
    const int lower = rising ? brakeStartAddress : brakeMaxAddress;
    double lowerValue = qMin(start, max);
    if (brakesApart(start, max))
        return;
    double upperValue = lowerValue + minBrakeGap;
    if (upperValue > fullScale + valueTolerance) {
        upperValue = fullScale;
        lowerValue = fullScale - minBrakeGap;
    }
    const int other = changed == upper ? lower : upper;
    const double otherValue = other == upper ? upperValue : lowerValue;
    const double changedValue = changed == upper ? upperValue : lowerValue;
    if (!atValue(otherValue, GraphBinding::value(device, other)))
        GraphBinding::write(device, other, otherValue);
    if (!atValue(changedValue, GraphBinding::value(device, changed)))
        GraphBinding::write(device, changed, changedValue);
}

void ThrottleGraph::startDraggingBrakeV()
{
    draggingBrake = true;
    brakeDragWrote = false;
}

// The dragged value is taken once more as the user's change, so that the
// gap is kept from it and the other value it pushes is told as moved by it.
void ThrottleGraph::stopDraggingBrakeV()
{
    draggingBrake = false;
    const int dragged = brakeNode1->isHeld() ? brakeStartAddress
        : brakeNode2->isHeld()               ? brakeMaxAddress
                                             : -1;
    if (!brakeDragWrote || dragged < 0 || !GraphBinding::rulesActOnChange(device))
        return;
    Parameter* parameter = device->getParameter(dragged);
    parameter->setRegisterValue(parameter->getRegisterValue());
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
