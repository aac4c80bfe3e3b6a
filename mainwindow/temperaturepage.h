#ifndef TEMPERATUREPAGE_H
#define TEMPERATUREPAGE_H

#include <QObject>

class Kelvara;
class KelvaraCom;
class TemperatureVoltageMapping;
class Ui_MainWindow;

// The controls of the Temperature page: enabled by the sensing box, the
// known sensors' voltage curves written into registers 93 to 98, and the
// motor temperature read on request. Whether the page is among the tabs is
// the window's to decide.
class TemperaturePage : public QObject
{
    Q_OBJECT

public:
    // Neither the form nor the model nor the link is owned. Made before the
    // page's rows are bound, so that the sensing box reports a tick here
    // before its row binding sets the bit.
    TemperaturePage(Ui_MainWindow* ui, Kelvara* model, KelvaraCom* com, QObject* parent);

    // The sensor list, ending with the controller's own curve; once.
    void initTemperatureSensors();

public slots:
    void on_TempSensingBox_stateChanged(int arg1);
    void tempSensorTypeChanged(int type);
    void showTempSensorControllerVals();
    void readMotorTemp();

private:
    void setVoltageBoxesEnabled(bool enabled);
    void putBackCurrentValues();

    Ui_MainWindow* ui;
    Kelvara* model;
    KelvaraCom* com;
    TemperatureVoltageMapping* temperatureMapping = nullptr;
};

#endif // TEMPERATUREPAGE_H
