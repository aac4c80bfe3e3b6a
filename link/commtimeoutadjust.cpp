#include "commtimeoutadjust.h"
#include "screenfit.h"
#include "ui_commtimeoutadjust.h"

#include "kelvara.h"
#include "kelvaracom.h"
#include "parameter.h"
#include "revertingwrite.h"
#include "serialportlistener.h"
#include "typingrange.h"

#include <QComboBox>
#include <QSettings>
#include <QSignalBlocker>

namespace {

const int baudRegister = 4;

const QSerialPort::BaudRate suiteBaudRates[] = {
    QSerialPort::Baud1200,  QSerialPort::Baud9600,  QSerialPort::Baud19200,
    QSerialPort::Baud38400, QSerialPort::Baud57600, QSerialPort::Baud115200,
};

} // namespace

QString portformat(QSerialPort::BaudRate rate)
{
    return QString::number(static_cast<int>(rate)) + QStringLiteral(" bit/s");
}

CommTimeoutAdjust::CommTimeoutAdjust(KelvaraCom* link, Kelvara* model, SerialPortListener* listener,
                                     QSettings* settings, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui_CommTimeoutAdjust)
    , link(link)
    , listener(listener)
    , model(model)
    , baudParameter(nullptr)
    , initialBaudIndex(-1)
    , initialBaudRegister(0)
    , settings(settings)
{
    ui->setupUi(this);
    // Each opening builds a fresh dialog; a closed one must not linger and
    // keep following register 4.
    setAttribute(Qt::WA_DeleteOnClose);
    baudParameter = model->getParameter(baudRegister);

    // A typed value beyond a limit gives the limit, as on the pages: the box
    // takes more than the limits allow, and a complete value is put onto
    // them (validate() sets the lower one).
    double low = 0.0;
    double high = 0.0;
    TypingRange::around(0, maximumTimeoutMs, &low, &high);
    ui->timeBox->setRange(int(low), int(high));
    ui->timeBox->setKeyboardTracking(false);
    // The current timeout, which retries may have raised above the default.
    ui->timeBox->setValue(link->getTimeoutTime());
    ui->timeBox->setSuffix(QStringLiteral(" ms"));
    connect(ui->timeBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &CommTimeoutAdjust::holdTimeoutToLimits);
    // The drop-downs show their rates in the timeout box's font.
    ui->baudbox->setFont(ui->timeBox->font());
    ui->device_baud_box->setFont(ui->timeBox->font());

    fillSuiteBaudList();
    fillControllerBaudList();

    connect(ui->device_baud_box, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CommTimeoutAdjust::setBaud);
    if (baudParameter)
        connect(baudParameter, &Parameter::displayChanged, this,
                &CommTimeoutAdjust::setBaudDisplay);

    ui->label_bt_mac->hide();
    ui->widget_bt_mac->hide();
    ui->enable_bluetooth_mac_box->setChecked(!listener->getIgnoreBluetooth());
    ui->label_bt_mac->show();
    ui->widget_bt_mac->show();

    connect(ui->baudbox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CommTimeoutAdjust::validate);
    validate();
    connect(this, &QDialog::accepted, this, &CommTimeoutAdjust::okPressed);
    connect(this, &QDialog::rejected, this, &CommTimeoutAdjust::cancelPressed);
    ScreenFit::scaleDialog(this);
}

CommTimeoutAdjust::~CommTimeoutAdjust()
{
    delete ui;
}

int CommTimeoutAdjust::minimumTimeoutFor(int baudRate)
{
    if (baudRate <= 0)
        return 0;
    const int minimum = 5120000 / baudRate + 1;
    return (minimum + 9) / 10 * 10;
}

int CommTimeoutAdjust::boundedTimeout(int ms, int baudRate)
{
    return qBound(minimumTimeoutFor(baudRate), ms, int(maximumTimeoutMs));
}

void CommTimeoutAdjust::holdToRate(KelvaraCom* link, int baudRate)
{
    if (link->getTimeoutTime() < minimumTimeoutFor(baudRate))
        link->setDefaultTimeout(minimumTimeoutFor(baudRate));
}

