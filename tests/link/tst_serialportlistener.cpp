#include "portenumerator.h"
#include "serialportlistener.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

namespace {

// Hands out one scripted list per enumeration; the last one repeats.
class ScriptedEnumerator : public PortEnumerator
{
public:
    void push(const QList<SerialPortEntry> &ports) { script.append(ports); }

protected:
    QList<SerialPortEntry> systemPorts() const override
    {
        if (script.isEmpty())
            return {};
        return script.size() > 1 ? script.takeFirst() : script.first();
    }

private:
    mutable QList<QList<SerialPortEntry>> script;
};

enum class Action { Tick, SkipBluetooth, KeepBluetooth };

// One scan: what the system lists, and what the watcher must report.
// Ports are blank-separated; "name@location" gives a location other than
// "/dev/name"; "$extra" stands for the extra port file, which exists
// exactly in the steps that list it. An empty disconnected text means the
// disconnected signal must not be emitted.
struct Step
{
    Action action;
    QString present;
    QString connected;
    QString disconnected;
};

const char *const extraToken = "$extra";

} // namespace

using Script = QVector<Step>;
Q_DECLARE_METATYPE(Script)

class TestSerialPortListener : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void scan_data();
    void scan();
    void extraPorts_data();
    void extraPorts();
    void disconnectedIsEmittedBeforeConnected();
    void mutexIsHeldWhileReporting();
    void timerScansWithinASecond();

private:
    QList<SerialPortEntry> systemPorts(const QString &present) const;
    void placeExtraPort(bool exists) const;
    QString render(const QList<SerialPortEntry> &ports) const;
    static QString sorted(const QString &names);

    QTemporaryDir dir{QDir::tempPath() + "/kelvara-XXXXXX"};
    QString extraPath;
};

void TestSerialPortListener::init()
{
    QVERIFY(dir.isValid());
    extraPath = dir.filePath("ttyKelvaraSim");
    QFile::remove(extraPath);
    // A missing path and empty pieces around the real one are passed over.
    qputenv(PortEnumerator::extraPortsVariable,
            (":" + dir.filePath("missing") + "::" + extraPath + ":").toLocal8Bit());
}

void TestSerialPortListener::cleanup()
{
    qunsetenv(PortEnumerator::extraPortsVariable);
    QFile::remove(extraPath);
}

QList<SerialPortEntry> TestSerialPortListener::systemPorts(const QString &present) const
{
    QList<SerialPortEntry> ports;
    const QStringList tokens = present.split(' ', Qt::SkipEmptyParts);
    for (const QString &token : tokens) {
        if (token == extraToken)
            continue;
        const int at = token.indexOf('@');
        if (at < 0)
            ports.append(SerialPortEntry(token, "/dev/" + token));
        else
            ports.append(SerialPortEntry(token.left(at), token.mid(at + 1)));
    }
    return ports;
}

