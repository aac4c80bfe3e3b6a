#include "commtimeoutadjust.h"
#include "controllersimulator.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "parameter.h"
#include "portenumerator.h"
#include "serialportlistener.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const int baudRegister = 4;
const int flashRegister = 511;

// No hardware ports: the watcher reports only its empty entry.
class NoPorts : public PortEnumerator
{
protected:
    QList<SerialPortEntry> systemPorts() const override { return {}; }
};

QByteArray hexFrame(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

} // namespace

class TestCommTimeoutAdjust : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void formContents();
    void minimumTimeout_data();
    void minimumTimeout();
    void switchingRateRaisesAndKeepsTimeout();
    void linkRateOutsideTheList();

    void okWritesTimeoutAndBluetoothOnly();
    void okStoresChangedSuiteRate();
    void reselectingInitialControllerRateWritesNothing();
    void cancelRestoresRegister4AndWritesNoSettings();
    void cancelRestoresRegister4WithoutInitialEntry();

    void registerValueOutsideTheListIsKept();
    void closedDialogIsDeletedAndStopsFollowing();

    void controllerRateChangeIsWrittenAndSaved();

private:
    CommTimeoutAdjust* openDialog();
    template <typename T> T* child(const char* name) const
    {
        T* widget = dialog->findChild<T*>(QString::fromLatin1(name));
        Q_ASSERT(widget);
        return widget;
    }
    QStringList storedKeys() const;
    Parameter* baudParameter() const { return model->getParameter(baudRegister); }

    std::unique_ptr<Kelvara> model;
    ControllerSimulator simulator;
    std::unique_ptr<KelvaraCom> link;
    std::unique_ptr<SerialPortListener> listener;
    std::unique_ptr<QTemporaryDir> settingsDir;
    std::unique_ptr<QSettings> settings;
    QPointer<CommTimeoutAdjust> dialog;
};

void TestCommTimeoutAdjust::initTestCase()
{
    model = std::make_unique<Kelvara>();
    QVERIFY2(simulator.start(), qPrintable(simulator.errorString()));
    QVERIFY2(simulator.loadImage(KELVARA_SIM_IMAGE), qPrintable(simulator.errorString()));
}

void TestCommTimeoutAdjust::init()
{
    baudParameter()->setRegisterValue(1152);
    simulator.setRegisterValue(baudRegister, 1152);
    simulator.clearLog();

    link = std::make_unique<KelvaraCom>(model.get());
    link->setCurrentPortName(simulator.portName());
    link->setDefaultTimeout(50);
    listener = std::make_unique<SerialPortListener>(std::make_unique<NoPorts>());

    settingsDir = std::make_unique<QTemporaryDir>();
    QVERIFY(settingsDir->isValid());
    settings = std::make_unique<QSettings>(settingsDir->filePath("preferences.ini"),
                                           QSettings::IniFormat);
}

void TestCommTimeoutAdjust::cleanup()
{
    delete dialog.data();
    settings.reset();
    settingsDir.reset();
    listener.reset();
    link.reset();
}

CommTimeoutAdjust* TestCommTimeoutAdjust::openDialog()
{
    dialog = new CommTimeoutAdjust(link.get(), model.get(), listener.get(), settings.get(),
                                   nullptr);
    return dialog;
}

QStringList TestCommTimeoutAdjust::storedKeys() const
{
    settings->sync();
    QSettings stored(settings->fileName(), QSettings::IniFormat);
    QStringList keys = stored.allKeys();
    keys.sort();
    return keys;
}

