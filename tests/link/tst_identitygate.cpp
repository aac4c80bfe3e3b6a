// Which write frames may leave the link, and how the identity check's
// answers are put together and judged.

#include "identitycheck.h"
#include "identitygate.h"
#include "kelvaracom.h"

#include <QtTest>

namespace {

using Answers = QList<QPair<int, QVector<int>>>; // (address, values) in the order read
using Reads = QList<QPair<int, int>>;            // (count, address)

QByteArray writeFrame(int address, const QVector<int>& values)
{
    QByteArray frame;
    frame += char(1);
    frame += char(16);
    frame += char(address >> 8);
    frame += char(address & 0xFF);
    frame += char(0);
    frame += char(values.size());
    frame += char(values.size() * 2);
    for (const int value : values) {
        frame += char((value >> 8) & 0xFF);
        frame += char(value & 0xFF);
    }
    return KelvaraCom::fillInCRC(frame);
}

const ControllerIdentity controllerA(5921, 0x0104, 4711);
const ControllerIdentity controllerA6(6021, 0x0805, 4711);

// The identity registers of a controller, address -> value.
QMap<int, int> registersOf(const ControllerIdentity& identity)
{
    const bool v6 = identity.firmware() >= 6000;
    if (v6)
        return {{256, identity.firmware()}, {1881, 0x0805}, {2017, 4711}};
    return {{256, identity.firmware()}, {237, 0x0104}, {238, 4711}};
}

// The answer to the check's first read, 237 to 256: the hardware version
// and serial number below firmware 6000, then the firmware.
QVector<int> firstAnswer(int firmware, int hardware = 0, int serial = 0)
{
    QVector<int> values(20, 0);
    values[0] = hardware;
    values[1] = serial;
    values[19] = firmware;
    return values;
}

// Answers every read of the check from the registers; true once whole.
bool answerAll(IdentityCheck& check, const QMap<int, int>& registers)
{
    for (int read = 0; read < 3; ++read) {
        const QPair<int, int> next = check.nextRead();
        QVector<int> values;
        for (int i = 0; i < next.first; ++i)
            values << registers.value(next.second + i);
        if (check.takeAnswer(next.second, values))
            return true;
    }
    return false;
}

// A gate that has read the controller and since lost an exchange.
IdentityGate inDoubt(const ControllerIdentity& identity)
{
    IdentityGate gate;
    gate.trust(identity);
    gate.raiseDoubt();
    return gate;
}

} // namespace

Q_DECLARE_METATYPE(ControllerIdentity)

class TestIdentityGate : public QObject
{
    Q_OBJECT

private slots:
    void safetyCommands_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("safe");
        QTest::newRow("stop") << writeFrame(481, {0}) << true;
        QTest::newRow("lock") << writeFrame(509, {0}) << true;
        QTest::newRow("spin") << writeFrame(481, {2}) << false;
        QTest::newRow("access code") << writeFrame(509, {61957}) << false;
        QTest::newRow("fault clear") << writeFrame(508, {1}) << false;
        QTest::newRow("stop among others") << writeFrame(480, {0, 0}) << false;
        QTest::newRow("a zero elsewhere") << writeFrame(72, {0}) << false;
        QTest::newRow("save to flash") << writeFrame(511, {32767}) << false;
        QTest::newRow("read of 481")
            << KelvaraCom::fillInCRC(QByteArray::fromHex("030301e10001")) << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void safetyCommands()
    {
        QFETCH(QByteArray, frame);
        QFETCH(bool, safe);
        QCOMPARE(IdentityGate::isSafetyCommand(frame), safe);
        // Whatever the doubt, a safety command goes at once.
        IdentityGate gate = inDoubt(controllerA);
        QCOMPARE(gate.letsPass(frame), safe);
    }

    void letsWritesPass()
    {
        const QByteArray kv = writeFrame(72, {1500});
        IdentityGate gate;
        // Nothing read: no controller's values to carry to another.
        gate.raiseDoubt();
        QVERIFY(gate.letsPass(kv));
        gate.trust(controllerA);
        QVERIFY(!gate.isInDoubt() && gate.letsPass(kv));
        gate.raiseDoubt();
        QVERIFY(!gate.letsPass(kv));
        // A read whose answer decides something waits as a write does; one
        // that only shows a value goes.
        QVERIFY(!gate.letsReadPass(true) && gate.letsReadPass(false));
    }

