// The graph framework's scale, node bounds, tick labels and bands, and the
// bare multi-thumb slider.

#include "draggablegraph.h"
#include "draggablegraphaxes.h"
#include "draggablegraphnode.h"
#include "draggablegraphshading.h"
#include "graphtesting.h"
#include "multislider.h"
#include "sliderthumb.h"
#include "slidertrack.h"

#include <QSignalSpy>
#include <QtTest>

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
    void scaleAndNodeCreation()
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

    void nodeBoundsAndMoves()
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

    void tickLabels_data()
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

    void tickLabels()
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

    void shadingStaysOnThePlot()
    {
        TestGraph graph;
        graph.setScale(5, 100, "", 0, "", 0, 10, 10);
        DraggableGraphShading* band = graph.addShading(1, 0, 4, 100, Qt::red, "", 0, 1);
        band->setXStart(-0.1);
        band->setXEnd(6);
        QCOMPARE(band->getXStart(), 1.0);
        QCOMPARE(band->getXEnd(), 4.0);
    }

    void multiSlider()
    {
        MultiSlider view(nullptr);
        QVERIFY(!view.addThumb(40));
        QVERIFY(!view.addShading(20, 30, Qt::red));
        QCOMPARE(view.setRange(19, 90, "V"), 0);
        QCOMPARE(view.setRange(0, 10, "A"), -1);
        QVERIFY(!view.addThumb(18.99));
        QVERIFY(view.addThumb(90));
        SliderThumb* thumb = view.addThumb(40.25);
        QVERIFY(qAbs(thumb->getPosition() - 40.25) < 1e-9);
        QCOMPARE(thumb->getMin(), 19.0);
        QCOMPARE(thumb->getMax(), 90.0);
        SliderTrack* track = itemsOf<SliderTrack>(&view).value(0);
        QCOMPARE(track->topLabel(), "90V");
        QCOMPARE(track->bottomLabel(), "19V");

        QVERIFY(showView(&view));
        QSignalSpy moves(thumb, &SliderThumb::positionChanged);
        dragItem(&view, thumb, 15, -1000);
        QCOMPARE(thumb->pos(), QPointF(0, -200));
        QCOMPARE(moves.count(), 1); // the first step reached the end, the others moved nothing
    }
};

QTEST_MAIN(TestDraggableGraph)
#include "tst_draggablegraph.moc"
