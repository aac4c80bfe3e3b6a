// The wizard's pages through both tests against the simulator playing a
// motor: results, error pages, fault texts and refusals while a test runs.

#include "autotunerig.h"
#include "autotunewizard.h"
#include "modalwatcher.h"

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBrowser>
#include <QtTest>

namespace {

// A widget of the page on show (earlier pages may still await deletion).
template<class T>
T* shown(QWidget* wizard, const QString& name = QString())
{
    for (T* widget : wizard->findChildren<T*>(name)) {
        if (widget->isVisibleTo(wizard))
            return widget;
    }
    return nullptr;
}

QPushButton* button(QWidget* wizard, const QString& name)
{
    return wizard->findChild<QPushButton*>(name);
}

AutotuneWizard* openWizard(AutotuneRig& rig, int clockScale = 20)
{
    auto* wizard = new AutotuneWizard(rig.model.get(), rig.link.get(), nullptr);
    wizard->findChild<StaticAutotune*>()->setClock(AutotuneRig::fastClock(clockScale));
    wizard->findChild<DynamicAutotune*>()->setClock(AutotuneRig::fastClock(clockScale));
    wizard->show();
    return wizard;
}

// Runs the test of the current page until it has ended.
bool launch(AutotuneWizard* wizard)
{
    QPushButton* cancel = button(wizard, "cancel");
    shown<QPushButton>(wizard, "launch")->click();
    return QTest::qWaitFor([&] { return !cancel->isEnabled(); }, 2000)
        && QTest::qWaitFor([&] { return cancel->isEnabled(); }, 10000);
}

QStringList hallRow(QWidget* wizard)
{
    QStringList row;
    auto* table = shown<QTableWidget>(wizard, "hallTable");
    for (int column = 0; column < table->columnCount(); ++column)
        row << table->item(1, column)->text();
    return row;
}

} // namespace

class TestAutotuneWizard : public QObject
{
    Q_OBJECT

private slots:
    void bothTestsEndToEnd()
    {
        AutotuneRig rig;
        QPointer<AutotuneWizard> wizard = openWizard(rig, 1);
        shown<QDoubleSpinBox>(wizard, "polePairsInput")->setValue(23.0);
        shown<QDoubleSpinBox>(wizard, "KvInput")->setValue(12.0);
        QVERIFY(rig.model->getUnsavedValues().contains(72));

        QVERIFY(launch(wizard));
        QCOMPARE(wizard->getPageState(), int(AutotuneWizard::StaticDone));
        QCOMPARE(shown<QDoubleSpinBox>(wizard, "RsValue")->text(), QString("63.02 mOhms"));
        QCOMPARE(shown<QDoubleSpinBox>(wizard, "LsValue")->text(), QString("185.8 uH"));
        QVERIFY(!button(wizard, "back")->isEnabled());

        button(wizard, "next")->click();
        QCOMPARE(wizard->getPageState(), int(AutotuneWizard::WarningPage));
        button(wizard, "next")->click();
        QVERIFY(!shown<QWidget>(wizard, "results"));
        shown<QCheckBox>(wizard, "filpDirection")->setChecked(true);

        QVERIFY(launch(wizard));
        QCOMPARE(wizard->getPageState(), int(AutotuneWizard::SpinningPage));
        QVERIFY(!shown<QCheckBox>(wizard, "filpDirection")->isChecked());
        QCOMPARE(rig.writesTo(127), QList<int>{3});
        QCOMPARE(shown<QDoubleSpinBox>(wizard, "KvValue")->text(), QString("11.35 RPM/V"));
        QCOMPARE(shown<QLabel>(wizard, "hallOffsetValue_2")->text(), QString("-59.5 degrees"));
        QVERIFY(!shown<QLabel>(wizard, "hallWarning"));
        QCOMPARE(shown<QLabel>(wizard, "hallStandardLabel")->text(),
                 QString("Bafang standard hall pattern detected."));
        QCOMPARE(hallRow(wizard), (QStringList{"-", "2", "4", "3", "0", "1", "5", "-"}));
        QVERIFY(rig.model->getUnsavedValues().isEmpty());

        button(wizard, "next")->click();
        QCOMPARE(button(wizard, "next")->text(), QString("Finish"));
        button(wizard, "next")->click();
        QTRY_VERIFY(wizard.isNull());

        const QStringList logs = rig.logs();
        QCOMPARE(logs.size(), 2);
        QVERIFY(logs[0].contains(" Static.txt\n") && logs[0].endsWith("End of Test\n"));
        QVERIFY(logs[1].contains(" Dynamic.txt\n") && logs[1].endsWith("End of Test\n"));
    }

