// Console texts and autotune test logs: line formats, file names and the
// test-state machine of the link.

#include "logger.h"
#include "parameter.h"
#include "simulatedlink.h"

#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

namespace {

const QString name35 = QStringLiteral("Name Of Exactly Thirty Five Letters");
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
    return file.open(QIODevice::ReadOnly | QIODevice::Text) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestLogger : public QObject
{
    Q_OBJECT

private:
    QTemporaryFile definitions;
    std::unique_ptr<QTemporaryDir> workDir;
    QString previousDir;
    std::unique_ptr<Kelvara> model;

private slots:
    void initTestCase()
    {
        QVERIFY(definitions.open());
        definitions.write("{\n" + entry(10, "Speed") + ",\n" + entry(11, name35) + ",\n" + entry(12, name36) + ",\n"
                          + entry(13, "Scratch", false) + ",\n" + entry(511, "Write Parameters to Flash", false) + "\n}");
        definitions.flush();
    }

    // Every test runs in a fresh working directory, where "logs" goes.
    void init()
    {
        previousDir = QDir::currentPath();
        workDir.reset(new QTemporaryDir);
        QVERIFY(QDir::setCurrent(workDir->path()));
        model.reset(new Kelvara(nullptr, definitions.fileName(), definitions.fileName()));
    }

    void cleanup()
    {
        model.reset();
        QDir::setCurrent(previousDir);
        workDir.reset();
    }

    void fields()
    {
        Logger logger(nullptr, model.get());
        QCOMPARE(logger.getElementByAddr(10), QString("Speed").leftJustified(35));
        QCOMPARE(logger.getElementByAddr(11), name35);
        QCOMPARE(logger.getElementByAddr(12), name36); // kept whole
        QCOMPARE(logger.getElementByAddr(99), QString("invalid").leftJustified(35));
        model->getParameter(10)->setRegisterValue(1234);
        QCOMPARE(logger.getAddrValue(10), QString("123.4"));
        model->getParameter(10)->setRegisterValue(0);
        QCOMPARE(logger.getAddrValue(10), QString("0"));
        QCOMPARE(logger.getAddrValue(99), QString("-1"));
        const QString write = logger.formatDevMessage(12, true, false);
        QVERIFY2(write.startsWith("\nWrite Res:\n") && write.endsWith(" - Addr: 12 - " + name36 + " - Value: 0"),
                 qPrintable(write));

        Logger withoutModel(nullptr, nullptr);
        QCOMPARE(withoutModel.getElementByAddr(7), QString("Could Not Find Variable: Addr - 7").leftJustified(35));
        QCOMPARE(withoutModel.getAddrValue(7), QString());
        // Without a test name there is no file.
        logger.write(10, true, true);
        logger.write(QString("text"));
        QVERIFY(logger.fileName().isEmpty());
        QVERIFY(!QDir("logs").exists());
    }

    void files()
    {
        model->getParameter(10)->setRegisterValue(75);
        QStringList names;
        {
            Logger results(nullptr, "static", model.get());
            results.write(10, true, true);
            results.write(11, false, true);
            results.write(12, true, false);
            // Two tests started within one second must not empty each other's log.
            Logger text(nullptr, "static", model.get());
            text.write(QString("one"));
            text.write(QString("two\nthree"));
            text.write(QString("four\n"));
            Logger spinning(nullptr, "Static", model.get()); // any other word: dynamic
            for (const Logger* logger : {&results, &text, &spinning})
                names << QFileInfo(logger->fileName()).fileName();
            QCOMPARE(QFileInfo(results.fileName()).absolutePath(), QDir("logs").absolutePath());
        }
        const QRegularExpression pattern("^\\d\\d\\.\\d\\d-\\d\\d:\\d\\d:\\d\\d( \\(\\d+\\))? (Static|Dynamic)\\.txt$");
        for (const QString& name : names)
            QVERIFY2(pattern.match(name).hasMatch(), qPrintable(name));
        QVERIFY(names.at(0) != names.at(1));
        if (names.at(0).left(14) == names.at(1).left(14))
            QCOMPARE(names.at(1), names.at(0).left(14) + " (2) Static.txt");
        QVERIFY(names.at(2).endsWith(" Dynamic.txt"));
        QCOMPARE(readLog(names.at(1)), QString("one\ntwo\nthreefour\n"));

        const QStringList lines = readLog(names.at(0)).split('\n');
        QCOMPARE(lines.size(), 8);
        QCOMPARE(lines.mid(0, 2), QStringList({"", "Read Res:"}));
        QVERIFY2(QRegularExpression("^" + stamp + "Addr: 10: " + QString("Speed").leftJustified(35) + " - Value: 7\\.5$")
                     .match(lines.at(2)).hasMatch(), qPrintable(lines.at(2)));
        QVERIFY2(QRegularExpression("^" + stamp + "Addr: 11: " + name35 + " - Value: 0$").match(lines.at(3)).hasMatch(),
                 qPrintable(lines.at(3)));
        QCOMPARE(lines.mid(4, 2), QStringList({"", "Write Res:"}));
        QVERIFY(lines.at(6).endsWith("Addr: 12: " + name36 + " - Value: 0"));
        QCOMPARE(lines.at(7), QString()); // the file ends with a line end
    }

    void testStateMachine()
    {
        KelvaraCom link(model.get());
        link.haltLog(); // no test: nothing happens
        link.startAutotune(KelvaraCom::AutotuneTestState(3));
        QCOMPARE(link.getAutotuneTestState(), KelvaraCom::NoTest);
        QVERIFY(!QDir("logs").exists());

        link.startAutotune(KelvaraCom::StaticTest);
        QCOMPARE(link.getAutotuneTestState(), KelvaraCom::StaticTest);
        link.startAutotune(KelvaraCom::DynamicTest); // keeps the open file
        QCOMPARE(link.getAutotuneTestState(), KelvaraCom::DynamicTest);
        QCOMPARE(logFiles().size(), 1);
        QVERIFY(logFiles().first().endsWith(" Static.txt"));
        link.haltLog();
        link.haltLog();
        QCOMPARE(link.getAutotuneTestState(), KelvaraCom::NoTest);
        QCOMPARE(readLog(logFiles().first()), QString("End of Test\n"));

        link.startAutotune(KelvaraCom::DynamicTest);
        link.setAutotuneTestState(KelvaraCom::NoTest);
        QCOMPARE(logFiles().filter("Dynamic").size(), 1);
    }

    // While a test runs, every register read or written goes into its log,
    // and writes do not start a flash save of their own.
    void linkLogsTraffic()
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
        QVERIFY(lines.at(2).endsWith("Addr: 10: " + QString("Speed").leftJustified(35) + " - Value: 7.5"));
        QVERIFY(lines.at(3).contains("Addr: 11: "));
        QCOMPARE(lines.at(5), QString("Write Res:"));
        QVERIFY(lines.at(6).endsWith("Addr: 12: " + name36 + " - Value: 3"));
        QCOMPARE(lines.mid(7, 3), QStringList({"TIMEOUT   - Increasing Timeout speed by x2: 80", "", "Read Res:"}));
        QVERIFY(lines.at(10).contains("Addr: 13: "));
        QCOMPARE(lines.at(11), QString("End of Test"));

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
    }
};

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
