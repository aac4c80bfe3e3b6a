#include "assistlevelgraph.h"
#include "brakinggraph.h"
#include "draggablegraph.h"
#include "draggablegraphaxes.h"
#include "draggablegraphedge.h"
#include "draggablegraphnode.h"
#include "draggablegraphshading.h"
#include "draggablegraphspinbox.h"
#include "graphtesting.h"
#include "sensorlessstartinggraph.h"
#include "temperaturefeedbackgraph.h"
#include "throttlegraph.h"

#include <QGraphicsProxyWidget>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

// The throttle map's layout on the bare framework: plot 320 x 120 pixels.
struct TestGraph : DraggableGraph
{
    TestGraph()
        : DraggableGraph(nullptr, {400, 250, 40, 50}, QString())
    {
    }
};

} // namespace

class TestDraggableGraph : public QObject
{
    Q_OBJECT

private slots:
    void layouts_data();
    void layouts();
    void scaleAndNodeCreation();
    void nodeBoundsAndMoves();
    void edgeEnds();
    void tickLabels_data();
    void tickLabels();
    void shadingAndSpinbox();
};

void TestDraggableGraph::layouts_data()
{
    QTest::addColumn<QGraphicsView*>("graph");
    QTest::addColumn<QRectF>("sceneRect");
    QTest::newRow("throttle") << static_cast<QGraphicsView*>(new ThrottleGraph(nullptr))
                              << QRectF(-40, -210, 400, 250);
    QTest::newRow("braking") << static_cast<QGraphicsView*>(new BrakingGraph(nullptr))
                             << QRectF(-40, -210, 400, 250);
    QTest::newRow("sensorless") << static_cast<QGraphicsView*>(new SensorlessStartingGraph(nullptr))
                                << QRectF(-40, -210, 460, 250);
    QTest::newRow("temperature") << static_cast<QGraphicsView*>(new TemperatureFeedbackGraph(nullptr))
                                 << QRectF(-40, -160, 460, 200);
    QTest::newRow("assist") << static_cast<QGraphicsView*>(new AssistLevelGraph(nullptr))
                            << QRectF(-40, -210, 420, 250);
}

void TestDraggableGraph::layouts()
{
    QFETCH(QGraphicsView*, graph);
    QFETCH(QRectF, sceneRect);
    std::unique_ptr<QGraphicsView> owner(graph);
    QCOMPARE(graph->sceneRect(), sceneRect);
    QCOMPARE(graph->minimumSize(), sceneRect.size().toSize());
}

void TestDraggableGraph::scaleAndNodeCreation()
{
    TestGraph graph;
    QCOMPARE(graph.getDomain(), -1);
    QVERIFY(!graph.addNode(1, 1, Qt::red, Qt::red, false, false, true, false));
    DraggableGraphAxes* axes = graph.setScale(5, 100, "V", 0, "%", 0, 10, 10);
    QVERIFY(axes);
    QVERIFY(!graph.setScale(6, 100, "V", 0, "%", 0, 10, 10));
    QCOMPARE(graph.getDomain(), 5);

    QCOMPARE(graph.addNode(-1, 10, Qt::red, Qt::red, false, false, true, false)->getX(), 0.0);
    QCOMPARE(graph.addNode(2, 105, Qt::red, Qt::red, false, false, true, false)->getY(), 100.0);
    QVERIFY(!graph.addNode(2, -0.1, Qt::red, Qt::red, false, false, true, false));

    graph.removeSceneItem(axes);
    QCOMPARE(graph.getRange(), -1);
    QVERIFY(graph.setScale(5, 100, "V", 0, "%", 0, 10, 10));
    delete axes;
}

