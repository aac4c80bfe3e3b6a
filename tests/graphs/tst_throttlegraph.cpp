#include "draggablegraphnode.h"
#include "draggablegraphshading.h"
#include "graphtesting.h"
#include "throttlegraph.h"

#include <QtTest>

#include <memory>

namespace {

enum { Start = 214, Max = 213, Deadband = 151, Fault = 152, BrakeStart = 216, BrakeMax = 215 };
// Nodes in the order the graph makes them.
enum { BrakeNode1, BrakeNode2, Node0, Node2, Node1, Node3, Node4, Node5 };
const int pixelsPerVolt = 64;

} // namespace

class TestThrottleGraph : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void nodesFollowRegisters_data();
    void nodesFollowRegisters();
    void dragsKeepTheGap_data();
    void dragsKeepTheGap();
    void brakeGap_data();
    void brakeGap();
    void faultNodeOffThePlot();

private:
    double x(int node) const { return nodes.at(node)->getX(); }
    void setThrottle(double start, double max, double band, double fault);

    std::unique_ptr<BoundView<ThrottleGraph>> bound;
    QList<DraggableGraphNode*> nodes;
};

void TestThrottleGraph::init()
{
    bound = std::make_unique<BoundView<ThrottleGraph>>();
    QVERIFY(showView(&bound->view));
    nodes = itemsOf<DraggableGraphNode>(&bound->view);
    QCOMPARE(nodes.size(), 8);
}

void TestThrottleGraph::cleanup()
{
    bound.reset();
}

void TestThrottleGraph::setThrottle(double start, double max, double band, double fault)
{
    bound->model.set(Deadband, band);
    bound->model.set(Fault, fault);
    bound->model.set(Max, max);
    bound->model.set(Start, start);
}

void TestThrottleGraph::nodesFollowRegisters_data()
{
    QTest::addColumn<QVector<double>>("entered"); // start, max, dead band, fault range
    QTest::addColumn<QVector<double>>("stored");
    QTest::addColumn<QVector<double>>("nodeX"); // node 0 to node 5
    QTest::newRow("worked example") << QVector<double>{1.0, 4.0, 0.2, 0.5}
                                    << QVector<double>{1.0, 4.0, 0.2, 0.5}
                                    << QVector<double>{0.5, 1.0, 1.2, 3.8, 4.0, 4.5};
    // The bound 3.4 V is pixel 217, 3.390625 V, kept with two decimals.
    QTest::newRow("start beyond the maximum") << QVector<double>{3.5, 3.6, 0, 0.5}
                                              << QVector<double>{3.39, 3.6, 0, 0.5}
                                              << QVector<double>{2.89, 3.39, 3.39, 3.6, 3.6, 4.1};
    QTest::newRow("fault range past 5 V") << QVector<double>{1.0, 4.8, 0.1, 1.0}
                                          << QVector<double>{1.0, 4.8, 0.1, 1.0}
                                          << QVector<double>{0.0, 1.0, 1.1, 4.7, 4.8, 5.8};
}

void TestThrottleGraph::nodesFollowRegisters()
{
    QFETCH(QVector<double>, entered);
    QFETCH(QVector<double>, stored);
    QFETCH(QVector<double>, nodeX);
    setThrottle(entered[0], entered[1], entered[2], entered[3]);
    const QVector<double> values{bound->model.value(Start), bound->model.value(Max), bound->model.value(Deadband),
                                 bound->model.value(Fault)};
    QCOMPARE(values, stored);
    const QVector<double> shown{x(Node0), x(Node1), x(Node2), x(Node3), x(Node4), x(Node5)};
    for (int i = 0; i < 6; ++i)
        QVERIFY2(qAbs(shown[i] - nodeX[i]) < 1e-9, qPrintable(QString("node %1: %2").arg(i).arg(shown[i])));
}

