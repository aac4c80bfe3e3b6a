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
    QCheckBox* bluetooth() const
    {
        return dialog->findChild<QCheckBox*>("enable_bluetooth_mac_box");
    }

    void openDialog()
    {
        delete dialog.data();
        dialog =
            new CommTimeoutAdjust(link.get(), model.get(), listener.get(), settings.get(), nullptr);
    }

    // The timeout box's value once text is typed over its own and ended
    // with key ("OK": the OK button pressed at once).
    int typedTimeout(const QString& text, const QString& key)
    {
        dialog->show();
        if (!QTest::qWaitForWindowActive(dialog))
            return -1;
        timeBox()->setFocus();
        timeBox()->selectAll();
        QTest::keyClicks(timeBox(), text);
        if (key == "OK")
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        else
            QTest::keyClick(QApplication::focusWidget(),
                            key == "Tab" ? Qt::Key_Tab : Qt::Key_Return);
        return dialog ? timeBox()->value() : link->getTimeoutTime();
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
        settings.reset(
            new QSettings(settingsDir->filePath("preferences.ini"), QSettings::IniFormat));
    }

    void cleanup()
    {
        delete dialog.data();
        settings.reset();
        listener.reset();
        link.reset();
    }

    // Opened at each rate, and switched to it from 115200 bit/s: the minimum
    // is 512 bit times of the rate rounded up to 10 ms; nothing above 60 s.
    void timeoutLimits()
    {
        const QMap<int, int> minimum{{1200, 4270}, {9600, 540}, {19200, 270},
                                     {38400, 140}, {57600, 90}, {115200, 50}};
        for (auto it = minimum.constBegin(); it != minimum.constEnd(); ++it) {
            link->setBaud(it.key());
            openDialog();
            QCOMPARE(timeBox()->value(), qMax(50, it.value()));
            QCOMPARE(typedTimeout("0", "Tab"), it.value());
            link->setBaud(115200);
            openDialog();
            suiteRate()->setCurrentIndex(suiteRate()->findData(it.key()));
            QCOMPARE(timeBox()->value(), qMax(50, it.value()));
            QCOMPARE(typedTimeout("0", "Tab"), it.value());
        }
        timeBox()->setValue(999999999);
        QCOMPARE(timeBox()->value(), 60000);
    }

    // A typed value beyond a limit gives the limit, never the digits typed
    // before the box refused one.
    void typedBeyondALimitGivesTheLimit_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("timeout");
        QTest::newRow("70000") << 115200 << "70000"
                               << "Tab" << 60000;
        QTest::newRow("99999") << 115200 << "99999"
                               << "Tab" << 60000;
        QTest::newRow("far beyond") << 115200 << "123456789"
                                    << "Return" << 60000;
        QTest::newRow("below the minimum") << 115200 << "5"
                                           << "Tab" << 50;
        QTest::newRow("below it at 1200 bit/s") << 1200 << "300"
                                                << "Tab" << 4270;
        QTest::newRow("within") << 1200 << "5000"
                                << "Tab" << 5000;
        QTest::newRow("OK at once") << 115200 << "70000"
                                    << "OK" << 60000;
    }

    void typedBeyondALimitGivesTheLimit()
    {
        QFETCH(int, rate);
        QFETCH(QString, typed);
        QFETCH(QString, key);
        link->setBaud(rate);
        openDialog();
        QTEST(typedTimeout(typed, key), "timeout");
        if (key == "OK")
            QVERIFY(stored().contains("commTimeout=60000"));
    }

    void okStores()
    {
        openDialog();
        suiteRate()->setCurrentIndex(0); // 1200 bit/s
        bluetooth()->setChecked(false);
        dialog->accept();
        QCOMPARE(link->getBaud(), 1200);
        QCOMPARE(link->getTimeoutTime(), 4270);
        QCOMPARE(stored(),
                 QStringList(
                     {"commBaudrate=1200", "commTimeout=4270", "enableMacBluetoothSerial=false"}));
        QVERIFY(listener->getIgnoreBluetooth());
    }

    // Opened on a register-4 code that no entry holds: Cancel after choosing
    // a rate must not leave that rate in the model for the next save to send.
    void cancelRestoresCode()
    {
        model->setValid(true);
        baud()->setRegisterValue(100);
        model->setControllerRamToEdit(4);
        openDialog();
        QCOMPARE(controllerRate()->currentIndex(), -1);
        controllerRate()->setCurrentIndex(2);
        QCOMPARE(baud()->getRegisterValue(), 192);
        dialog->reject();
        QCOMPARE(baud()->getRegisterValue(), 100);
        QVERIFY(!model->getUnsavedValues().contains(4));
        QVERIFY(stored().isEmpty());
        model->setValid(false);
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
        QCOMPARE(simulator.requests(),
                 QVector<QByteArray>({QByteArray::fromHex("011000040001020060a7fc"),
                                      QByteArray::fromHex("011001ff0001027fffc2ef"),
                                      QByteArray::fromHex("010301ff0001b5c6")}));
        QCOMPARE(int(simulator.registerValue(4)), 96);
        QCOMPARE(model->getParameter(511)->getRegisterValue(), 4096);
    }

    // The controller refuses the new rate: register 4 goes back to what the
    // controller holds, and the next save of another edit leaves it alone.
    void refusedControllerRateIsNotKept()
    {
        model->setValid(true);
        model->setControllerRamToEdit(4);
        simulator.setExceptionAtAddress(4, 4);
        QSignalSpy failures(link.get(), &KelvaraCom::errorMessage);
        openDialog();
        controllerRate()->setCurrentIndex(1); // 9600 bit/s
        QVERIFY(model->getUnsavedValues().contains(4));
        dialog->accept();
        QVERIFY(failures.wait(10000));
        QCOMPARE(failures[0][0].toString(), QString("Write Fail"));
        QCOMPARE(baud()->getRegisterValue(), 1152);
        QVERIFY(!model->getUnsavedValues().contains(4));

        simulator.setExceptionAtAddress(4, 0);
        Parameter* other = model->getParameter(7);
        other->setValue(other->getValue() + 1.0);
        QSignalSpy saved(link.get(), &KelvaraCom::flashSaveComplete);
        link->writeAll();
        QVERIFY(saved.wait(10000));
        QVector<QByteArray> writesOf4;
        for (const QByteArray& frame : simulator.requests()) {
            if (frame.startsWith(QByteArray::fromHex("0110000400")))
                writesOf4 << frame;
        }
        QCOMPARE(writesOf4, QVector<QByteArray>{QByteArray::fromHex("011000040001020060a7fc")});
        QCOMPARE(int(simulator.registerValue(4)), 1152);
        QVERIFY(model->getUnsavedValues().isEmpty());
        model->setValid(false);
    }
};

QTEST_MAIN(TestCommTimeoutAdjust)
#include "tst_commtimeoutadjust.moc"