// The rate lists carry the rates and the register-4 codes the dialog writes.
void TestCommTimeoutAdjust::formContents()
{
    openDialog();
    QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
    const auto items = [](const QComboBox* box) {
        QStringList texts;
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i) + "=" + box->itemData(i).toString();
        return texts;
    };
    QCOMPARE(items(child<QComboBox>("baudbox")),
             QStringList({"1200 bit/s=1200", "9600 bit/s=9600", "19200 bit/s=19200", "38400 bit/s=38400",
                          "57600 bit/s=57600", "115200 bit/s=115200"}));
    QCOMPARE(child<QComboBox>("baudbox")->currentIndex(), 5);
    QCOMPARE(items(child<QComboBox>("device_baud_box")),
             QStringList({"1200 bit/s=12", "9600 bit/s=96", "19200 bit/s=192", "38400 bit/s=384",
                          "57600 bit/s=576", "115200 bit/s=1152"}));
    QCOMPARE(child<QComboBox>("device_baud_box")->currentIndex(), 5);
    QCOMPARE(child<QSpinBox>("timeBox")->value(), 50);
    QCOMPARE(child<QSpinBox>("timeBox")->maximum(), CommTimeoutAdjust::maximumTimeoutMs);
    QCOMPARE(child<QLabel>("label_defaults")->text(),
             QString("Default value for Communication Timeout: 250ms.\n"
                     "Default value for Baudrate: 115200 bit/s."));
    // The Bluetooth choice shows the watcher's setting.
    QVERIFY(child<QCheckBox>("enable_bluetooth_mac_box")->isChecked());
}

void TestCommTimeoutAdjust::minimumTimeout_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("minimum");
    QTest::newRow("1200") << 1200 << 4270;
    QTest::newRow("9600") << 9600 << 540;
    QTest::newRow("19200") << 19200 << 270;
    QTest::newRow("38400") << 38400 << 140;
    QTest::newRow("57600") << 57600 << 90;
    QTest::newRow("115200") << 115200 << 50;
}

void TestCommTimeoutAdjust::minimumTimeout()
{
    QFETCH(int, rate);
    QFETCH(int, minimum);

    // Opened at that rate, and switched to it from 115200 bit/s.
    link->setBaud(static_cast<QSerialPort::BaudRate>(rate));
    openDialog();
    auto* timeBox = child<QSpinBox>("timeBox");
    QCOMPARE(timeBox->minimum(), minimum);
    QCOMPARE(timeBox->value(), qMax(50, minimum));
    delete dialog.data();

    link->setBaud(QSerialPort::Baud115200);
    openDialog();
    timeBox = child<QSpinBox>("timeBox");
    auto* suite = child<QComboBox>("baudbox");
    suite->setCurrentIndex(suite->findData(rate));
    QCOMPARE(timeBox->minimum(), minimum);
    QCOMPARE(timeBox->value(), qMax(50, minimum));
}

void TestCommTimeoutAdjust::switchingRateRaisesAndKeepsTimeout()
{
    openDialog();
    auto* timeBox = child<QSpinBox>("timeBox");
    auto* suite = child<QComboBox>("baudbox");
    timeBox->setValue(300);

    suite->setCurrentIndex(0); // 1200 bit/s
    QCOMPARE(timeBox->value(), 4270);
    suite->setCurrentIndex(5); // back to 115200 bit/s
    QCOMPARE(timeBox->minimum(), 50);
    QCOMPARE(timeBox->value(), 4270);

    // A value above the new minimum is kept.
    timeBox->setValue(1000);
    suite->setCurrentIndex(1); // 9600 bit/s
    QCOMPARE(timeBox->value(), 1000);

    // No value above the cap, however the retries double it.
    timeBox->setValue(999999999);
    QCOMPARE(timeBox->value(), 60000);
}

void TestCommTimeoutAdjust::linkRateOutsideTheList()
{
    QVERIFY(link->setBaud(QSerialPort::Baud4800));
    openDialog();
    QCOMPARE(child<QComboBox>("baudbox")->currentText(), QString("1200 bit/s"));
    QCOMPARE(child<QSpinBox>("timeBox")->minimum(), 4270);

    dialog->accept();
    QCOMPARE(static_cast<int>(link->getBaud()), 1200);
    QCOMPARE(storedKeys(), QStringList({"commBaudrate", "commTimeout", "enableMacBluetoothSerial"}));
    QCOMPARE(settings->value("commBaudrate").toInt(), 1200);
    QCOMPARE(settings->value("commTimeout").toInt(), 4270);
}