void TestSerialPortListener::placeExtraPort(bool exists) const
{
    if (exists) {
        QFile file(extraPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else {
        QFile::remove(extraPath);
    }
}

QString TestSerialPortListener::render(const QList<SerialPortEntry> &ports) const
{
    QStringList names;
    for (const SerialPortEntry &port : ports) {
        if (port.portName() == extraPath && port.systemLocation() == extraPath)
            names.append(extraToken);
        else if (port.systemLocation() == "/dev/" + port.portName())
            names.append(port.portName());
        else
            names.append(port.portName() + '@' + port.systemLocation());
    }
    return sorted(names.join(' '));
}

QString TestSerialPortListener::sorted(const QString &names)
{
    QStringList list = names.split(' ', Qt::SkipEmptyParts);
    std::sort(list.begin(), list.end());
    return list.join(' ');
}

void TestSerialPortListener::scan_data()
{
    QTest::addColumn<Script>("script");
    const Action T = Action::Tick;
    const Action Skip = Action::SkipBluetooth;
    const Action Keep = Action::KeepBluetooth;

    QTest::newRow("no port") << Script{
        {T, "", "", ""},
        {T, "", "", ""},
    };
    QTest::newRow("appear, stay, vanish") << Script{
        {T, "ttyUSB0", "ttyUSB0", ""},
        {T, "ttyUSB0", "", ""},
        {T, "ttyUSB0 ttyACM0", "ttyACM0", ""},
        {T, "ttyACM0", "", "ttyUSB0"},
        {T, "", "", "ttyACM0"},
    };
    QTest::newRow("first scan reports all, replug reports again") << Script{
        {T, "ttyUSB0 ttyUSB1 ttyACM0", "ttyACM0 ttyUSB0 ttyUSB1", ""},
        {T, "", "", "ttyACM0 ttyUSB0 ttyUSB1"},
        {T, "ttyUSB1", "ttyUSB1", ""},
    };
    QTest::newRow("ttyS kept in the table, never reported connected") << Script{
        {T, "ttyS0 ttyUSB0", "ttyUSB0", ""},
        {T, "ttyS0 ttyS1", "", "ttyUSB0"},
        {T, "ttyS1", "", "ttyS0"},
        {T, "", "", "ttyS1"},
    };
    QTest::newRow("ttyS test is case-sensitive") << Script{
        {T, "TTYS0 ttys1 cu.ttyS2", "TTYS0 ttys1", ""},
    };
    QTest::newRow("Bluetooth reported while not skipped") << Script{
        {T, "cu.Bluetooth-Incoming-Port ttyUSB0", "cu.Bluetooth-Incoming-Port ttyUSB0", ""},
        {T, "ttyUSB0", "", "cu.Bluetooth-Incoming-Port"},
    };
    QTest::newRow("Bluetooth skip switched on and off") << Script{
        {Skip, "cu.Bluetooth-Incoming-Port tty.bluetooth-modem cu.usbserial",
         "cu.usbserial", ""},
        {T, "cu.Bluetooth-Incoming-Port tty.bluetooth-modem cu.usbserial", "", ""},
        {Keep, "cu.Bluetooth-Incoming-Port tty.bluetooth-modem cu.usbserial",
         "cu.Bluetooth-Incoming-Port tty.bluetooth-modem", ""},
        {Skip, "cu.Bluetooth-Incoming-Port tty.bluetooth-modem cu.usbserial",
         "", "cu.Bluetooth-Incoming-Port tty.bluetooth-modem"},
    };
    QTest::newRow("Bluetooth test is case-sensitive") << Script{
        {Skip, "cu.BLUETOOTH cu.Bluetooth", "cu.BLUETOOTH", ""},
    };
    QTest::newRow("duplicate names count once, the last one stays") << Script{
        {T, "ttyUSB0@/dev/a ttyUSB0@/dev/b", "ttyUSB0@/dev/b", ""},
        {T, "ttyUSB0@/dev/b ttyUSB0@/dev/a", "", ""},
        {T, "", "", "ttyUSB0@/dev/a"},
    };
    QTest::newRow("extra port appears and vanishes with its file") << Script{
        {T, "ttyUSB0", "ttyUSB0", ""},
        {T, "ttyUSB0 $extra", "$extra", ""},
        {T, "ttyUSB0 $extra", "", ""},
        {T, "$extra", "", "ttyUSB0"},
        {T, "ttyUSB0", "ttyUSB0", "$extra"},
    };
    QTest::newRow("extra port present at the first scan") << Script{
        {Skip, "$extra", "$extra", ""},
        {T, "", "", "$extra"},
    };
}

void TestSerialPortListener::scan()
{
    QFETCH(Script, script);

    auto *enumerator = new ScriptedEnumerator;
    SerialPortListener listener{std::unique_ptr<PortEnumerator>(enumerator)};
    QSignalSpy connectedSpy(&listener, &SerialPortListener::onDevicesConnected);
    QSignalSpy disconnectedSpy(&listener, &SerialPortListener::onDevicesDisconnected);
    for (const Step &step : qAsConst(script))
        enumerator->push(systemPorts(step.present));

    for (int i = 0; i < script.size(); ++i) {
        const Step &step = script.at(i);
        const QByteArray where = "step " + QByteArray::number(i + 1);
        placeExtraPort(step.present.split(' ').contains(extraToken));

        switch (step.action) {
        case Action::Tick:
            listener.onTimerFired();
            break;
        case Action::SkipBluetooth:
            listener.setIgnoreBluetooth(true);
            QVERIFY2(listener.getIgnoreBluetooth(), where);
            break;
        case Action::KeepBluetooth:
            listener.setIgnoreBluetooth(false);
            QVERIFY2(!listener.getIgnoreBluetooth(), where);
            break;
        }

        // Every scan, including the one inside setIgnoreBluetooth, reports
        // at once and ends its connected list with the empty entry.
        QVERIFY2(connectedSpy.size() == 1, where);
        QList<SerialPortEntry> connected =
            connectedSpy.takeFirst().at(0).value<QList<SerialPortEntry>>();
        QVERIFY2(!connected.isEmpty(), where);
        const SerialPortEntry pseudo = connected.takeLast();
        QVERIFY2(pseudo.isNull() && pseudo.portName().isEmpty(), where);
        QCOMPARE(render(connected), sorted(step.connected));

        if (step.disconnected.isEmpty()) {
            QVERIFY2(disconnectedSpy.isEmpty(), where);
        } else {
            QVERIFY2(disconnectedSpy.size() == 1, where);
            QCOMPARE(render(disconnectedSpy.takeFirst().at(0).value<QList<SerialPortEntry>>()),
                     sorted(step.disconnected));
        }
    }
}

void TestSerialPortListener::extraPorts_data()
{
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QStringList>("listed");

    QTest::newRow("unset") << QString() << QStringList{"a"} << QStringList{};
    QTest::newRow("only separators") << "::" << QStringList{"a"} << QStringList{};
    QTest::newRow("missing path") << "%/a" << QStringList{} << QStringList{};
    QTest::newRow("in the given order")
        << "%/b:%/missing:%/a" << QStringList{"a", "b"} << QStringList{"%/b", "%/a"};
    QTest::newRow("empty pieces") << ":%/a::" << QStringList{"a"} << QStringList{"%/a"};
}

void TestSerialPortListener::extraPorts()
{
    QFETCH(QString, variable);
    QFETCH(QStringList, existing);
    QFETCH(QStringList, listed);

    QTemporaryDir here(QDir::tempPath() + "/kelvara-XXXXXX");
    QVERIFY(here.isValid());
    for (const QString &name : existing) {
        QFile file(here.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    if (variable.isNull())
        qunsetenv(PortEnumerator::extraPortsVariable);
    else
        qputenv(PortEnumerator::extraPortsVariable,
                variable.replace('%', here.path()).toLocal8Bit());

    QList<SerialPortEntry> expected;
    for (QString path : listed) {
        path.replace('%', here.path());
        expected.append(SerialPortEntry(path, path));
    }
    QCOMPARE(PortEnumerator::extraPorts(), expected);
}

void TestSerialPortListener::disconnectedIsEmittedBeforeConnected()
{
    auto *enumerator = new ScriptedEnumerator;
    enumerator->push({SerialPortEntry("ttyUSB0", "/dev/ttyUSB0")});
    enumerator->push({SerialPortEntry("ttyUSB1", "/dev/ttyUSB1")});
    SerialPortListener listener{std::unique_ptr<PortEnumerator>(enumerator)};

    QStringList order;
    connect(&listener, &SerialPortListener::onDevicesConnected, this,
            [&order] { order.append("connected"); });
    connect(&listener, &SerialPortListener::onDevicesDisconnected, this,
            [&order] { order.append("disconnected"); });

    listener.onTimerFired();
    QCOMPARE(order, QStringList{"connected"});
    order.clear();
    listener.onTimerFired();
    QCOMPARE(order, (QStringList{"disconnected", "connected"}));
}

void TestSerialPortListener::mutexIsHeldWhileReporting()
{
    auto *enumerator = new ScriptedEnumerator;
    enumerator->push({SerialPortEntry("ttyUSB0", "/dev/ttyUSB0")});
    enumerator->push({});
    SerialPortListener listener{std::unique_ptr<PortEnumerator>(enumerator)};

    QList<bool> lockedInHandler;
    auto probe = [&lockedInHandler] {
        const bool gotIt = refreshSerialListMutex.tryLock();
        if (gotIt)
            refreshSerialListMutex.unlock();
        lockedInHandler.append(!gotIt);
    };
    connect(&listener, &SerialPortListener::onDevicesConnected, this, probe);
    connect(&listener, &SerialPortListener::onDevicesDisconnected, this, probe);

    listener.onTimerFired();
    listener.setIgnoreBluetooth(true);
    QCOMPARE(lockedInHandler, (QList<bool>{true, true, true}));

    // Released once the scan is over.
    QVERIFY(refreshSerialListMutex.tryLock());
    refreshSerialListMutex.unlock();
}

void TestSerialPortListener::timerScansWithinASecond()
{
    placeExtraPort(true);
    QElapsedTimer clock;
    clock.start();
    SerialPortListener listener;
    QSignalSpy connectedSpy(&listener, &SerialPortListener::onDevicesConnected);
    QSignalSpy disconnectedSpy(&listener, &SerialPortListener::onDevicesDisconnected);
    QVERIFY(connectedSpy.isEmpty()); // the constructor makes no scan

    QVERIFY(connectedSpy.wait(2000));
    QVERIFY2(clock.elapsed() >= 900, QByteArray::number(clock.elapsed()));
    QVERIFY2(clock.elapsed() < 1900, QByteArray::number(clock.elapsed()));
    const auto firstScan = connectedSpy.takeFirst().at(0).value<QList<SerialPortEntry>>();
    QVERIFY(firstScan.contains(SerialPortEntry(extraPath, extraPath)));
    QVERIFY(firstScan.last().isNull());

    // The simulator going away shows at the next tick.
    placeExtraPort(false);
    clock.restart();
    QVERIFY(disconnectedSpy.wait(2000));
    QVERIFY2(clock.elapsed() < 1900, QByteArray::number(clock.elapsed()));
    const auto gone = disconnectedSpy.takeFirst().at(0).value<QList<SerialPortEntry>>();
    QCOMPARE(gone, QList<SerialPortEntry>{SerialPortEntry(extraPath, extraPath)});
}

QTEST_GUILESS_MAIN(TestSerialPortListener)
#include "tst_serialportlistener.moc"
