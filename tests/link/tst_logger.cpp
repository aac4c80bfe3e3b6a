// Console texts and autotune test logs: line formats, file names and the
// test-state machine of the link.

#include "kelvara.h"
#include "kelvaracom.h"
#include "logger.h"
#include "parameter.h"
#include "simulatedlink.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

namespace {

const QString name35 = QStringLiteral("Name Of Exactly Thirty Five Letters");
const QString name36 = QStringLiteral("A Name Of Thirty Six Characters Long");

QByteArray entry(int address, const QString& name, bool write = true, bool saved = true)
{
    return "\"" + QByteArray::number(address) + "\": {\"name\": \"" + name.toUtf8()
        + "\", \"read\": true, \"write\": " + (write ? "true" : "false") + ", \"saved\": "
        + (saved ? "true" : "false") + ", \"scale\": \"10\", \"decimals\": 1}";
}

QStringList logFiles()
{
    return QDir("logs").entryList(QDir::Files, QDir::Name);
}

QString readLog(const QString& name)
{
    QFile file("logs/" + name);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    return QString::fromUtf8(file.readAll());
}

} // namespace

class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void nameField_data();
    void nameField();
    void valueText();
    void devMessage();
    void resultLines();
    void freeText();
    void loggerWithoutFile();
    void fileNames();
    void sameSecondLogsKeptApart();

    void testStateMachine();
    void linkLogsTraffic();
    void linkLogsFailure();

private:
    QTemporaryFile definitions;
    std::unique_ptr<QTemporaryDir> workDir;
    QString previousDir;
};

void TestLogger::initTestCase()
{
    QVERIFY(definitions.open());
    QCOMPARE(name35.size(), 35);
    QCOMPARE(name36.size(), 36);
    definitions.write("{\n" + entry(10, "Speed") + ",\n" + entry(11, name35) + ",\n"
                      + entry(12, name36) + ",\n" + entry(13, "Scratch", true, false) + ",\n"
                      + entry(511, "Write Parameters to Flash", true, false) + "\n}");
    definitions.flush();
}

// Every test runs in a fresh working directory, where "logs" goes.
void TestLogger::init()
{
    previousDir = QDir::currentPath();
    workDir.reset(new QTemporaryDir);
    QVERIFY(workDir->isValid());
    QVERIFY(QDir::setCurrent(workDir->path()));
}

void TestLogger::cleanup()
{
    QDir::setCurrent(previousDir);
    workDir.reset();
}

void TestLogger::nameField_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<QString>("field");
    QTest::newRow("short") << 10 << QString("Speed").leftJustified(35);
    QTest::newRow("exactly 35") << 11 << name35;
    QTest::newRow("36 kept whole") << 12 << name36;
    QTest::newRow("no definition") << 99 << QString("invalid").leftJustified(35);
}

void TestLogger::nameField()
{
    QFETCH(int, address);
    QFETCH(QString, field);
    Kelvara model(nullptr, definitions.fileName(), definitions.fileName());
    Logger logger(nullptr, &model);
    QCOMPARE(logger.getElementByAddr(address), field);

    Logger withoutModel(nullptr, nullptr);
    QCOMPARE(withoutModel.getElementByAddr(7), QString("Could Not Find Variable: Addr - 7").leftJustified(35));
    QCOMPARE(withoutModel.getAddrValue(7), QString());
}

void TestLogger::valueText()
{
    Kelvara model(nullptr, definitions.fileName(), definitions.fileName());
    Logger logger(nullptr, &model);
    model.getParameter(10)->setRegisterValue(1234);
    QCOMPARE(logger.getAddrValue(10), QString("123.4"));
    model.getParameter(10)->setRegisterValue(0);
    QCOMPARE(logger.getAddrValue(10), QString("0"));
    // The placeholder of an address without a definition.
    QCOMPARE(logger.getAddrValue(99), QString("-1"));
}