void TestCommTimeoutAdjust::okWritesTimeoutAndBluetoothOnly()
{
    link->setTimeoutTime(400); // raised by retries; the default stays 50
    openDialog();
    QCOMPARE(child<QSpinBox>("timeBox")->value(), 400);
    child<QCheckBox>("enable_bluetooth_mac_box")->setChecked(false);
    QSignalSpy rescans(listener.get(), &SerialPortListener::onDevicesConnected);

    child<QDialogButtonBox>("buttonBox")->button(QDialogButtonBox::Ok)->click();

    QCOMPARE(storedKeys(), QStringList({"commTimeout", "enableMacBluetoothSerial"}));
    QCOMPARE(settings->value("commTimeout").toInt(), 400);
    QCOMPARE(settings->value("enableMacBluetoothSerial").toBool(), false);
    QCOMPARE(link->getTimeoutTime(), 400);
    QVERIFY(listener->getIgnoreBluetooth());
    QCOMPARE(rescans.count(), 1);
    QCOMPARE(static_cast<int>(link->getBaud()), 115200);
    // Register 4 was not touched, so nothing goes to the controller.
    QCOMPARE(link->getMode(), 3);
}

void TestCommTimeoutAdjust::okStoresChangedSuiteRate()
{
    openDialog();
    auto* suite = child<QComboBox>("baudbox");
    suite->setCurrentIndex(suite->findData(57600));
    child<QCheckBox>("enable_bluetooth_mac_box")->setChecked(true);
    dialog->accept();

    QCOMPARE(static_cast<int>(link->getBaud()), 57600);
    QCOMPARE(storedKeys(), QStringList({"commBaudrate", "commTimeout", "enableMacBluetoothSerial"}));
    QCOMPARE(settings->value("commBaudrate").toInt(), 57600);
    QCOMPARE(settings->value("enableMacBluetoothSerial").toBool(), true);
    QVERIFY(!listener->getIgnoreBluetooth());
}

void TestCommTimeoutAdjust::reselectingInitialControllerRateWritesNothing()
{
    openDialog();
    auto* controller = child<QComboBox>("device_baud_box");
    controller->setCurrentIndex(1);
    QCOMPARE(baudParameter()->getRegisterValue(), 96);
    controller->setCurrentIndex(5);
    QCOMPARE(baudParameter()->getRegisterValue(), 1152);

    dialog->accept();
    QCOMPARE(link->getMode(), 3);
    QVERIFY(!simulator.waitForRequests(1, 300));
}

void TestCommTimeoutAdjust::cancelRestoresRegister4AndWritesNoSettings()
{
    openDialog();
    child<QSpinBox>("timeBox")->setValue(800);
    auto* suite = child<QComboBox>("baudbox");
    suite->setCurrentIndex(suite->findData(9600));
    child<QCheckBox>("enable_bluetooth_mac_box")->setChecked(false);
    child<QComboBox>("device_baud_box")->setCurrentIndex(2);
    QCOMPARE(baudParameter()->getRegisterValue(), 192);

    dialog->show();
    QTest::keyClick(dialog, Qt::Key_Escape);
    QCOMPARE(baudParameter()->getRegisterValue(), 1152);
    QCOMPARE(link->getMode(), 3);

    QVERIFY(storedKeys().isEmpty());
    QCOMPARE(link->getTimeoutTime(), 50);
    QCOMPARE(static_cast<int>(link->getBaud()), 115200);
    QVERIFY(!listener->getIgnoreBluetooth());
}

// Opened on a register-4 code that no entry holds: Cancel after choosing a
// rate must not leave that rate in the model for the next save to send.
void TestCommTimeoutAdjust::cancelRestoresRegister4WithoutInitialEntry()
{
    model->setValid(true);
    model->setMatchesSaved(baudRegister);
    baudParameter()->setRegisterValue(100);
    model->setMatchesSaved(baudRegister);
    openDialog();
    auto* controller = child<QComboBox>("device_baud_box");
    QCOMPARE(controller->currentIndex(), -1);
    controller->setCurrentIndex(2);
    QCOMPARE(baudParameter()->getRegisterValue(), 192);
    QVERIFY(model->getUnsavedValues().contains(baudRegister));

    dialog->reject();
    QCOMPARE(baudParameter()->getRegisterValue(), 100);
    QCOMPARE(controller->currentIndex(), -1);
    QVERIFY(!model->getUnsavedValues().contains(baudRegister));
    QCOMPARE(link->getMode(), 3);
    model->setValid(false);
}

