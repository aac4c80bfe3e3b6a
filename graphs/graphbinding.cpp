#include "graphbinding.h"

#include "draggablegraphnode.h"
#include "kelvara.h"
#include "movedvalues.h"
#include "parameter.h"

#include <QtGlobal>

#include <cmath>

namespace GraphBinding {

namespace {

// The model's record of moved values, a child of the model.
MovedValues* movedValues(Kelvara* device)
{
    return device->findChild<MovedValues*>();
}

} // namespace

double value(Kelvara* device, int address)
{
    return device->getParameter(address)->getValue();
}

bool takingControllerValues(Kelvara* device)
{
    return device->isTakingControllerValues();
}

void write(Kelvara* device, int address, double value)
{
    if (takingControllerValues(device) || !std::isfinite(value))
        return;
    device->getParameter(address)->setValue(value);
}

bool atValue(double expression, double nodeValue)
{
    return qFuzzyCompare(1 + expression, 1 + nodeValue);
}

bool rulesActOnChange(Kelvara* device)
{
    return !device->settlesOrders() && !takingControllerValues(device);
}

void writeOwn(Kelvara* device, int address, double value)
{
    if (!takingControllerValues(device) && std::isfinite(value))
        device->setDraggedValue(address, value);
}

void placeX(DraggableGraphNode* node, double x)
{
    if (!atValue(x, node->getX()))
        node->setXPosition(x);
}

void writeDragged(Kelvara* device, DraggableGraphNode* node, double v, int address, double value)
{
    if (node->isHeld() && !atValue(v, node->getX()))
        writeOwn(device, address, value);
}

void holdMoveReport(Kelvara* device, bool held, bool backAtStart)
{
    if (MovedValues* moves = movedValues(device))
        moves->holdReport(held, backAtStart);
}

} // namespace GraphBinding
