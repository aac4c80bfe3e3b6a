#ifndef VALUEORDERS_H
#define VALUEORDERS_H

#include <QVector>

#include <functional>

// The orders that widgets keep among the values of a few registers: the
// battery-voltage thumbs 0.5 V apart, the throttle's maximum above its start
// and dead band, the brake values apart. Each order tells how far display
// values fall short of it. The device model keeps them where it moves
// values by itself, and the widgets where a value is set back to the
// controller's.
class ValueOrders
{
public:
    // The display value of a register, as an order is to take it.
    using ValueOf = std::function<double(int address)>;
    // How far the values fall short of the order: 0 or less where they keep it.
    using Shortfall = std::function<double(const ValueOf& valueOf)>;

    struct Order
    {
        QVector<int> addresses;
        Shortfall shortfall;
    };

    // Values short of an order by no more than display values are off in
    // binary keep it.
    static bool keeps(double shortfall);

    void add(const QVector<int>& addresses, const Shortfall& shortfall);
    // The orders the register is one of.
    QVector<Order> ordersOf(int address) const;

private:
    QVector<Order> orders;
};

#endif // VALUEORDERS_H
