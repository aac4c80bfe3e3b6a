#ifndef BITPARAMETERDISPLAY_H
#define BITPARAMETERDISPLAY_H

#include <QWidget>

class BitVector;
class Ui_BitParameterDisplay;

// An editor row for one bit of a bit-vector parameter: a check box bound
// both ways to that bit. Several rows may share one parameter.
class BitParameterDisplay : public QWidget
{
    Q_OBJECT

public:
    BitParameterDisplay(BitVector* parameter, int bit, QWidget* parent = nullptr);
    ~BitParameterDisplay() override;

public slots:
    // Writes a check state (0 or 2) into the bit.
    void setValue(int value);
    // Shows the bit's current state; the value is not used.
    void setDisplay(double);

private:
    Ui_BitParameterDisplay* ui;
    BitVector* parameter;
    int bit;
};

#endif // BITPARAMETERDISPLAY_H
