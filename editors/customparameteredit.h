#ifndef CUSTOMPARAMETEREDIT_H
#define CUSTOMPARAMETEREDIT_H

#include <QDialog>
#include <QList>
#include <QPair>

#include <functional>

class DraggableTooltipManager;
class Kelvara;
class Parameter;
class Ui_CustomParameterEdit;

// The "Custom Parameter Edit" dialog: a page of editor rows for parameters
// the user picks, each with a remove button. "Save" and "Read" ask the
// owner to write or read all parameters; the dialog itself never talks to
// the controller. Hiding it keeps its rows.
class CustomParameterEdit : public QDialog
{
    Q_OBJECT

public:
    CustomParameterEdit(Kelvara* model, QWidget* parent = nullptr);
    ~CustomParameterEdit() override;

    // One row each; a key that already has a row is ignored.
    void addParameter(Parameter* parameter);
    void addEnumParameter(Parameter* parameter);
    void addBitParameter(Parameter* parameter, int bit);
    // Shows the legend lines that the rows on the page call for.
    void check_for_level_3_and_dependent();

signals:
    void write();
    void read();

public slots:
    void showParameters();
    void addSelectedParameters(QList<QPair<int, int>> addresses);
    void removeParameter(int addr);
    void removeEnumParameter(int addr);
    void removeBitParameter(int addr, int bit);

private:
    void insertRow(QWidget* row, const std::function<void()>& forgetKey);
    void finishEditing();

    Ui_CustomParameterEdit* ui;
    Kelvara* model;
    QList<int> parameterAddresses;
    QList<int> enumAddresses;
    QList<QPair<int, int>> bitKeys;
    DraggableTooltipManager* tooltipManager;
};

#endif // CUSTOMPARAMETEREDIT_H
