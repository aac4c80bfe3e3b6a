#include "draggablegraphnode.h"
#include "graphtesting.h"
#include "temperaturefeedbackgraph.h"

#include <QDoubleSpinBox>
#include <QGraphicsProxyWidget>
#include <QtTest>

class TestTemperatureFeedbackGraph : public QObject
{
    Q_OBJECT

private slots:
    void pointsFollowRegisters();
};

void TestTemperatureFeedbackGraph::pointsFollowRegisters()
{
    GraphModel model;
    TemperatureFeedbackGraph graph(nullptr);
    graph.initialize(&model.device);
    QVERIFY(showView(&graph));
    const auto nodes = itemsOf<DraggableGraphNode>(&graph);
    const auto proxies = itemsOf<QGraphicsProxyWidget>(&graph);
    auto box = [&](int k) { return static_cast<QDoubleSpinBox*>(proxies.at(k)->widget()); };
    const QVector<double> initial{4.262, 3.26, 2.04, 1.12, 0.6, 0.334};
    for (int k = 0; k < 6; ++k) {
        QCOMPARE(nodes[k]->getX(), 25.0 * k);
        QCOMPARE(nodes[k]->getY(), initial[k]);
        QCOMPARE(box(k)->value(), initial[k]);
    }
    QCOMPARE(box(0)->suffix(), " V");

    model.set(95, 1.5);
    QCOMPARE(nodes[2]->getY(), 1.5);
    QCOMPARE(box(2)->value(), 1.5);
    // Fixed points: a drag moves nothing and writes nothing.
    dragItem(&graph, nodes[3], 20, -40);
    QCOMPARE(nodes[3]->getX(), 75.0);
    QCOMPARE(model.value(96), 1.12);
}

QTEST_MAIN(TestTemperatureFeedbackGraph)
#include "tst_temperaturefeedbackgraph.moc"
