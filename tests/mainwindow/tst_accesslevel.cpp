// Access level 3: the box and the read-all's switch-off.

#include "windowfixture.h"

#include <QCheckBox>
#include <QDoubleSpinBox>

using namespace WindowFixture;

class TestAccessLevel : public QObject
{
    Q_OBJECT
    SimulatedWindow f;

    // The values written to register 509 since the log was cleared.
    QList<int> writesTo509() const
    {
        QList<int> values;
        for (const QByteArray& frame : f.simulator->requests())
            values << writtenRegisters({frame}).value(509, -1);
        values.removeAll(-1);
        return values;
    }

private slots:
    void initTestCase() { QVERIFY(f.start()); }

    void boxWritesTheCodeAndUnlocksRows_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<int>("code");
        QTest::newRow("on") << true << 61957;
        QTest::newRow("off") << false << 0;
    }
    void boxWritesTheCodeAndUnlocksRows()
    {
        QFETCH(bool, on);
        QFETCH(int, code);
        f.simulator->clearLog();
        f.find<QCheckBox>("AccessLevelBox")->setChecked(on);
        QVERIFY(waitIdle(f.window.get()));
        QCOMPARE(writesTo509(), QList<int>{code});
        QCOMPARE(f.find<QLabel>("statusLabel")->styleSheet(), QString(on ? "QLabel {color: red;}" : "QLabel {color: black;}"));
        for (const char* row : {"highLowside", "openCircuitVoltageTestWindow"})
            QCOMPARE(f.find(row)->findChild<QDoubleSpinBox*>()->isEnabled(), on);
    }

    // A failed read is reported once: with the box off nothing is written.
    void readAllSwitchesItOff_data()
    {
        QTest::addColumn<bool>("boxOn");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("good read") << true << false << QStringList();
        QTest::newRow("failed read, box off") << false << true << QStringList{"Read Fail"};
        QTest::newRow("failed read, box on") << true << true << QStringList{"Read Fail", "Write Fail"};
    }
    void readAllSwitchesItOff()
    {
        QFETCH(bool, boxOn);
        QFETCH(bool, silent);
        QFETCH(QStringList, boxes);
        auto* box = f.find<QCheckBox>("AccessLevelBox");
        box->setChecked(boxOn);
        QVERIFY(waitIdle(f.window.get()));
        f.simulator->clearLog();
        f.simulator->setSilent(silent);
        ModalWatcher watcher;
        QSignalSpy done(f.window->link(), &KelvaraCom::readAllComplete);
        f.window->onReadAllClicked();
        QVERIFY(done.wait(8000) && waitIdle(f.window.get()));
        QTRY_COMPARE(watcher.titles(), boxes);
        f.simulator->setSilent(false);

        QVERIFY(!box->isChecked());
        const QList<int> writes = writesTo509();
        QCOMPARE(writes.isEmpty(), !boxOn && silent);
        QVERIFY(writes.isEmpty() || writes.last() == 0);
    }

};

QTEST_MAIN(TestAccessLevel)
#include "tst_accesslevel.moc"
