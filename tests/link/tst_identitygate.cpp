// Which write frames may leave the link, and how the identity check's
// answers are judged.

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
        QVERIFY(!gate.refusesWrites());
    }

    void judgesAnswers_data()
    {
        QTest::addColumn<ControllerIdentity>("read");
        QTest::addColumn<Reads>("reads");
        QTest::addColumn<Answers>("answers");
        QTest::addColumn<int>("verdict"); // of the last answer
        const Reads below6000{{1, 256}, {2, 237}};
        const Reads from6000{{1, 256}, {1, 1881}, {1, 2017}};
        QTest::newRow("the same") << controllerA << below6000
                                  << Answers{{256, {5921}}, {237, {0x0104, 4711}}}
                                  << int(IdentityGate::Verdict::SameController);
        QTest::newRow("another serial number")
            << controllerA << below6000 << Answers{{256, {5921}}, {237, {0x0104, 5150}}}
            << int(IdentityGate::Verdict::OtherController);
        QTest::newRow("another hardware version")
            << controllerA << below6000 << Answers{{256, {5921}}, {237, {0x0105, 4711}}}
            << int(IdentityGate::Verdict::OtherController);
        // Where the rest lies depends on it: nothing more is read.
        QTest::newRow("another firmware")
            << controllerA << below6000.mid(0, 1) << Answers{{256, {6021}}}
            << int(IdentityGate::Verdict::OtherController);
        QTest::newRow("the same, firmware 6000 on")
            << controllerA6 << from6000 << Answers{{256, {6021}}, {1881, {0x0805}}, {2017, {4711}}}
            << int(IdentityGate::Verdict::SameController);
        QTest::newRow("another serial number, firmware 6000 on")
            << controllerA6 << from6000 << Answers{{256, {6021}}, {1881, {0x0805}}, {2017, {4712}}}
            << int(IdentityGate::Verdict::OtherController);
    }
    void judgesAnswers()
    {
        QFETCH(ControllerIdentity, read);
        QFETCH(Reads, reads);
        QFETCH(Answers, answers);
        QFETCH(int, verdict);
        IdentityGate gate = inDoubt(read);
        gate.beginCheck();
        QVERIFY(gate.isChecking());
        for (int i = 0; i < answers.size(); ++i) {
            QCOMPARE(gate.takeNextRead(), reads.at(i));
            const IdentityGate::Verdict got =
                gate.takeAnswer(answers.at(i).first, answers.at(i).second);
            if (i + 1 < answers.size())
                QCOMPARE(int(got), int(IdentityGate::Verdict::NeedsMore));
            else
                QCOMPARE(int(got), verdict);
        }
        QVERIFY(!gate.isChecking());
        const bool same = verdict == int(IdentityGate::Verdict::SameController);
        QCOMPARE(gate.isInDoubt(), !same);
        QCOMPARE(gate.refusesWrites(), !same);
        QCOMPARE(gate.letsPass(writeFrame(72, {1500})), same);
        // Until the other one has been read completely.
        gate.trust(ControllerIdentity(5921, 0x0104, 5150));
        QVERIFY(!gate.refusesWrites() && gate.letsPass(writeFrame(72, {1500})));
    }
};

QTEST_GUILESS_MAIN(TestIdentityGate)
#include "tst_identitygate.moc"
