#ifndef COMMTIMEOUTADJUST_H
#define COMMTIMEOUTADJUST_H

#include <QDialog>
#include <QSerialPort>
#include <QString>

class Kelvara;
class KelvaraCom;
class Parameter;
class QSettings;
class SerialPortListener;
class Ui_CommTimeoutAdjust;

// "1200 bit/s" for 1200: how the dialog names a baud rate.
QString portformat(QSerialPort::BaudRate rate);

// The communication preferences: the link's reply timeout, the suite's baud
// rate, the controller's baud rate (register 4) and whether Bluetooth serial
// ports are offered. OK applies and stores them; Cancel puts register 4 back.
//
// Shown with show() (application-modal, the caller goes on at once); a new
// dialog is built for each opening and deletes itself when it closes.
class CommTimeoutAdjust : public QDialog
{
    Q_OBJECT

public:
    CommTimeoutAdjust(KelvaraCom* link, Kelvara* model, SerialPortListener* listener,
                      QSettings* settings, QWidget* parent = nullptr);
    ~CommTimeoutAdjust() override;

    // Large enough for the slowest link, small enough that the doubled
    // retry timeouts and their 4x maximum stay far from int overflow.
    static constexpr int maximumTimeoutMs = 60000;

    // 5120000 / rate + 1 ms, rounded up to a multiple of 10.
    static int minimumTimeoutFor(int baudRate);
    // A timeout from elsewhere (the settings file) held to what the dialog
    // allows at that rate.
    static int boundedTimeout(int ms, int baudRate);
    // Raises the link's timeout to what a frame takes at baudRate; one long
    // enough stays as it is, with its retries.
    static void holdToRate(KelvaraCom* link, int baudRate);

public slots:
    void okPressed();
    void cancelPressed();
    void validate();
    void setBaud(int index);
    void setBaudDisplay(double value);

private:
    // The timeout shown, put onto the limits at the suite's rate.
    void holdTimeoutToLimits();
    void fillSuiteBaudList();
    void fillControllerBaudList();
    int controllerBaudIndexOf(int key) const;

    Ui_CommTimeoutAdjust* ui;
    KelvaraCom* link;
    SerialPortListener* listener;
    Kelvara* model;
    Parameter* baudParameter;
    int initialBaudIndex;
    int initialBaudRegister;
    int minimumTimeout = 0;
    QSettings* settings;
};

#endif // COMMTIMEOUTADJUST_H