void CommTimeoutAdjust::fillSuiteBaudList()
{
    for (QSerialPort::BaudRate rate : suiteBaudRates)
        ui->baudbox->addItem(portformat(rate), static_cast<int>(rate));

    // A rate that is none of the list leaves the first entry selected.
    const int current =
        ui->baudbox->findText(portformat(static_cast<QSerialPort::BaudRate>(link->getBaud())));
    if (current >= 0)
        ui->baudbox->setCurrentIndex(current);
}

void CommTimeoutAdjust::fillControllerBaudList()
{
    const QMap<int, QString>* labels = baudParameter ? baudParameter->getEnumDefs() : nullptr;
    if (labels) {
        for (auto it = labels->cbegin(); it != labels->cend(); ++it)
            ui->device_baud_box->addItem(it.value() + QStringLiteral(" bit/s"), it.key());
    }

    initialBaudIndex = -1;
    if (baudParameter) {
        initialBaudRegister = baudParameter->getRegisterValue();
        const double value = baudParameter->getValue();
        for (int i = 0; i < ui->device_baud_box->count(); ++i) {
            if (ui->device_baud_box->itemData(i).toInt() == value) {
                initialBaudIndex = i;
                break;
            }
        }
    }
    ui->device_baud_box->setCurrentIndex(initialBaudIndex);
}

int CommTimeoutAdjust::controllerBaudIndexOf(int key) const
{
    return ui->device_baud_box->findData(key);
}

void CommTimeoutAdjust::validate()
{
    minimumTimeout = minimumTimeoutFor(ui->baudbox->currentData().toInt());
    // A smaller value rises to the new minimum; others stay.
    holdTimeoutToLimits();
}

void CommTimeoutAdjust::holdTimeoutToLimits()
{
    ui->timeBox->setValue(qBound(minimumTimeout, ui->timeBox->value(), int(maximumTimeoutMs)));
}

void CommTimeoutAdjust::setBaud(int index)
{
    // No selection, or an entry without a key: register 4 must never get a
    // code the controller does not know, or it is lost after a power cycle.
    if (index < 0 || !baudParameter)
        return;
    const QVariant data = ui->device_baud_box->itemData(index);
    bool isNumber = false;
    const int key = data.toInt(&isNumber);
    if (!data.isValid() || !isNumber)
        return;

    baudParameter->setValue(key);
    emit baudParameter->valueChanged();
    emit baudParameter->displayChanged(key);
}

void CommTimeoutAdjust::setBaudDisplay(double value)
{
    // Only mirrors the register: a value that is no entry clears the
    // selection, and that must not come back into the register as a choice.
    const QSignalBlocker blocker(ui->device_baud_box);
    ui->device_baud_box->setCurrentIndex(controllerBaudIndexOf(static_cast<int>(value)));
}

void CommTimeoutAdjust::okPressed()
{
    // What is typed counts, put onto the limits, however OK was reached.
    ui->timeBox->interpretText();
    const int timeout = ui->timeBox->value();
    link->setDefaultTimeout(timeout);
    settings->setValue(QStringLiteral("commTimeout"), timeout);

    const bool bluetooth = ui->enable_bluetooth_mac_box->isChecked();
    listener->setIgnoreBluetooth(!bluetooth);
    settings->setValue(QStringLiteral("enableMacBluetoothSerial"), bluetooth);

    const int suiteBaud = ui->baudbox->currentData().toInt();
    if (suiteBaud != static_cast<int>(link->getBaud())) {
        link->setBaud(static_cast<QSerialPort::BaudRate>(suiteBaud));
        settings->setValue(QStringLiteral("commBaudrate"), suiteBaud);
    }

    // After the suite's rate, so a new controller rate goes out at the new
    // suite rate. Without a selection the register holds no known code. A
    // rate the controller did not take is not kept for a later save.
    const int controllerIndex = ui->device_baud_box->currentIndex();
    if (controllerIndex >= 0 && controllerIndex != initialBaudIndex)
        RevertingWrite::start(link, model, baudRegister);
}

void CommTimeoutAdjust::cancelPressed()
{
    // With no entry matching at opening there is no entry to go back to:
    // a rate chosen here is undone by the register's own earlier value, or
    // the next save would send the cancelled rate to the controller.
    if (initialBaudIndex < 0 && ui->device_baud_box->currentIndex() >= 0 && baudParameter) {
        baudParameter->setRegisterValue(initialBaudRegister);
        return;
    }
    // A changed selection goes through setBaud and restores register 4.
    ui->device_baud_box->setCurrentIndex(initialBaudIndex);
}
