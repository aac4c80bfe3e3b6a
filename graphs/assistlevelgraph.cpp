#include "assistlevelgraph.h"

#include "draggablegraphaxes.h"
#include "draggablegraphedge.h"
#include "draggablegraphnode.h"
#include "graphbinding.h"
#include "kelvara.h"
#include "parameter.h"

#include <cmath>

namespace {

const int maxPhaseCurrentAddress = 71;
const int kvAddress = 72;
const int maxPowerAddress = 73;
const int rsAddress = 75;
const int pasPowerAddress = 122;
const int mapOffsetAddress = 175;
const int mapEndAddress = 176;
const int torqueMultiplierAddress = 179;
const int throttleMaxAddress = 213;
const int throttleStartAddress = 214;
const int level1Address = 219;
const int level2Address = 245;

const int cadenceDomain = 150;
const int torqueDomain = 5;
const int powerRange = 2000;

// Node numbers: the knee of line k is node k, its right end node 9 + k and,
// in cadence mode, its left end node 18 + k; in torque mode node 0 is the
// left end of every line.
const int rightEndBase = 9;
const int leftEndBase = 18;

// Lines 1, 5 and 9 are always shown; the colours of the others by the
// number of levels, for lines 2, 3, 4, 6, 7 and 8.
QColor middleLineColour(int levels, int line)
{
    switch (levels) {
    case 4:
        return line == 7 ? Qt::black : Qt::transparent;
    case 5:
        return line == 3 || line == 7 ? Qt::black : Qt::transparent;
    case 9:
        return Qt::black;
    default:
        return Qt::transparent;
    }
}

bool isMainLine(int line)
{
    return line == 1 || line == 5 || line == 9;
}

} // namespace

AssistLevelGraph::AssistLevelGraph(QWidget* parent)
    : DraggableGraph(parent, {420, 250, 40, 0}, tr("Assist Level Graph"))
{
}

double AssistLevelGraph::registerValue(int address) const
{
    return GraphBinding::value(device, address);
}

QVector<double> AssistLevelGraph::levelPowers() const
{
    const double maxPower = registerValue(maxPowerAddress);
    QVector<double> p(levelCount + 1, 0.0);
    p[1] = registerValue(level1Address) * maxPower;
    p[5] = registerValue(level2Address) * maxPower;
    p[9] = cadenceMode ? registerValue(pasPowerAddress) : maxPower;
    p[2] = (3 * p[1] + p[5]) / 4;
    p[3] = (p[1] + p[5]) / 2;
    p[4] = (p[1] + 3 * p[5]) / 4;
    p[6] = (3 * p[5] + p[9]) / 4;
    p[7] = (p[5] + p[9]) / 2;
    p[8] = (p[5] + 3 * p[9]) / 4;
    return p;
}

void AssistLevelGraph::initialize(Kelvara* device)
{
    this->device = device;
    rpm = 0;
    title = QStringLiteral("Assist Level Graph");
    axes = setScale(cadenceDomain, powerRange, QStringLiteral("Pedal Cadence (RPM)"), 0,
                    QStringLiteral("Power (W)"), 15, 10, 10);
    cadenceMode = true;
    createNodes(true);
    updateNodesX();
    updateNodesY();
}

DraggableGraphNode* AssistLevelGraph::makeNode(double x, double y, bool xFixed, bool yFixed,
                                               bool visible)
{
    // Where the registers give no number the node starts at the origin.
    auto usable = [](double v) { return std::isfinite(v) ? qMax(v, 0.0) : 0.0; };
    return addNode(usable(x), usable(y), Qt::red, Qt::darkRed, xFixed, yFixed, visible, false);
}

void AssistLevelGraph::createNodes(bool cadence)
{
    const QVector<double> power = levelPowers();
    if (cadence)
        createCadenceNodes(power);
    else
        createTorqueNodes(power);
    changeNumAssistLevels(QString::number(numAssistLevels));
}