void TestThrottleGraph::dragsKeepTheGap_data()
{
    QTest::addColumn<double>("band");
    QTest::addColumn<int>("node");
    QTest::addColumn<int>("dx");
    QTest::addColumn<int>("address");
    QTest::addColumn<double>("written");
    // Bounds are whole pixels: node 1 stops at pixel 230 (3.59 V), 0.4 V
    // below node 4; node 4 at pixel 89 (1.39 V), without pushing node 1.
    QTest::newRow("start up to the gap") << 0.2 << int(Node1) << 250 << int(Start) << 3.59;
    QTest::newRow("maximum down to the gap") << 0.2 << int(Node4) << -250 << int(Max) << 1.39;
    QTest::newRow("gap at least 0.2 V") << 0.05 << int(Node4) << -250 << int(Max) << 1.19;
    QTest::newRow("start in 0.01 V steps") << 0.2 << int(Node1) << 7 << int(Start) << 1.11;
    QTest::newRow("dead band from node 2") << 0.2 << int(Node2) << 13 << int(Deadband) << 0.4;
    QTest::newRow("fault range from node 5") << 0.2 << int(Node5) << 32 << int(Fault) << 1.0;
}

void TestThrottleGraph::dragsKeepTheGap()
{
    QFETCH(double, band);
    QFETCH(int, node);
    QFETCH(int, dx);
    QFETCH(int, address);
    QFETCH(double, written);
    setThrottle(1.0, 4.0, band, 0.5);
    dragItem(&bound->view, nodes.at(node), dx, 0);
    QCOMPARE(bound->model.value(address), written);
    // The derived nodes sit at the stored distances again after the release.
    // The fault nodes follow at the stored distances.
    QCOMPARE(x(Node0) + 10, bound->model.value(Start) - bound->model.value(Fault) + 10);
    QCOMPARE(x(Node5), bound->model.value(Max) + bound->model.value(Fault));

    // A second drag the same way behaves like the first.
    if (node == Node1 && dx < 20) {
        dragItem(&bound->view, nodes.at(node), dx, 0);
        QCOMPARE(bound->model.value(Start), 2 * written - 1.0);
        QCOMPARE(bound->model.value(Deadband), band);
    }
}

void TestThrottleGraph::brakeGap_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("storedStart");
    QTest::addColumn<double>("storedMax");
    QTest::newRow("max pushed up") << 2.0 << 2.1 << 2.0 << 2.2;
    QTest::newRow("both down from 5 V") << 4.9 << 4.95 << 4.8 << 5.0;
    QTest::newRow("falling ramp kept") << 3.0 << 1.0 << 3.0 << 1.0;
}

void TestThrottleGraph::brakeGap()
{
    QFETCH(double, start);
    QFETCH(double, max);
    QFETCH(double, storedStart);
    QFETCH(double, storedMax);
    bound->model.set(BrakeMax, max);
    bound->model.set(BrakeStart, start);
    QCOMPARE(bound->model.value(BrakeStart), storedStart);
    QCOMPARE(bound->model.value(BrakeMax), storedMax);
    QCOMPARE(x(BrakeNode1), storedStart);
    QCOMPARE(x(BrakeNode2), storedMax);

    // While held the nodes may come close; the release restores the gap.
    bound->model.set(BrakeMax, 4.6);
    bound->model.set(BrakeStart, 2.0);
    double heldMax = 0;
    dragItem(&bound->view, nodes.at(BrakeNode2), -160, 0, 2, [&](int) { heldMax = bound->model.value(BrakeMax); });
    QCOMPARE(heldMax, 3.35);
    QCOMPARE(bound->model.value(BrakeMax), 2.2);
}

void TestThrottleGraph::faultNodeOffThePlot()
{
    setThrottle(1.0, 4.0, 0.2, 1.5);
    QCOMPARE(x(Node0), -0.5);
    DraggableGraphShading* lowerFault = itemsOf<DraggableGraphShading>(&bound->view).at(1);
    QCOMPARE(lowerFault->getXEnd(), 0.0);
}

QTEST_MAIN(TestThrottleGraph)
#include "tst_throttlegraph.moc"
