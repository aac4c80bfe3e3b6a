#ifndef PARAMETERDISPLAY_H
#define PARAMETERDISPLAY_H

#include <QWidget>

class Parameter;
class Ui_ParameterDisplay;

// An editor row for a numeric parameter: address, name with its marks and a
// spin box bound both ways to the parameter's display value. A typed value
// is taken on Enter or when the box loses focus.
class ParameterDisplay : public QWidget
{
    Q_OBJECT

public:
    explicit ParameterDisplay(Parameter* parameter, QWidget* parent = nullptr);
    ~ParameterDisplay() override;

private:
    void showValue(double value);

    Ui_ParameterDisplay* ui;
    Parameter* m_parameter;
};

#endif // PARAMETERDISPLAY_H
