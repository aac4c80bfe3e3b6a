// The device model and the orders widgets keep among values.

#include "kelvara.h"

#include "parameter.h"

#include <QtGlobal>

void Kelvara::keepOrder(const QVector<int>& addresses, const ValueOrders::Shortfall& shortfall)
{
    valueOrders.add(addresses, shortfall);
}

bool Kelvara::holdsControllerValue(int address) const
{
    return holdsControllerValue(address, getParameter(address)->getRegisterValue());
}

// The very raw value, or within the limits one that shows as it does.
bool Kelvara::holdsControllerValue(int address, int raw) const
{
    if (!valid)
        return false;
    const auto it = controllerRamValues.constFind(address);
    if (it == controllerRamValues.constEnd())
        return false;
    const Parameter* parameter = getParameter(address);
    return raw == *it
        || (parameter->isWithinLimits(*it) && parameter->asValue(raw) == parameter->asValue(*it));
}

bool Kelvara::fallsShortOfOrder(int address) const
{
    return !keepsOrders(address, [this](int a) {
        const Parameter* parameter = getParameter(a);
        return parameter->unlimitedValue(parameter->getRegisterValue());
    });
}

// The controller's own values may break an order themselves (Save leaves
// them as it holds them); values differing from them must break it no
// further. Each value as the controller means it, also one beyond the
// limits, which Save leaves as it is.
bool Kelvara::keepsOrders(int address, const ValueOrders::ValueOf& valueOf) const
{
    const ValueOrders::ValueOf held = [this](int a) {
        const Parameter* parameter = getParameter(a);
        return parameter->unlimitedValue(
            controllerRamValues.value(a, parameter->getRegisterValue()));
    };
    const QVector<ValueOrders::Order> orders = valueOrders.ordersOf(address);
    for (const ValueOrders::Order& order : orders) {
        if (!ValueOrders::keeps(order.shortfall(valueOf) - qMax(0.0, order.shortfall(held))))
            return false;
    }
    return true;
}

bool Kelvara::putBackKeepsOrder(int address, int raw) const
{
    return keepsOrders(address, [this, address, raw](int a) {
        const Parameter* parameter = getParameter(a);
        return parameter->unlimitedValue(a == address ? raw : parameter->getRegisterValue());
    });
}
