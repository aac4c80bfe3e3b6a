#ifndef SELECTPARAMETERS_H
#define SELECTPARAMETERS_H

#include <QDialog>
#include <QList>
#include <QPair>

class Kelvara;
class QListWidgetItem;
class Ui_SelectParameters;

// The modal picker of parameters to edit: every name the device model
// knows, each bit of a bit vector as an entry of its own, sorted by name or
// by address. "Add" or a double-click hands the chosen keys (address, bit;
// bit -1 for a whole parameter) over and closes; closing destroys it.
class SelectParameters : public QDialog
{
    Q_OBJECT

public:
    SelectParameters(Kelvara* model, QWidget* parent = nullptr);
    ~SelectParameters() override;

signals:
    void selectedParameters(QList<QPair<int, int>> keys);

public slots:
    void signalParametersAndClose();
    void parameterDoubleClicked(QListWidgetItem* item);
    void sort_by_address();
    void sort_by_name();

private:
    QString marksOf(int address) const;

    Ui_SelectParameters* ui;
    Kelvara* model;
};

#endif // SELECTPARAMETERS_H