void TestLogger::devMessage()
{
    Kelvara model(nullptr, definitions.fileName(), definitions.fileName());
    model.getParameter(10)->setRegisterValue(75);
    Logger logger(nullptr, &model);

    const QString read = logger.formatDevMessage(10, true, true);
    const QRegularExpression readPattern("^\nRead Res:\n(\\d\\d):(\\d\\d):(\\d\\d)  - Addr: 10 - "
                                         + QRegularExpression::escape(QString("Speed").leftJustified(35))
                                         + " - Value: 7\\.5$");
    QVERIFY2(readPattern.match(read).hasMatch(), qPrintable(read));

    const QString write = logger.formatDevMessage(12, true, false);
    QVERIFY2(write.startsWith("\nWrite Res:\n"), qPrintable(write));
    QVERIFY(write.endsWith(" - Addr: 12 - " + name36 + " - Value: 0"));

    const QString plain = logger.formatDevMessage(10, false, true);
    QVERIFY2(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d  - Addr: 10 - ").match(plain).hasMatch(),
             qPrintable(plain));
    QVERIFY(!plain.contains('\n'));
}

void TestLogger::resultLines()
{
    Kelvara model(nullptr, definitions.fileName(), definitions.fileName());
    model.getParameter(10)->setRegisterValue(75);
    {
        Logger logger(nullptr, "static", &model);
        logger.write(10, true, true);
        logger.write(11, false, true);
        logger.write(12, true, false);
    }
    const QStringList files = logFiles();
    QCOMPARE(files.size(), 1);
    const QStringList lines = readLog(files.first()).split('\n');
    QCOMPARE(lines.size(), 8);
    QCOMPARE(lines.at(0), QString());
    QCOMPARE(lines.at(1), QString("Read Res:"));
    const QString date = "\\d\\d\\.\\d\\d\\.\\d\\d\\d\\d \\d\\d:\\d\\d:\\d\\d ";
    QVERIFY2(QRegularExpression("^" + date + "Addr: 10: " + QString("Speed").leftJustified(35)
                                + " - Value: 7\\.5$")
                 .match(lines.at(2))
                 .hasMatch(),
             qPrintable(lines.at(2)));
    QVERIFY2(QRegularExpression("^" + date + "Addr: 11: " + name35 + " - Value: 0$").match(lines.at(3)).hasMatch(),
             qPrintable(lines.at(3)));
    QCOMPARE(lines.at(4), QString());
    QCOMPARE(lines.at(5), QString("Write Res:"));
    QVERIFY(lines.at(6).endsWith("Addr: 12: " + name36 + " - Value: 0"));
    QCOMPARE(lines.at(7), QString()); // the file ends with a line end
}

void TestLogger::freeText()
{
    Kelvara model(nullptr, definitions.fileName(), definitions.fileName());
    QString fileName;
    {
        Logger logger(nullptr, "dynamic", &model);
        fileName = QFileInfo(logger.fileName()).fileName();
        logger.write(QString("one"));
        logger.write(QString("two\nthree"));
        logger.write(QString("four\n"));
    }
    QCOMPARE(readLog(fileName), QString("one\ntwo\nthreefour\n"));
}

void TestLogger::loggerWithoutFile()
{
    Kelvara model(nullptr, definitions.fileName(), definitions.fileName());
    Logger logger(nullptr, &model);
    logger.write(10, true, true);
    logger.write(QString("text"));
    QVERIFY(logger.fileName().isEmpty());
    QVERIFY(!QDir("logs").exists());
}

void TestLogger::fileNames()
{
    Kelvara model(nullptr, definitions.fileName(), definitions.fileName());
    Logger stationary(nullptr, "static", &model);
    Logger spinning(nullptr, "Static", &model); // any other word: dynamic
    const QRegularExpression pattern("^\\d\\d\\.\\d\\d-\\d\\d:\\d\\d:\\d\\d( \\(\\d+\\))? (Static|Dynamic)\\.txt$");
    const QFileInfo first(stationary.fileName());
    const QFileInfo second(spinning.fileName());
    QVERIFY2(pattern.match(first.fileName()).hasMatch(), qPrintable(first.fileName()));
    QVERIFY(first.fileName().endsWith(" Static.txt"));
    QVERIFY(second.fileName().endsWith(" Dynamic.txt"));
    QCOMPARE(first.absolutePath(), QDir("logs").absolutePath());
    QVERIFY(first.exists());
}