void TestCommTimeoutAdjust::registerValueOutsideTheListIsKept()
{
    // A code the list does not hold, e.g. read from a controller: the list
    // shows no choice and the register keeps the value.
    baudParameter()->setRegisterValue(100);
    openDialog();
    auto* controller = child<QComboBox>("device_baud_box");
    QCOMPARE(controller->currentIndex(), -1);
    QCOMPARE(baudParameter()->getRegisterValue(), 100);

    // Changed while the dialog is open, away from a valid choice.
    controller->setCurrentIndex(1);
    QCOMPARE(baudParameter()->getRegisterValue(), 96);
    baudParameter()->setRegisterValue(250);
    QCOMPARE(controller->currentIndex(), -1);
    QCOMPARE(baudParameter()->getRegisterValue(), 250);

    // A valid value from elsewhere is mirrored without being set again.
    baudParameter()->setRegisterValue(384);
    QCOMPARE(controller->currentIndex(), 3);

    // Cancel back to "no choice" leaves the register alone, and OK sends
    // no register-4 code that is not in the list.
    baudParameter()->setRegisterValue(250);
    dialog->reject();
    QCOMPARE(baudParameter()->getRegisterValue(), 250);

    baudParameter()->setRegisterValue(1152);
    openDialog();
    baudParameter()->setRegisterValue(100);
    dialog->accept();
    QCOMPARE(baudParameter()->getRegisterValue(), 100);
    QCOMPARE(link->getMode(), 3);
}

void TestCommTimeoutAdjust::closedDialogIsDeletedAndStopsFollowing()
{
    openDialog();
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    dialog->close();
    QTRY_VERIFY(dialog.isNull());

    // The register no longer reaches a dialog, and a new one reads it again.
    baudParameter()->setRegisterValue(96);
    QCOMPARE(baudParameter()->getRegisterValue(), 96);
    openDialog();
    QCOMPARE(child<QComboBox>("device_baud_box")->currentIndex(), 1);

    dialog->show();
    child<QDialogButtonBox>("buttonBox")->button(QDialogButtonBox::Ok)->click();
    QTRY_VERIFY(dialog.isNull());
}

void TestCommTimeoutAdjust::controllerRateChangeIsWrittenAndSaved()
{
    QSignalSpy saved(link.get(), &KelvaraCom::flashSaveComplete);
    QSignalSpy failed(link.get(), &KelvaraCom::comError);

    link->setTimeoutTime(400);
    openDialog();
    child<QComboBox>("device_baud_box")->setCurrentIndex(1); // 9600 bit/s
    child<QSpinBox>("timeBox")->setValue(60);
    dialog->accept();
    // The write starts from the default timeout, which OK has just set.
    QCOMPARE(link->getTimeoutTime(), 60);

    QVERIFY(saved.wait(10000));
    QCOMPARE(failed.count(), 0);
    const QVector<QByteArray> requests = simulator.requests();
    QCOMPARE(requests.size(), 3);
    QCOMPARE(requests.at(0), hexFrame("01 10 00 04 00 01 02 00 60 a7 fc"));
    QCOMPARE(requests.at(1), hexFrame("01 10 01 ff 00 01 02 7f ff c2 ef"));
    QCOMPARE(requests.at(2), hexFrame("01 03 01 ff 00 01 b5 c6"));
    QCOMPARE(int(simulator.registerValue(baudRegister)), 96);
    QCOMPARE(model->getParameter(flashRegister)->getRegisterValue(), 4096);
}

QTEST_MAIN(TestCommTimeoutAdjust)
#include "tst_commtimeoutadjust.moc"
