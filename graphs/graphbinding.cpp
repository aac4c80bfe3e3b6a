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

bool isEdit(Kelvara* device, int address)
{
    if (takingControllerValues(device))
        return false;
    if (!device->holdsControllerValue(address))
        return true;
    // A value worked out anew under another scale is not set back.
    return !device->getParameter(address)->isRecomputing() && device->fallsShortOfOrder(address);
}

bool isOwnEdit(Kelvara* device, int address)
{
    const MovedValues* moves = movedValues(device);
    return isEdit(device, address) && moves && moves->isAtOrigin(address);
}

void hold(Kelvara* device, int address, double value, bool tell)
{
    Parameter* parameter = device->getParameter(address);
    const int entered = parameter->getRegisterValue();
    write(device, address, value);
    MovedValues* moves = movedValues(device);
    if (!moves || !device->isValid() || parameter->getRegisterValue() == entered)
        return;
    if (tell)
        moves->noteEnteredValue(address, entered);
    else
        moves->noteHeldByOrder(address);
}

void writeOwn(Kelvara* device, int address, double value)
{
    MovedValues* moves = movedValues(device);
    if (moves)
        moves->beginOwnStore(address);
    write(device, address, value);
    if (moves)
        moves->endOwnStore();
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
