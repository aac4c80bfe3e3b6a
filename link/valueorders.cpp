#include "valueorders.h"

namespace {

const double shortfallTolerance = 1e-9;

} // namespace

bool ValueOrders::keeps(double shortfall)
{
    return shortfall <= shortfallTolerance;
}

void ValueOrders::add(const QVector<int>& addresses, const Shortfall& shortfall,
                      const Settle& settle)
{
    orders.append({addresses, shortfall, settle});
}

QVector<ValueOrders::Order> ValueOrders::ordersOf(int address) const
{
    QVector<Order> of;
    for (const Order& order : orders) {
        if (order.addresses.contains(address))
            of.append(order);
    }
    return of;
}

QVector<int> ValueOrders::members() const
{
    QVector<int> addresses;
    for (const Order& order : orders) {
        for (const int address : order.addresses) {
            if (!addresses.contains(address))
                addresses.append(address);
        }
    }
    return addresses;
}