void AssistLevelGraph::createCadenceNodes(const QVector<double>& power)
{
    const double offset = registerValue(mapOffsetAddress);
    const double end = registerValue(mapEndAddress);
    for (int k = 1; k <= levelCount; ++k)
        node[k] = makeNode(end, power[k], false, false, isMainLine(k));
    for (int k = 1; k <= levelCount; ++k)
        node[rightEndBase + k] = makeNode(cadenceDomain, power[k], false, false, false);
    for (int k = 1; k <= levelCount; ++k)
        node[leftEndBase + k] = makeNode(0, offset / 100 * power[k], true, false, k == levelCount);

    connect(device->getParameter(mapOffsetAddress), &Parameter::valueChanged, this,
            &AssistLevelGraph::updateNodesY);
    connect(device->getParameter(mapEndAddress), &Parameter::valueChanged, this,
            &AssistLevelGraph::updateNodesX);
    for (int address : {pasPowerAddress, level1Address, level2Address, maxPowerAddress})
        connect(device->getParameter(address), &Parameter::valueChanged, this,
                &AssistLevelGraph::updateNodesY);
    connect(node[1], &DraggableGraphNode::xChanged, this, &AssistLevelGraph::node1XChanged);
    connect(node[5], &DraggableGraphNode::xChanged, this, &AssistLevelGraph::node5XChanged);
    connect(node[9], &DraggableGraphNode::xChanged, this, &AssistLevelGraph::node9XChanged);
    connect(node[1], &DraggableGraphNode::yChanged, this, &AssistLevelGraph::node1YChanged);
    connect(node[5], &DraggableGraphNode::yChanged, this, &AssistLevelGraph::node5YChanged);
    connect(node[9], &DraggableGraphNode::yChanged, this, &AssistLevelGraph::node9YChanged);
    connect(node[27], &DraggableGraphNode::yChanged, this, &AssistLevelGraph::node27YChanged);
    for (int k : {1, 5, 9, 27})
        GraphBinding::tellMovesOnRelease(device, node[k], node[k]);
    createLines(leftEndBase);
}

void AssistLevelGraph::createTorqueNodes(const QVector<double>& power)
{
    node[0] = makeNode(registerValue(throttleStartAddress), 0, false, false, false);
    const double knee = getKneePointThrottle();
    for (int k = 1; k <= levelCount; ++k)
        node[k] = makeNode(knee, power[k], false, false, false);
    const double throttleMax = registerValue(throttleMaxAddress);
    for (int k = 1; k <= levelCount; ++k)
        node[rightEndBase + k] = makeNode(throttleMax, power[k], false, false, false);

    for (int address :
         {throttleStartAddress, throttleMaxAddress, maxPhaseCurrentAddress, rsAddress, kvAddress})
        connect(device->getParameter(address), &Parameter::valueChanged, this,
                &AssistLevelGraph::updateNodesX);
    for (int address : {maxPowerAddress, level1Address, level2Address})
        connect(device->getParameter(address), &Parameter::valueChanged, this,
                &AssistLevelGraph::updateNodesY);
    connect(node[0], &DraggableGraphNode::xChanged, this, &AssistLevelGraph::node0XChanged);
    connect(node[10], &DraggableGraphNode::xChanged, this, &AssistLevelGraph::node10XChanged);
    connect(node[10], &DraggableGraphNode::yChanged, this, &AssistLevelGraph::node10YChanged);
    connect(node[14], &DraggableGraphNode::xChanged, this, &AssistLevelGraph::node14XChanged);
    connect(node[14], &DraggableGraphNode::yChanged, this, &AssistLevelGraph::node14YChanged);
    connect(node[18], &DraggableGraphNode::xChanged, this, &AssistLevelGraph::node18XChanged);
    connect(node[18], &DraggableGraphNode::yChanged, this, &AssistLevelGraph::node18YChanged);
    createLines(-1);
}