    void errorPages_data()
    {
        QTest::addColumn<RigSetup>("setup");
        QTest::addColumn<bool>("spinning");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("notes");
        QTest::addColumn<QString>("faults");  // the fault list shown, when any
        auto motor = [](std::function<void(MotorBehaviour&)> change) {
            return RigSetup([=](AutotuneRig& r) { r.motor(change); });
        };
        auto faults = [](int faults, int faults2) {
            return RigSetup([=](AutotuneRig& r) {
                r.setRegister(258, faults);
                r.setRegister(299, faults2);
            });
        };
        const QStringList unsaved{"unsavedNote"};
        QTest::newRow("motor not detected") << motor([](MotorBehaviour& m) { m.connected = false; }) << false
                                            << "ConnectionError" << unsaved << "";
        QTest::newRow("three faults") << faults(0x1, 0x41) << true << "FaultError" << unsaved
                                      << "*Controller Over Voltage\n*Parameter CRC Error\n*Hall Stall";
        QTest::newRow("fault after the spin") << RigSetup([](AutotuneRig& r) {
            r.motor([](MotorBehaviour& m) { m.spinFaults = 1; });
            r.setRegister(109, 15000);
        }) << true << "MotionFaultError" << unsaved << "*Controller Over Voltage";
        QTest::newRow("spin never ends") << motor([](MotorBehaviour& m) { m.discoveryStuck = true; }) << true
                                         << "CommError" << QStringList{"motorNote", "unsavedNote"} << "";
    }

    void errorPages()
    {
        QFETCH(RigSetup, setup);
        QFETCH(bool, spinning);
        QFETCH(QString, page);
        QFETCH(QStringList, notes);
        QFETCH(QString, faults);
        AutotuneRig rig;
        rig.motor([](MotorBehaviour& m) { m.spinMs = 800; });
        setup(rig);
        QPointer<AutotuneWizard> wizard = openWizard(rig);
        shown<QDoubleSpinBox>(wizard, "polePairsInput")->setValue(12.0);
        if (spinning) {
            button(wizard, "next")->click();
            button(wizard, "next")->click();
        }

        QVERIFY(launch(wizard));
        QVERIFY(shown<QWidget>(wizard, page));
        QVERIFY(!button(wizard, "next")->isEnabled());
        QVERIFY(button(wizard, "back")->isEnabled());
        for (const QString& note : notes)
            QVERIFY2(shown<QLabel>(wizard, note), qPrintable(note));
        QVERIFY(!shown<QLabel>(wizard, notes.contains("motorNote") ? "none" : "motorNote"));
        QVERIFY(rig.model->getUnsavedValues().contains(78));
        QVERIFY(rig.logs().value(0).endsWith("End of Test\n"));
        if (auto* list = shown<QLabel>(wizard, "faultDescriptionLabel"))
            QCOMPARE(list->text(), faults);
        if (auto* list = shown<QTextBrowser>(wizard, "faultText"))
            QCOMPARE(list->toPlainText(), faults);

        if (page == "MotionFaultError") {
            // A spin-up time beyond the box's form range is shown, not clamped.
            QCOMPARE(shown<QDoubleSpinBox>(wizard, "doubleSpinBox_3")->value(), 15000.0);
            QCOMPARE(rig.model->getParameter(109)->getValue(), 15000.0);
            QVERIFY(!rig.model->getUnsavedValues().contains(109));
            button(wizard, "back")->click(); // Retest
            QVERIFY(shown<QWidget>(wizard, "SecondAutotuneTest"));
        }
        button(wizard, "cancel")->click();
        QTRY_VERIFY(wizard.isNull());
    }

    void refusesWhileMotorTurnsOrTestRuns()
    {
        AutotuneRig rig;
        ModalWatcher watcher;
        QPointer<AutotuneWizard> wizard = openWizard(rig, 1);
        rig.sim.setTorqueCommand(41);  // 1 %
        shown<QPushButton>(wizard, "launch")->click();
        QTRY_COMPARE(watcher.count(), 1);
        QCOMPARE(watcher.titles()[0], QString("Motor is Running"));
        QCOMPARE(watcher.texts()[0], QString("To start this test, you must stop you motor from running. \nPlease "
                                             "make sure your throttle is not on before starting the test."));
        QVERIFY(button(wizard, "cancel")->isEnabled());
        QVERIFY(rig.logs().isEmpty());

        rig.sim.setTorqueCommand(0), rig.sim.setFlashSaveFails(true);
        shown<QPushButton>(wizard, "launch")->click();
        QTRY_VERIFY(!button(wizard, "cancel")->isEnabled());
        rig.sim.setTorqueCommand(200);  // turning by the save to flash: refused
        wizard->close();
        QTest::keyClick(wizard, Qt::Key_Escape);
        QTRY_COMPARE(watcher.count(), 3);
        QCOMPARE(watcher.texts().mid(1), (QStringList{"Still running motor test...[3]",
                                                      "Still running motor test...[2]"}));
        QCOMPARE(watcher.titles()[1], QString("Continuing"));
        QVERIFY(wizard->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(button(wizard, "cancel")->isEnabled(), 10000);
        QVERIFY(shown<QLabel>(wizard, "unsavedNote"));
        rig.sim.setFlashSaveFails(false), rig.sim.setTorqueCommand(0);
        QVERIFY(launch(wizard) && !shown<QLabel>(wizard, "unsavedNote"));
        wizard->close();
        QTRY_VERIFY(wizard.isNull());
    }
};

QTEST_MAIN(TestAutotuneWizard)
#include "tst_autotunewizard.moc"
