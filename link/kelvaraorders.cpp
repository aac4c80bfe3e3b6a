// The device model and the orders widgets keep among values.

#include "kelvara.h"

void Kelvara::keepOrder(const QVector<int>& addresses, const ValueOrders::Shortfall& shortfall,
                        const ValueOrders::Settle& settle)
{
    valueOrders.add(addresses, shortfall, settle);
    movedValues->ordersChanged();
}
