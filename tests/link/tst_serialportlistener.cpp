// The port watcher: what each scan reports, with the extra ports named in
// the environment.

#include "portenumerator.h"
#include "serialportlistener.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

namespace {

// Hands out one scripted list per enumeration; the last one repeats.
// Device listings likewise; without them every scan asks for the ports.
class ScriptedEnumerator : public PortEnumerator
{
public:
    mutable QList<QList<SerialPortEntry>> script;
    mutable QList<QStringList> listings;
    mutable int asked = 0;

protected:
    QList<SerialPortEntry> systemPorts() const override
    {
        ++asked;
        return script.isEmpty() ? QList<SerialPortEntry>()
            : script.size() > 1 ? script.takeFirst()
                                : script.first();
    }
    QStringList deviceListing() const override
    {
        return listings.size() > 1 ? listings.takeFirst() : listings.value(0);
    }
};

// One scan: the action ("tick", "skip" or "keep" Bluetooth), what the system
// lists, and the reports: "-names" disconnected before "+names" connected.
// Ports are blank-separated; "name@location" gives a location other than
// "/dev/name"; "$extra" stands for the extra port file, which exists
// exactly in the steps that list it.
using Script = QList<QStringList>;

QString sorted(QStringList names)
{
    std::sort(names.begin(), names.end());
    return names.join(' ');
}

} // namespace

class TestSerialPortListener : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir{QDir::tempPath() + "/kelvara-XXXXXX"};
    QString extraPath;

    QString render(const QList<SerialPortEntry>& ports) const
    {
        QStringList names;
        for (const SerialPortEntry& port : ports) {
            if (port.portName() == extraPath && port.systemLocation() == extraPath)
                names << "$extra";
            else if (port.systemLocation() == "/dev/" + port.portName())
                names << port.portName();
            else
                names << port.portName() + '@' + port.systemLocation();
        }
        return sorted(names);
    }

    void placeExtraPort(bool exists) const
    {
        QFile file(extraPath);
        exists ? void(file.open(QIODevice::WriteOnly)) : void(file.remove());
    }