void AssistLevelGraph::createLines(int leftBase)
{
    auto colour = [](int line) { return isMainLine(line) ? Qt::darkGreen : Qt::black; };
    for (int k = 1; k <= levelCount; ++k) {
        DraggableGraphNode* leftEnd = leftBase < 0 ? node[0] : node[leftBase + k];
        leftEdge[k - 1] = addEdge(leftEnd, node[k], colour(k), 3);
    }
    for (int k = 1; k <= levelCount; ++k)
        rightEdge[k - 1] = addEdge(node[k], node[rightEndBase + k], colour(k), 3);
}

void AssistLevelGraph::refreshNodes(bool cadence)
{
    for (int address : {mapOffsetAddress, mapEndAddress, pasPowerAddress, level1Address,
                        level2Address, maxPowerAddress, throttleStartAddress, throttleMaxAddress,
                        maxPhaseCurrentAddress, rsAddress, kvAddress})
        disconnect(device->getParameter(address), nullptr, this, nullptr);
    for (int k = 0; k < levelCount; ++k) {
        delete leftEdge[k];
        delete rightEdge[k];
        leftEdge[k] = rightEdge[k] = nullptr;
    }
    for (DraggableGraphNode*& each : node) {
        delete each;
        each = nullptr;
    }
    createNodes(cadence);
}

void AssistLevelGraph::changePedalAssistType(bool cadence)
{
    cadenceMode = cadence;
    removeSceneItem(axes);
    delete axes;
    if (cadence)
        axes = setScale(cadenceDomain, powerRange, QStringLiteral("Pedal Cadence (RPM)"), 0,
                        QStringLiteral("Power (W)"), 15, 10, 10);
    else
        axes = setScale(torqueDomain, powerRange, QStringLiteral("Torque Sensor (Nm)"), 0,
                        QStringLiteral("Power (W)"), 15, 10, 10);
    refreshNodes(cadence);
}

double AssistLevelGraph::getKneePointThrottle() const
{
    const double start = registerValue(throttleStartAddress);
    const double multiplier = registerValue(torqueMultiplierAddress);
    const double resistance = registerValue(rsAddress) * 0.002;
    const double speed = rpm / registerValue(kvAddress);
    const double current = registerValue(maxPhaseCurrentAddress);
    const double power = registerValue(maxPowerAddress);
    const double iq =
        (std::sqrt(speed * speed + 4 * resistance * power) - speed) / (2 * resistance);
    const double slope = current / (multiplier - start);
    const double knee = (iq - (current - multiplier * slope)) / slope;
    return qMin(knee, multiplier);
}

void AssistLevelGraph::recalculateRPM(int value)
{
    rpm = value;
    updateNodesX();
}

void AssistLevelGraph::changeNumAssistLevels(QString numLevelsString)
{
    numAssistLevels = numLevelsString.toInt();
    if (!leftEdge[0])
        return;
    const int levels = numAssistLevels;
    if (levels == 3 || levels == 4 || levels == 5 || levels == 9) {
        for (int line : {2, 3, 4, 6, 7, 8})
            recolourLine(line, middleLineColour(levels, line));
    }
    for (int line : {1, 5, 9})
        recolourLine(line, Qt::darkGreen);
}

// In place: the edges stay attached to their nodes.
void AssistLevelGraph::recolourLine(int line, const QColor& color)
{
    for (DraggableGraphEdge* edge : {leftEdge[line - 1], rightEdge[line - 1]}) {
        edge->setColor(color);
        edge->setZValue(3);
    }
}

void AssistLevelGraph::updateNodesX()
{
    if (!device)
        return;
    if (cadenceMode) {
        node[1]->setXPosition(registerValue(mapEndAddress));
    } else {
        node[0]->setXPosition(registerValue(throttleStartAddress));
        node[1]->setXPosition(getKneePointThrottle());
        node[10]->setXPosition(registerValue(throttleMaxAddress));
        for (int k = 11; k <= 18; ++k)
            node[k]->setXPosition(node[10]->getX());
    }
    for (int k = 2; k <= levelCount; ++k)
        node[k]->setXPosition(node[1]->getX());
}