    void judgesAnswers_data()
    {
        QTest::addColumn<ControllerIdentity>("read");
        QTest::addColumn<Reads>("reads");
        QTest::addColumn<Answers>("answers");
        QTest::addColumn<bool>("same");
        const Reads below6000{{20, 237}};
        const Reads from6000{{20, 237}, {1, 1881}, {1, 2017}};
        QTest::newRow("the same") << controllerA << below6000
                                  << Answers{{237, firstAnswer(5921, 0x0104, 4711)}} << true;
        QTest::newRow("another serial number")
            << controllerA << below6000 << Answers{{237, firstAnswer(5921, 0x0104, 5150)}} << false;
        QTest::newRow("another hardware version")
            << controllerA << below6000 << Answers{{237, firstAnswer(5921, 0x0105, 4711)}} << false;
        // Where the rest lies depends on the firmware that answered: the
        // whole identity of the one that answers is read.
        QTest::newRow("another firmware")
            << controllerA << from6000
            << Answers{{237, firstAnswer(6021, 0x0104, 4711)}, {1881, {0x0104}}, {2017, {4711}}}
            << false;
        QTest::newRow("the same, firmware 6000 on")
            << controllerA6 << from6000
            << Answers{{237, firstAnswer(6021)}, {1881, {0x0805}}, {2017, {4711}}} << true;
        QTest::newRow("another serial number, firmware 6000 on")
            << controllerA6 << from6000
            << Answers{{237, firstAnswer(6021)}, {1881, {0x0805}}, {2017, {4712}}} << false;
    }
    void judgesAnswers()
    {
        QFETCH(ControllerIdentity, read);
        QFETCH(Reads, reads);
        QFETCH(Answers, answers);
        QFETCH(bool, same);
        IdentityGate gate = inDoubt(read);
        IdentityCheck check;
        check.begin();
        QVERIFY(check.isRunning());
        for (int i = 0; i < answers.size(); ++i) {
            QCOMPARE(check.nextRead(), reads.at(i));
            QCOMPARE(check.takeAnswer(answers.at(i).first, answers.at(i).second),
                     i + 1 == answers.size());
        }
        QVERIFY(check.identity().isKnown());
        check.end();
        QCOMPARE(gate.takeIdentity(check.identity()), same);
        QCOMPARE(gate.isInDoubt(), !same);
        QCOMPARE(gate.letsPass(writeFrame(72, {1500})), same);
        // Another controller is refused what it was about to get, not every
        // write after it: the next check finds the one that was read again.
        if (!same) {
            check.begin();
            QVERIFY(answerAll(check, registersOf(read)));
            QVERIFY(gate.takeIdentity(check.identity()));
            QVERIFY(!gate.isInDoubt() && gate.letsPass(writeFrame(72, {1500})));
        }
    }

    // A read that fails begins the check again: the identity comes from the
    // answers of one try, never from those of two controllers.
    void triesAreNeverCombined()
    {
        IdentityGate gate = inDoubt(controllerA6);
        IdentityCheck check;
        check.begin();
        QVERIFY(!check.takeAnswer(237, firstAnswer(6021))); // A's firmware
        // The read of 1881 goes unanswered: the cable moves to C, which has
        // A's hardware version and serial number and another firmware.
        check.beginAgain();
        QCOMPARE(check.tries(), 2);
        QCOMPARE(check.nextRead(), qMakePair(20, 237));
        QVERIFY(!check.identity().isKnown());
        QVERIFY(!check.takeAnswer(237, firstAnswer(6030)));
        QVERIFY(!check.takeAnswer(1881, {0x0805}));
        QVERIFY(check.takeAnswer(2017, {4711}));
        QCOMPARE(check.identity().firmware(), 6030);
        QVERIFY(!gate.takeIdentity(check.identity()));
        QVERIFY(gate.isInDoubt());
        // Answers of a try that was begun again count for nothing.
        check.begin();
        QVERIFY(!check.takeAnswer(237, firstAnswer(6021)));
        QVERIFY(!check.takeAnswer(1881, {0x0805}));
        check.beginAgain();
        QVERIFY(!check.takeAnswer(237, firstAnswer(6021)));
        QVERIFY(!check.identity().isKnown());
    }
};

QTEST_GUILESS_MAIN(TestIdentityGate)
#include "tst_identitygate.moc"
