#ifndef ENUMPARAMETERDISPLAY_H
#define ENUMPARAMETERDISPLAY_H

#include <QWidget>

class EnumParameter;
class Ui_EnumParameterDisplay;

// An editor row for an enum parameter: one combo-box item "[key]text" per
// named value, bound both ways to the parameter.
class EnumParameterDisplay : public QWidget
{
    Q_OBJECT

public:
    explicit EnumParameterDisplay(EnumParameter* parameter, QWidget* parent = nullptr);
    ~EnumParameterDisplay() override;

public slots:
    // Writes the value of the item at index into the parameter.
    void setValue(int index);
    // Selects the item of that value; none when no item has it.
    void setDisplay(double value);

private:
    Ui_EnumParameterDisplay* ui;
    EnumParameter* parameter;
};

#endif // ENUMPARAMETERDISPLAY_H
