#include "draggablegraphnode.h"
#include "draggablegraphshading.h"
#include "graphtesting.h"
#include "sensorlessstartinggraph.h"

#include <QtTest>

#include <memory>

namespace {

enum { MaxRpm = 108, SpinupTime = 109, HoldTime = 110 };

} // namespace

class TestSensorlessStartingGraph : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void nodesFollowRegisters_data();
    void nodesFollowRegisters();
    void drags_data();
    void drags();

private:
    std::unique_ptr<BoundView<SensorlessStartingGraph>> bound;
    DraggableGraphNode* node1 = nullptr;
    DraggableGraphNode* node2 = nullptr;
};

void TestSensorlessStartingGraph::init()
{
    bound = std::make_unique<BoundView<SensorlessStartingGraph>>();
    QVERIFY(showView(&bound->view));
    const auto nodes = itemsOf<DraggableGraphNode>(&bound->view);
    node1 = nodes.at(1);
    node2 = nodes.at(2);
}

void TestSensorlessStartingGraph::cleanup()
{
    bound.reset();
}

void TestSensorlessStartingGraph::nodesFollowRegisters_data()
{
    QTest::addColumn<int>("holdTime");
    QTest::addColumn<int>("spinupTime");
    QTest::addColumn<QVector<double>>("shown"); // node 1 x, node 2 x and y
    QTest::addColumn<QVector<double>>("bands"); // red end, blue start and end (whole s)
    QTest::newRow("worked example") << 500 << 1000 << QVector<double>{0.5, 1.5, 30}
                                    << QVector<double>{0, 0, 1};
    QTest::newRow("beyond the axis end") << 2500 << 1000 << QVector<double>{2.5, 3.5, 30}
                                         << QVector<double>{2, 2, 2};
    QTest::newRow("no spin-up") << 800 << 0 << QVector<double>{0.8, 0.8, 30}
                                << QVector<double>{0, 0, 0};
}

void TestSensorlessStartingGraph::nodesFollowRegisters()
{
    QFETCH(int, holdTime);
    QFETCH(int, spinupTime);
    QFETCH(QVector<double>, shown);
    QFETCH(QVector<double>, bands);
    bound->model.set(SpinupTime, spinupTime);
    bound->model.set(HoldTime, holdTime);
    QCOMPARE(bound->model.value(HoldTime), double(holdTime));
    QCOMPARE(bound->model.value(SpinupTime), double(spinupTime));
    QCOMPARE(node1->getX() + 1, shown[0] + 1);
    QCOMPARE(node2->getX() + 1, shown[1] + 1);
    QCOMPARE(node2->getY(), shown[2]);
    const auto shadings = itemsOf<DraggableGraphShading>(&bound->view);
    const QVector<double> edges{shadings[0]->getXEnd(), shadings[1]->getXStart(),
                                shadings[1]->getXEnd()};
    QCOMPARE(edges, bands);
}

void TestSensorlessStartingGraph::drags_data()
{
    QTest::addColumn<bool>("first"); // drag node 1, else node 2
    QTest::addColumn<QPoint>("by");
    QTest::addColumn<QVector<double>>("stored"); // hold time, spin-up time, max RPM
    // 19 pixels are 0.1 s, 3 pixels 1 RPM.
    QTest::newRow("node 1 carries node 2") << true << QPoint(19, 0)
                                           << QVector<double>{200, 1000, 30};
    QTest::newRow("node 1 in 1 ms steps") << true << QPoint(1, 0)
                                          << QVector<double>{105, 1000, 30};
    QTest::newRow("node 2 stops at node 1") << false << QPoint(-500, 0)
                                            << QVector<double>{100, 0, 30};
    QTest::newRow("node 2 sets the speed") << false << QPoint(0, -30)
                                           << QVector<double>{100, 1000, 40};
}

void TestSensorlessStartingGraph::drags()
{
    QFETCH(bool, first);
    QFETCH(QPoint, by);
    QFETCH(QVector<double>, stored);
    dragItem(&bound->view, first ? node1 : node2, by.x(), by.y());
    const QVector<double> values{bound->model.value(HoldTime), bound->model.value(SpinupTime),
                                 bound->model.value(MaxRpm)};
    QCOMPARE(values, stored);
    QCOMPARE(node2->getX() * 1000, stored[0] + stored[1]);
}

QTEST_MAIN(TestSensorlessStartingGraph)
#include "tst_sensorlessstartinggraph.moc"
