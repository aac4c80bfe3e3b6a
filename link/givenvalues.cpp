#include "givenvalues.h"

#include <algorithm>

void GivenValues::give(int address, Value value)
{
    value.order = ++lastGiven;
    values.insert(address, value);
}

void GivenValues::forget(int address)
{
    values.remove(address);
}

const GivenValues::Value* GivenValues::find(int address) const
{
    const auto it = values.constFind(address);
    return it == values.constEnd() ? nullptr : &it.value();
}

QVector<int> GivenValues::inOrderOfGiving() const
{
    QVector<int> addresses = values.keys().toVector();
    std::sort(addresses.begin(), addresses.end(),
              [this](int a, int b) { return find(a)->order < find(b)->order; });
    return addresses;
}
