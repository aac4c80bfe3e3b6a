#ifndef VALUEORDERS_H
#define VALUEORDERS_H

#include <QVector>

#include <functional>

// The orders that widgets keep among the values of a few registers: the
// battery-voltage thumbs 0.5 V apart, the throttle's maximum above its start
// and dead band, the brake values apart. Each order tells how far display
// values fall short of it, and how it settles the values once one of them
// was set: the widget's rule, pushing the others or holding that one back.
// The device model settles them as it works out the page's values.
class ValueOrders
{
public:
    // The display value of a register, as an order is to take it.
    using ValueOf = std::function<double(int address)>;
    // How far the values fall short of the order: 0 or less where they keep it.
    using Shortfall = std::function<double(const ValueOf& valueOf)>;
    // The register's value was set (by the user, a file, a limit): the
    // others are pushed, or it is held back, so that the order holds.
    using Settle = std::function<void(int changed)>;

    struct Order
    {
        QVector<int> addresses;
        Shortfall shortfall;
        Settle settle;
    };

    // Values short of an order by no more than display values are off in
    // binary keep it.
    static bool keeps(double shortfall);

    void add(const QVector<int>& addresses, const Shortfall& shortfall, const Settle& settle);
    // The orders the register is one of.
    QVector<Order> ordersOf(int address) const;
    // Every register of any order.
    QVector<int> members() const;

private:
    QVector<Order> orders;
};

#endif // VALUEORDERS_H
