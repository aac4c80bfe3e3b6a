#include "temperaturefeedbackgraph.h"

#include "draggablegraphnode.h"
#include "draggablegraphspinbox.h"
#include "graphbinding.h"
#include "kelvara.h"
#include "parameter.h"

namespace {

const int firstAddress = 93;
const int degreesApart = 25;

using PointSlot = void (TemperatureFeedbackGraph::*)();
const PointSlot pointSlots[TemperatureFeedbackGraph::pointCount] = {
    &TemperatureFeedbackGraph::node0ParamChanged, &TemperatureFeedbackGraph::node1ParamChanged,
    &TemperatureFeedbackGraph::node2ParamChanged, &TemperatureFeedbackGraph::node3ParamChanged,
    &TemperatureFeedbackGraph::node4ParamChanged, &TemperatureFeedbackGraph::node5ParamChanged};

} // namespace

TemperatureFeedbackGraph::TemperatureFeedbackGraph(QWidget* parent)
    : DraggableGraph(parent, {460, 200, 40, 0}, tr("Temperature Voltage Map"))
{
}

void TemperatureFeedbackGraph::initialize(Kelvara* device)
{
    this->device = device;
    title = QStringLiteral("Temperature Voltage Map");
    setScale(125, 5, QStringLiteral("Degrees Celsius"), 0, QStringLiteral("Volts"), 0, 5, 5);
    for (int k = 0; k < pointCount; ++k)
        nodes[k] = addNode(k * degreesApart, 0, Qt::red, Qt::darkRed, true, true, true, false);
    for (int k = 0; k + 1 < pointCount; ++k)
        addEdge(nodes[k], nodes[k + 1], Qt::darkRed, 3);
    for (int k = 0; k < pointCount; ++k) {
        spinboxes[k] = addSpinbox(k * degreesApart, 60, 25);
        spinboxes[k]->setSuffix(QLatin1Char(' ')
                                + device->getParameter(firstAddress + k)->getUnits());
    }
    // Every stored value, not every announced one, moves a point.
    for (int k = 0; k < pointCount; ++k)
        connect(device->getParameter(firstAddress + k), &Parameter::valueSet, this, pointSlots[k]);
    for (int k = 0; k < pointCount; ++k)
        followRegister(k);
}

void TemperatureFeedbackGraph::setSpinboxesReadOnly(bool readOnly)
{
    for (DraggableGraphSpinbox* box : spinboxes) {
        if (box)
            box->setReadOnly(readOnly);
    }
}

void TemperatureFeedbackGraph::followRegister(int index)
{
    const int address = firstAddress + index;
    DraggableGraphNode* node = nodes[index];
    const double voltage = GraphBinding::value(device, address);
    if (GraphBinding::atValue(voltage, node->getY()))
        return;
    node->setYPosition(voltage);
    spinboxes[index]->setValue(node->getY());
}

void TemperatureFeedbackGraph::node0ParamChanged()
{
    followRegister(0);
}

void TemperatureFeedbackGraph::node1ParamChanged()
{
    followRegister(1);
}

void TemperatureFeedbackGraph::node2ParamChanged()
{
    followRegister(2);
}

void TemperatureFeedbackGraph::node3ParamChanged()
{
    followRegister(3);
}

void TemperatureFeedbackGraph::node4ParamChanged()
{
    followRegister(4);
}

void TemperatureFeedbackGraph::node5ParamChanged()
{
    followRegister(5);
}
