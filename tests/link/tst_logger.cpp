// Autotune test logs written by the link: file name, line formats, the
// retry and failure lines.

#include "logger.h"
#include "parameter.h"
#include "simulatedlink.h"

#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

namespace {

const QString name36 = QStringLiteral("A Name Of Thirty Six Characters Long");
const QString stamp = "\\d\\d\\.\\d\\d\\.\\d\\d\\d\\d \\d\\d:\\d\\d:\\d\\d ";

QByteArray entry(int address, const QString& name, bool saved = true)
{
    return "\"" + QByteArray::number(address) + "\": {\"name\": \"" + name.toUtf8()
        + "\", \"read\": true, \"write\": true, \"saved\": " + (saved ? "true" : "false")
        + ", \"scale\": \"10\", \"decimals\": 1}";
}

QStringList logFiles()
{
    return QDir("logs").entryList(QDir::Files, QDir::Name);
}

QString readLog(const QString& name)
{
    QFile file("logs/" + name);
    return file.open(QIODevice::ReadOnly | QIODevice::Text) ? QString::fromUtf8(file.readAll())
                                                            : QString();
}

} // namespace

class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    // While a test runs, every register read or written goes into its log,
    // and writes do not start a flash save of their own.
    void linkLogsTraffic()
    {
        QTemporaryDir workDir; // where "logs" goes
        const QString previousDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(workDir.path()));
        QTemporaryFile definitions;
        QVERIFY(definitions.open());
        definitions.write("{\n" + entry(10, "Speed") + ",\n" + entry(11, "Torque") + ",\n"
                          + entry(12, name36) + ",\n" + entry(13, "Scratch", false) + ",\n"
                          + entry(511, "Write Parameters to Flash", false) + "\n}");
        definitions.flush();
        SimulatedLink t(40, definitions.fileName());
        QVERIFY(t.sim.setRegisterValue(10, 75));
        t.link->startAutotune(KelvaraCom::StaticTest);
        t.link->oneRead(10, 2);
        QVERIFY(t.waitFor("comSuccess"));
        t.model->getParameter(12)->setRegisterValue(30);
        t.link->oneWrite(12);
        QVERIFY(t.waitFor("comSuccess", 2));
        QCOMPARE(t.sim.requestCount(), 2); // no save to flash while testing
        t.sim.silenceNextRequests(1);
        t.link->oneRead(13);
        QVERIFY(t.waitFor("comSuccess", 3));
        t.link->haltLog();

        QVERIFY2(QRegularExpression("^\\d\\d\\.\\d\\d-\\d\\d:\\d\\d:\\d\\d Static\\.txt$")
                     .match(logFiles().first())
                     .hasMatch(),
                 qPrintable(logFiles().first()));
        const QStringList lines = readLog(logFiles().first()).split('\n');
        QCOMPARE(lines.size(), 13);
        QVERIFY2(QRegularExpression("^" + stamp + "Addr: 10: " + QString("Speed").leftJustified(35)
                                    + " - Value: 7\\.5$")
                     .match(lines.at(2))
                     .hasMatch(),
                 qPrintable(lines.at(2)));
        QCOMPARE(lines.mid(4, 2), QStringList({"", "Write Res:"}));
        QVERIFY(lines.at(6).endsWith("Addr: 12: " + name36 + " - Value: 3"));
        QCOMPARE(lines.mid(7, 3),
                 QStringList({"TIMEOUT   - Increasing Timeout speed by x2: 80", "", "Read Res:"}));
        QCOMPARE(lines.mid(11), QStringList({"End of Test", ""}));

        // A failure ends the test, and its log says why.
        t.link->startAutotune(KelvaraCom::DynamicTest);
        t.link->setDefaultTimeout(20);
        t.sim.setSilent(true);
        t.link->oneRead(10);
        QVERIFY(t.waitFor("errorMessage(Read Fail)"));
        QCOMPARE(t.link->getAutotuneTestState(), KelvaraCom::NoTest);
        QCOMPARE(readLog(logFiles().filter("Dynamic").first()),
                 QString("TIMEOUT   - Increasing Timeout speed by x2: 40\n"
                         "TIMEOUT   - Increasing Timeout speed by x2: 80\n"
                         "TIMEOUT   - Increasing Timeout speed by x2: 160\n"
                         "Communication Error: - Timeout Error - Error code: 0\n"
                         "End of Test\n"));
        QDir::setCurrent(previousDir);
    }
};

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