void AssistLevelGraph::updateNodesY()
{
    if (!device)
        return;
    const QVector<double> power = levelPowers();
    if (cadenceMode) {
        const double share = registerValue(mapOffsetAddress) / 100;
        for (int k = 1; k <= levelCount; ++k)
            node[leftEndBase + k]->setYPosition(share * power[k]);
    }
    for (int k = 1; k <= levelCount; ++k)
        node[k]->setYPosition(power[k]);
    for (int k = 1; k <= levelCount; ++k)
        node[rightEndBase + k]->setYPosition(node[k]->getY());
}

void AssistLevelGraph::writeX(DraggableGraphNode* moved, double placedX, int address, double value)
{
    const double placed = qBound(moved->getXMin(), placedX, moved->getXMax());
    if (moved->isHeld() && !GraphBinding::atValue(placed, moved->getX()))
        GraphBinding::writeOwn(device, address, value);
}

void AssistLevelGraph::writeY(DraggableGraphNode* moved, double placedY, int address, double value)
{
    const double placed = qBound(moved->getYMin(), placedY, moved->getYMax());
    if (moved->isHeld() && !GraphBinding::atValue(placed, moved->getY()))
        GraphBinding::writeOwn(device, address, value);
}

void AssistLevelGraph::writeKneeX(int k)
{
    if (cadenceMode)
        writeX(node[k], registerValue(mapEndAddress), mapEndAddress, node[k]->getX());
}

// Levels are shares of the Max Power Limit; with no limit there is no share
// to write.
void AssistLevelGraph::writeLevelShare(DraggableGraphNode* moved, int level, int address)
{
    const double maxPower = registerValue(maxPowerAddress);
    if (maxPower != 0)
        writeY(moved, levelPowers()[level], address, moved->getY() / maxPower);
}

void AssistLevelGraph::writeThrottleMax(int k)
{
    if (!cadenceMode)
        writeX(node[k], registerValue(throttleMaxAddress), throttleMaxAddress, node[k]->getX());
}

void AssistLevelGraph::node1XChanged()
{
    writeKneeX(1);
}

void AssistLevelGraph::node5XChanged()
{
    writeKneeX(5);
}

void AssistLevelGraph::node9XChanged()
{
    writeKneeX(9);
}

void AssistLevelGraph::node1YChanged()
{
    if (cadenceMode)
        writeLevelShare(node[1], 1, level1Address);
}

void AssistLevelGraph::node5YChanged()
{
    if (cadenceMode)
        writeLevelShare(node[5], 5, level2Address);
}

void AssistLevelGraph::node9YChanged()
{
    if (!cadenceMode)
        return;
    // No PAS power of 0 W: the knee goes back to the register's value.
    if (node[9]->getY() > 0)
        writeY(node[9], levelPowers()[9], pasPowerAddress, node[9]->getY());
    else if (node[9]->isHeld())
        updateNodesY();
}

void AssistLevelGraph::node27YChanged()
{
    const double pasPower = registerValue(pasPowerAddress);
    if (!node[27] || pasPower == 0)
        return;
    const double placed = registerValue(mapOffsetAddress) / 100 * levelPowers()[9];
    writeY(node[27], placed, mapOffsetAddress, node[27]->getY() / pasPower * 100);
}

void AssistLevelGraph::node0XChanged()
{
    if (!cadenceMode)
        writeX(node[0], registerValue(throttleStartAddress), throttleStartAddress, node[0]->getX());
}

void AssistLevelGraph::node10XChanged()
{
    writeThrottleMax(10);
}

void AssistLevelGraph::node14XChanged()
{
    writeThrottleMax(14);
}

void AssistLevelGraph::node18XChanged()
{
    writeThrottleMax(18);
}

void AssistLevelGraph::node10YChanged()
{
    if (!cadenceMode)
        writeLevelShare(node[10], 1, level1Address);
}

void AssistLevelGraph::node14YChanged()
{
    if (!cadenceMode)
        writeLevelShare(node[14], 5, level2Address);
}

void AssistLevelGraph::node18YChanged()
{
    if (!cadenceMode && node[18]->getY() > 0)
        writeY(node[18], levelPowers()[9], maxPowerAddress, node[18]->getY());
}