void TestDraggableGraph::nodeBoundsAndMoves()
{
    TestGraph graph;
    graph.setScale(5, 100, "V", 0, "%", 0, 10, 10);
    DraggableGraphNode* node = graph.addNode(2, 0, Qt::red, Qt::red, false, true, true, false);
    QCOMPARE(node->pos().x(), 128.0);
    QSignalSpy moves(node, &DraggableGraphNode::yChanged);

    node->setXMax(2.507); // stored as pixel 160
    QCOMPARE(node->getXMax(), 2.5);
    node->setXPosition(4);
    QCOMPARE(node->getX(), 2.5);
    node->setXMin(0.5);
    QCOMPARE(node->getX(), 2.5);
    node->setXMax(5);
    node->setXMin(3); // moves the node first
    QCOMPARE(node->getX(), 3.0);
    node->setPosition(4, 50); // y is fixed for setPosition only
    QCOMPARE(node->getY(), 0.0);
    node->setYPosition(50);
    QCOMPARE(node->getY(), 50.0);
    node->setXPosition(qQNaN());
    QCOMPARE(node->getX(), 4.0);
    QCOMPARE(moves.count(), 4); // one per real move

    DraggableGraphNode* hidden = graph.addNode(1, 0, Qt::red, Qt::red, false, false, false, false);
    QCOMPARE(hidden->acceptedMouseButtons(), Qt::NoButton);
    hidden->setXPosition(2);
    QCOMPARE(hidden->getX(), 2.0);
}

void TestDraggableGraph::edgeEnds()
{
    TestGraph graph;
    graph.setScale(320, 120, "", 0, "", 0, 1, 1); // one value per pixel
    auto node = [&](double x, bool visible) {
        return graph.addNode(x, 0, Qt::red, Qt::red, false, true, visible, false);
    };
    QCOMPARE(graph.addEdge(node(10, true), node(18, true), Qt::red, 3)->boundingRect(),
             QRectF(8, -2, 4, 4)); // 10 pixels or less: nothing to draw
    QCOMPARE(graph.addEdge(node(100, true), node(120, true), Qt::red, 3)->boundingRect(),
             QRectF(104, -2, 12, 4)); // 6 pixels short of each centre
    DraggableGraphEdge* edge = graph.addEdge(node(200, true), node(220, false), Qt::red, 3);
    QCOMPARE(edge->boundingRect(), QRectF(204, -2, 18, 4));

    DraggableGraphNode* source = edge->sourceNode();
    DraggableGraphEdge* recoloured = graph.changeEdgeColor(edge, Qt::blue, 3);
    QVERIFY(recoloured != edge);
    QCOMPARE(source->edges(), QList<DraggableGraphEdge*>{recoloured});
}

void TestDraggableGraph::tickLabels_data()
{
    QTest::addColumn<int>("full");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QStringList>("yLabels");
    QTest::addColumn<QStringList>("xLabels");
    QTest::newRow("throttle 100 %") << 100 << 10
                                    << QStringList{"10", "20", "30", "40", "50", "60", "70", "80", "90", "100"}
                                    << QStringList{"10", "20", "30", "40", "50", "60", "70", "80", "90", "100"};
    QTest::newRow("five volts") << 5 << 10
                                << QStringList{"0.5", "1.0", "1.5", "2.0", "2.5", "3.0", "3.5", "4.0", "4.5", "5.0"}
                                << QStringList{"0.5", "1", "1.5", "2", "2.5", "3", "3.5", "4", "4.5", "5"};
}

void TestDraggableGraph::tickLabels()
{
    QFETCH(int, full);
    QFETCH(int, ticks);
    QFETCH(QStringList, yLabels);
    QFETCH(QStringList, xLabels);
    TestGraph graph;
    DraggableGraphAxes* axes = graph.setScale(full, full, "", 0, "", 0, ticks, ticks);
    QStringList y, x;
    for (int i = 1; i <= ticks; ++i) {
        y << axes->yTickLabel(i);
        x << axes->xTickLabel(i);
    }
    QCOMPARE(y, yLabels);
    QCOMPARE(x, xLabels);
}

void TestDraggableGraph::shadingAndSpinbox()
{
    TestGraph graph;
    graph.setScale(5, 100, "", 0, "", 0, 10, 10);
    DraggableGraphShading* band = graph.addShading(1, 0, 4, 100, Qt::red, "", 0, 1);
    band->setXStart(-0.1);
    band->setXEnd(6);
    QCOMPARE(band->getXStart(), 1.0);
    QCOMPARE(band->getXEnd(), 4.0);

    DraggableGraphSpinbox* box = graph.addSpinbox(2.5, 60, 20);
    QCOMPARE(box->graphicsProxyWidget()->pos(), QPointF(130, -180));
    QVERIFY(box->isHidden());
    QVERIFY(box->isReadOnly());
}

QTEST_MAIN(TestDraggableGraph)
#include "tst_draggablegraph.moc"