private slots:
    void init()
    {
        extraPath = dir.filePath("ttyKelvaraSim");
        QFile::remove(extraPath);
        // A missing path and empty pieces around the real one are passed over.
        qputenv(PortEnumerator::extraPortsVariable,
                (":" + dir.filePath("missing") + "::" + extraPath + ":").toLocal8Bit());
    }

    void cleanup()
    {
        qunsetenv(PortEnumerator::extraPortsVariable);
        QFile::remove(extraPath);
    }

    void scan_data()
    {
        QTest::addColumn<Script>("script");
        QTest::newRow("appear, stay, vanish") << Script{{"tick", "ttyUSB0", "+ttyUSB0"},
                                                        {"tick", "ttyUSB0", "+"},
                                                        {"tick", "ttyUSB0 ttyACM0", "+ttyACM0"},
                                                        {"tick", "ttyACM0", "-ttyUSB0", "+"},
                                                        {"tick", "", "-ttyACM0", "+"}};
        QTest::newRow("ttyS kept in the table, never reported connected")
            << Script{{"tick", "ttyS0 ttyUSB0", "+ttyUSB0"},
                      {"tick", "ttyS0 ttyS1", "-ttyUSB0", "+"},
                      {"tick", "ttyS1", "-ttyS0", "+"},
                      {"tick", "", "-ttyS1", "+"}};
        QTest::newRow("ttyS test is case-sensitive")
            << Script{{"tick", "TTYS0 ttys1 cu.ttyS2", "+TTYS0 ttys1"}};
        const QString ports = "cu.Bluetooth-Incoming-Port tty.bluetooth-modem cu.usbserial";
        QTest::newRow("Bluetooth skip switched on and off")
            << Script{{"skip", ports, "+cu.usbserial"},
                      {"tick", ports, "+"},
                      {"keep", ports, "+cu.Bluetooth-Incoming-Port tty.bluetooth-modem"},
                      {"skip", ports, "-cu.Bluetooth-Incoming-Port tty.bluetooth-modem", "+"}};
        QTest::newRow("extra port appears and vanishes with its file")
            << Script{{"tick", "ttyUSB0", "+ttyUSB0"},
                      {"tick", "ttyUSB0 $extra", "+$extra"},
                      {"tick", "ttyUSB0 $extra", "+"},
                      {"tick", "$extra", "-ttyUSB0", "+"},
                      {"tick", "ttyUSB0", "-$extra", "+ttyUSB0"}};
    }

    // Every scan, including the one inside setIgnoreBluetooth, reports at
    // once, with the list lock held, and ends its connected list with the
    // empty entry.
    void scan()
    {
        QFETCH(Script, script);
        auto* enumerator = new ScriptedEnumerator;
        SerialPortListener listener{std::unique_ptr<PortEnumerator>(enumerator)};
        QStringList reports;
        const auto report = [&](const QString& sign, QList<SerialPortEntry> ports) {
            const bool locked = !refreshSerialListMutex.tryLock();
            if (!locked)
                refreshSerialListMutex.unlock();
            if (sign == "+") {
                QVERIFY(!ports.isEmpty() && ports.last().isNull()
                        && ports.last().portName().isEmpty());
                ports.removeLast();
            }
            reports << sign + render(ports) + (locked ? "" : " (unlocked)");
        };
        connect(&listener, &SerialPortListener::onDevicesConnected,
                [&](QList<SerialPortEntry> p) { report("+", p); });
        connect(&listener, &SerialPortListener::onDevicesDisconnected,
                [&](QList<SerialPortEntry> p) { report("-", p); });
        for (const QStringList& step : qAsConst(script)) {
            QList<SerialPortEntry> ports;
            for (const QString& token : step.at(1).split(' ', Qt::SkipEmptyParts)) {
                const int at = token.indexOf('@');
                if (token != "$extra")
                    ports << SerialPortEntry(token.left(at),
                                             at < 0 ? "/dev/" + token : token.mid(at + 1));
            }
            enumerator->script << ports;
        }
        for (const QStringList& step : qAsConst(script)) {
            placeExtraPort(step.at(1).split(' ').contains("$extra"));
            if (step.at(0) == "tick")
                listener.onTimerFired();
            else
                listener.setIgnoreBluetooth(step.at(0) == "skip");
            if (step.at(0) != "tick")
                QCOMPARE(listener.getIgnoreBluetooth(), step.at(0) == "skip");
            QStringList expected;
            for (const QString& names : step.mid(2))
                expected << names.left(1) + sorted(names.mid(1).split(' ', Qt::SkipEmptyParts));
            QCOMPARE(reports, expected);
            reports.clear();
        }
        QVERIFY(refreshSerialListMutex.tryLock()); // released once the scan is over
        refreshSerialListMutex.unlock();
    }

    // The ports are asked for only when the device listing changed (in any
    // order) or there is none; in between the last answer stands.
    void portsAskedForWhenListingChanges()
    {
        auto* enumerator = new ScriptedEnumerator;
        SerialPortListener listener{std::unique_ptr<PortEnumerator>(enumerator)};
        QStringList connected;
        connect(&listener, &SerialPortListener::onDevicesConnected,
                [&](QList<SerialPortEntry> ports) {
                    connected << render(ports.mid(0, ports.size() - 1));
                });
        const QList<QStringList> listings = {
            {"ttyS0"}, {"ttyS0"}, {"ttyS0", "ttyUSB0"}, {"ttyUSB0", "ttyS0"}, {}, {}};
        for (const char* port : {"ttyACM0", "ttyACM1", "ttyUSB0", "ttyUSB1"})
            enumerator->script << QList<SerialPortEntry>{{port, QString("/dev/") + port}};
        QList<int> asked;
        for (const QStringList& listing : listings) {
            enumerator->listings = {listing};
            listener.onTimerFired();
            asked << enumerator->asked;
        }
        QCOMPARE(asked, QList<int>({1, 1, 2, 2, 3, 4}));
        QCOMPARE(connected, QStringList({"ttyACM0", "", "ttyACM1", "", "ttyUSB0", "ttyUSB1"}));
    }
};

QTEST_GUILESS_MAIN(TestSerialPortListener)
#include "tst_serialportlistener.moc"