// Two tests started within one second must not empty each other's log.
void TestLogger::sameSecondLogsKeptApart()
{
    Kelvara model(nullptr, definitions.fileName(), definitions.fileName());
    QString firstName;
    QString secondName;
    QString thirdName;
    {
        Logger first(nullptr, "static", &model);
        first.write(QString("first"));
        Logger second(nullptr, "static", &model);
        second.write(QString("second"));
        Logger third(nullptr, "static", &model);
        firstName = QFileInfo(first.fileName()).fileName();
        secondName = QFileInfo(second.fileName()).fileName();
        thirdName = QFileInfo(third.fileName()).fileName();
    }
    QVERIFY(firstName != secondName);
    QVERIFY(secondName != thirdName);
    QCOMPARE(readLog(firstName), QString("first\n"));
    QCOMPARE(readLog(secondName), QString("second\n"));
    if (firstName.left(14) == secondName.left(14))
        QCOMPARE(secondName, firstName.left(14) + " (2) Static.txt");
}

void TestLogger::testStateMachine()
{
    Kelvara model(nullptr, definitions.fileName(), definitions.fileName());
    KelvaraCom link(&model);

    link.haltLog(); // no test: nothing happens
    QVERIFY(!QDir("logs").exists());
    link.startAutotune(KelvaraCom::AutotuneTestState(3));
    QCOMPARE(link.getAutotuneTestState(), KelvaraCom::NoTest);
    QVERIFY(!QDir("logs").exists());

    link.startAutotune(KelvaraCom::StaticTest);
    QCOMPARE(link.getAutotuneTestState(), KelvaraCom::StaticTest);
    QCOMPARE(logFiles().size(), 1);
    QVERIFY(logFiles().first().endsWith(" Static.txt"));

    // Static to dynamic keeps the open file.
    link.startAutotune(KelvaraCom::DynamicTest);
    QCOMPARE(link.getAutotuneTestState(), KelvaraCom::DynamicTest);
    QCOMPARE(logFiles().size(), 1);

    link.haltLog();
    QCOMPARE(link.getAutotuneTestState(), KelvaraCom::NoTest);
    QCOMPARE(readLog(logFiles().first()), QString("End of Test\n"));
    link.haltLog();
    QCOMPARE(readLog(logFiles().first()), QString("End of Test\n"));

    link.startAutotune(KelvaraCom::DynamicTest);
    QCOMPARE(logFiles().size(), 2);
    link.setAutotuneTestState(KelvaraCom::NoTest);
    QCOMPARE(logFiles().filter("Dynamic").size(), 1);
}

// While a test runs, every register read or written goes into its log, and
// writes do not start a flash save of their own.
void TestLogger::linkLogsTraffic()
{
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

    const QStringList lines = readLog(logFiles().first()).split('\n');
    QCOMPARE(lines.size(), 13);
    QCOMPARE(lines.at(1), QString("Read Res:"));
    QVERIFY(lines.at(2).endsWith("Addr: 10: " + QString("Speed").leftJustified(35) + " - Value: 7.5"));
    QVERIFY(lines.at(3).contains("Addr: 11: "));
    QCOMPARE(lines.at(5), QString("Write Res:"));
    QVERIFY(lines.at(6).endsWith("Addr: 12: " + name36 + " - Value: 3"));
    QCOMPARE(lines.at(7), QString("TIMEOUT   - Increasing Timeout speed by x2: 80"));
    QCOMPARE(lines.at(9), QString("Read Res:"));
    QVERIFY(lines.at(10).contains("Addr: 13: "));
    QCOMPARE(lines.at(11), QString("End of Test"));
}

void TestLogger::linkLogsFailure()
{
    SimulatedLink t(20, definitions.fileName());
    t.link->startAutotune(KelvaraCom::DynamicTest);
    t.sim.setSilent(true);
    t.link->oneRead(10);
    QVERIFY(t.waitFor("errorMessage(Read Fail)"));
    QCOMPARE(t.link->getAutotuneTestState(), KelvaraCom::NoTest);
    QCOMPARE(readLog(logFiles().first()),
             QString("TIMEOUT   - Increasing Timeout speed by x2: 40\n"
                     "TIMEOUT   - Increasing Timeout speed by x2: 80\n"
                     "TIMEOUT   - Increasing Timeout speed by x2: 160\n"
                     "Communication Error: - Timeout Error - Error code: 0\n"
                     "End of Test\n"));
}

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
