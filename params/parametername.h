#ifndef PARAMETERNAME_H
#define PARAMETERNAME_H

#include <QListWidgetItem>

// A list item that carries a parameter key: a register address and a bit
// (-1 for the whole register, 0..15 for one bit of a bit vector).
class ParameterName : public QListWidgetItem
{
public:
    ParameterName(const QString& name, int address, int bit, QListWidget* list);

    int getAddress() const { return m_address; }
    int getBit() const { return m_bit; }

private:
    int m_address;
    int m_bit;
};

#endif // PARAMETERNAME_H
