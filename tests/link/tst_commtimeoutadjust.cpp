// The communication speed dialog: timeout limits per rate, what OK stores
// and sends, and what Cancel puts back.

#include "commtimeoutadjust.h"
#include "controllersimulator.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "parameter.h"
#include "portenumerator.h"
#include "serialportlistener.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

// No hardware ports: the watcher reports only its empty entry.
class NoPorts : public PortEnumerator
{
protected:
    QList<SerialPortEntry> systemPorts() const override { return {}; }
};

QStringList items(const QComboBox* box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i) + "=" + box->itemData(i).toString();
    return texts;
}

} // namespace

class TestCommTimeoutAdjust : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Kelvara> model{new Kelvara};
    ControllerSimulator simulator;
    std::unique_ptr<KelvaraCom> link;
    std::unique_ptr<SerialPortListener> listener;
    std::unique_ptr<QTemporaryDir> settingsDir;
    std::unique_ptr<QSettings> settings;
    QPointer<CommTimeoutAdjust> dialog;

    Parameter* baud() const { return model->getParameter(4); }
    QSpinBox* timeBox() const { return dialog->findChild<QSpinBox*>("timeBox"); }
    QComboBox* suiteRate() const { return dialog->findChild<QComboBox*>("baudbox"); }
    QComboBox* controllerRate() const { return dialog->findChild<QComboBox*>("device_baud_box"); }
    QCheckBox* bluetooth() const { return dialog->findChild<QCheckBox*>("enable_bluetooth_mac_box"); }

    void openDialog()
    {
        delete dialog.data();
        dialog = new CommTimeoutAdjust(link.get(), model.get(), listener.get(), settings.get(), nullptr);
    }

    QStringList stored() const
    {
        settings->sync();
        QSettings file(settings->fileName(), QSettings::IniFormat);
        QStringList keys = file.allKeys();
        keys.sort();
        for (QString& key : keys)
            key += "=" + file.value(key).toString();
        return keys;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(simulator.start(), qPrintable(simulator.errorString()));
        QVERIFY2(simulator.loadImage(KELVARA_SIM_IMAGE), qPrintable(simulator.errorString()));
    }

    void init()
    {
        baud()->setRegisterValue(1152);
        simulator.setRegisterValue(4, 1152);
        simulator.clearLog();
        link.reset(new KelvaraCom(model.get()));
        link->setCurrentPortName(simulator.portName());
        link->setDefaultTimeout(50);
        listener.reset(new SerialPortListener(std::make_unique<NoPorts>()));
        settingsDir.reset(new QTemporaryDir);
        settings.reset(new QSettings(settingsDir->filePath("preferences.ini"), QSettings::IniFormat));
    }

    void cleanup()
    {
        delete dialog.data();
        settings.reset();
        listener.reset();
        link.reset();
    }

    // The rate lists carry the rates and the register-4 codes the dialog writes.
    void formContents()
    {
        openDialog();
        QCOMPARE(items(suiteRate()), QStringList({"1200 bit/s=1200", "9600 bit/s=9600", "19200 bit/s=19200",
                                                  "38400 bit/s=38400", "57600 bit/s=57600", "115200 bit/s=115200"}));
        QCOMPARE(items(controllerRate()), QStringList({"1200 bit/s=12", "9600 bit/s=96", "19200 bit/s=192",
                                                       "38400 bit/s=384", "57600 bit/s=576", "115200 bit/s=1152"}));
        QCOMPARE(suiteRate()->currentIndex(), 5);
        QCOMPARE(controllerRate()->currentIndex(), 5);
        QCOMPARE(timeBox()->value(), 50);
        QCOMPARE(dialog->findChild<QLabel*>("label_defaults")->text(),
                 QString("Default value for Communication Timeout: 250ms.\nDefault value for Baudrate: 115200 bit/s."));
        QVERIFY(bluetooth()->isChecked()); // the watcher's setting
    }

    // Opened at each rate, and switched to it from 115200 bit/s.
    void minimumTimeout()
    {
        const QMap<int, int> minimum{{1200, 4270}, {9600, 540}, {19200, 270}, {38400, 140}, {57600, 90}, {115200, 50}};
        for (auto it = minimum.constBegin(); it != minimum.constEnd(); ++it) {
            link->setBaud(it.key());
            openDialog();
            QCOMPARE(timeBox()->minimum(), it.value());
            QCOMPARE(timeBox()->value(), qMax(50, it.value()));
            link->setBaud(115200);
            openDialog();
            suiteRate()->setCurrentIndex(suiteRate()->findData(it.key()));
            QCOMPARE(timeBox()->minimum(), it.value());
            QCOMPARE(timeBox()->value(), qMax(50, it.value()));
        }
    }

    void switchingRateRaisesAndKeepsTimeout()
    {
        openDialog();
        timeBox()->setValue(300);
        suiteRate()->setCurrentIndex(0); // 1200 bit/s
        QCOMPARE(timeBox()->value(), 4270);
        suiteRate()->setCurrentIndex(5); // back to 115200 bit/s
        QCOMPARE(timeBox()->minimum(), 50);
        QCOMPARE(timeBox()->value(), 4270);
        timeBox()->setValue(1000); // above the new minimum: kept
        suiteRate()->setCurrentIndex(1);
        QCOMPARE(timeBox()->value(), 1000);
        // No value above the cap, however the retries double it.
        timeBox()->setValue(999999999);
        QCOMPARE(timeBox()->value(), CommTimeoutAdjust::maximumTimeoutMs);
        QCOMPARE(timeBox()->value(), 60000);
    }

    void okStores()
    {
        QVERIFY(link->setBaud(4800)); // outside the list: shown as the lowest rate
        openDialog();
        QCOMPARE(suiteRate()->currentText(), QString("1200 bit/s"));
        QCOMPARE(timeBox()->minimum(), 4270);
        dialog->accept();
        QCOMPARE(link->getBaud(), 1200);
        QCOMPARE(stored(), QStringList({"commBaudrate=1200", "commTimeout=4270", "enableMacBluetoothSerial=true"}));

        // Only the timeout and the Bluetooth choice when the rate stays.
        settings->clear();
        link->setBaud(115200);
        link->setTimeoutTime(400); // raised by retries; the default stays 50
        openDialog();
        QCOMPARE(timeBox()->value(), 400);
        bluetooth()->setChecked(false);
        QSignalSpy rescans(listener.get(), &SerialPortListener::onDevicesConnected);
        dialog->show();
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(stored(), QStringList({"commTimeout=400", "enableMacBluetoothSerial=false"}));
        QCOMPARE(link->getTimeoutTime(), 400);
        QVERIFY(listener->getIgnoreBluetooth());
        QCOMPARE(rescans.count(), 1);
        QCOMPARE(link->getBaud(), 115200);
        QCOMPARE(link->getMode(), int(KelvaraCom::IdleMode)); // register 4 untouched: nothing sent
        QTRY_VERIFY(dialog.isNull()); // a closed dialog deletes itself and stops following
        baud()->setRegisterValue(96);
        openDialog();
        QCOMPARE(controllerRate()->currentIndex(), 1);
    }

    void cancelRestoresEverything()
    {
        openDialog();
        timeBox()->setValue(800);
        suiteRate()->setCurrentIndex(1);
        bluetooth()->setChecked(false);
        controllerRate()->setCurrentIndex(2);
        QCOMPARE(baud()->getRegisterValue(), 192);
        dialog->show();
        QTest::keyClick(dialog, Qt::Key_Escape);
        QCOMPARE(baud()->getRegisterValue(), 1152);
        QVERIFY(stored().isEmpty());
        QCOMPARE(link->getTimeoutTime(), 50);
        QCOMPARE(link->getBaud(), 115200);
        QVERIFY(!listener->getIgnoreBluetooth());

        // Re-selecting the rate it opened with writes nothing either.
        openDialog();
        controllerRate()->setCurrentIndex(1);
        controllerRate()->setCurrentIndex(5);
        QCOMPARE(baud()->getRegisterValue(), 1152);
        dialog->accept();
        QCOMPARE(link->getMode(), int(KelvaraCom::IdleMode));
        QCOMPARE(simulator.requestCount(), 0);
    }

    // Opened on a register-4 code that no entry holds: Cancel after choosing
    // a rate must not leave that rate in the model for the next save to send.
    void codeOutsideTheList()
    {
        model->setValid(true);
        baud()->setRegisterValue(100);
        model->setMatchesSaved(4);
        openDialog();
        QCOMPARE(controllerRate()->currentIndex(), -1);
        controllerRate()->setCurrentIndex(2);
        QCOMPARE(baud()->getRegisterValue(), 192);
        QVERIFY(model->getUnsavedValues().contains(4));
        dialog->reject();
        QCOMPARE(baud()->getRegisterValue(), 100);
        QVERIFY(!model->getUnsavedValues().contains(4));
        model->setValid(false);

        // Followed while open: a code outside the list shows no choice and is
        // kept; a listed one is mirrored without being set again.
        openDialog();
        baud()->setRegisterValue(250);
        QCOMPARE(controllerRate()->currentIndex(), -1);
        QCOMPARE(baud()->getRegisterValue(), 250);
        baud()->setRegisterValue(384);
        QCOMPARE(controllerRate()->currentIndex(), 3);
        baud()->setRegisterValue(250);
        dialog->reject();
        QCOMPARE(baud()->getRegisterValue(), 250);

        // OK sends no code that is not in the list.
        baud()->setRegisterValue(1152);
        openDialog();
        baud()->setRegisterValue(100);
        dialog->accept();
        QCOMPARE(baud()->getRegisterValue(), 100);
        QCOMPARE(link->getMode(), int(KelvaraCom::IdleMode));
    }

    void controllerRateChangeIsWrittenAndSaved()
    {
        QSignalSpy saved(link.get(), &KelvaraCom::flashSaveComplete);
        QSignalSpy failed(link.get(), &KelvaraCom::comError);
        link->setTimeoutTime(400);
        openDialog();
        controllerRate()->setCurrentIndex(1); // 9600 bit/s
        timeBox()->setValue(60);
        dialog->accept();
        QCOMPARE(link->getTimeoutTime(), 60); // the write starts from the default OK has just set
        QVERIFY(saved.wait(10000));
        QCOMPARE(failed.count(), 0);
        QCOMPARE(simulator.requests(), QVector<QByteArray>({QByteArray::fromHex("011000040001020060a7fc"),
                                                            QByteArray::fromHex("011001ff0001027fffc2ef"),
                                                            QByteArray::fromHex("010301ff0001b5c6")}));
        QCOMPARE(int(simulator.registerValue(4)), 96);
        QCOMPARE(model->getParameter(511)->getRegisterValue(), 4096);
    }
};

QTEST_MAIN(TestCommTimeoutAdjust)
#include "tst_commtimeoutadjust.moc"
