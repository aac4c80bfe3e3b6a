#include "graphbinding.h"

#include "draggablegraphnode.h"
#include "kelvara.h"
#include "parameter.h"

#include <QScopedValueRollback>
#include <QtGlobal>

#include <cmath>

namespace GraphBinding {

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

void followX(Kelvara* device, DraggableGraphNode* node, int address, bool* writingBack)
{
    const double registerValue = value(device, address);
    if (*writingBack || atValue(registerValue, node->getX()))
        return;
    node->setXPosition(registerValue);
    QScopedValueRollback<bool> guard(*writingBack, true);
    write(device, address, node->getX());
}

void writeX(Kelvara* device, DraggableGraphNode* node, int address)
{
    if (!atValue(value(device, address), node->getX()))
        write(device, address, node->getX());
}

} // namespace GraphBinding
