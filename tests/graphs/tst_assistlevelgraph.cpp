#include "assistlevelgraph.h"
#include "draggablegraphedge.h"
#include "draggablegraphnode.h"
#include "graphtesting.h"

#include <QtTest>

#include <memory>

namespace {

enum { MaxPower = 73, PasPower = 122, MapOffset = 175, MapEnd = 176, Level1 = 219, Level2 = 245 };
const double rpmPixels = 340.0 / 150;

} // namespace

class TestAssistLevelGraph : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void initialLines();
    void levelsShown_data();
    void levelsShown();
    void drags_data();
    void drags();
    void powersBeyondThePlotStay();

private:
    DraggableGraphNode* knee(int line) const { return nodes.at(line - 1); }
    DraggableGraphNode* leftEnd(int line) const { return nodes.at(17 + line); }

    std::unique_ptr<BoundView<AssistLevelGraph>> bound;
    QList<DraggableGraphNode*> nodes;
};

void TestAssistLevelGraph::init()
{
    bound = std::make_unique<BoundView<AssistLevelGraph>>();
    QVERIFY(showView(&bound->view));
    nodes = itemsOf<DraggableGraphNode>(&bound->view);
    QCOMPARE(nodes.size(), 27);
}

void TestAssistLevelGraph::cleanup()
{
    bound.reset();
}

void TestAssistLevelGraph::initialLines()
{
    const QMap<int, double> power{{1, 800}, {3, 1250}, {5, 1700}, {7, 1850}, {9, 2000}};
    for (auto it = power.constBegin(); it != power.constEnd(); ++it) {
        QCOMPARE(knee(it.key())->getX(), 64.0);
        QCOMPARE(knee(it.key())->getY(), it.value());
        QCOMPARE(leftEnd(it.key())->getY(), it.value() / 2);
    }
}

void TestAssistLevelGraph::levelsShown_data()
{
    QTest::addColumn<QString>("levels");
    QTest::addColumn<QString>("shownLines"); // one mark per line: visible or not
    QTest::newRow("3") << "3" << "x---x---x";
    QTest::newRow("4") << "4" << "x---x-x-x";
    QTest::newRow("5") << "5" << "x-x-x-x-x";
    QTest::newRow("9") << "9" << "xxxxxxxxx";
    QTest::newRow("6 keeps the lines") << "6" << "x-x-x-x-x";
}

void TestAssistLevelGraph::levelsShown()
{
    QFETCH(QString, levels);
    QFETCH(QString, shownLines);
    const int edgesBefore = itemsOf<DraggableGraphEdge>(&bound->view).size();
    bound->view.changeNumAssistLevels(levels);
    const auto edges = knee(1)->edges();
    QString shown;
    for (int line = 1; line <= 9; ++line) {
        const QColor colour = knee(line)->edges().first()->getColor();
        QCOMPARE(knee(line)->edges().last()->getColor(), colour);
        shown += colour.alpha() ? "x" : "-";
    }
    QCOMPARE(shown, shownLines);
    QCOMPARE(itemsOf<DraggableGraphEdge>(&bound->view).size(), edgesBefore);
    QCOMPARE(edges.size(), 2); // recoloured in place, none added
}

void TestAssistLevelGraph::drags_data()
{
    QTest::addColumn<int>("node"); // index in creation order
    QTest::addColumn<QPoint>("by");
    QTest::addColumn<int>("address");
    QTest::addColumn<double>("stored");
    QTest::addColumn<int>("steps");
    QTest::newRow("line 5 down to 1000 W") << 4 << QPoint(0, 60) << int(Level2) << 0.5 << 4;
    QTest::newRow("line 9 to 0 W writes nothing") << 8 << QPoint(0, 300) << int(PasPower) << 2000.0 << 1;
    QTest::newRow("start of line 9 to 500 W") << 26 << QPoint(0, 43) << int(MapOffset) << 25.0 << 4;
    QTest::newRow("knees to 86 RPM") << 0 << QPoint(int(22 * rpmPixels), 0) << int(MapEnd) << 86.0 << 4;
}

void TestAssistLevelGraph::drags()
{
    QFETCH(int, node);
    QFETCH(QPoint, by);
    QFETCH(int, address);
    QFETCH(double, stored);
    QFETCH(int, steps);
    dragItem(&bound->view, nodes.at(node), by.x(), by.y(), steps);
    QCOMPARE(bound->model.value(address), stored);
    // Every line follows the registers.
    const double p1 = bound->model.value(Level1) * bound->model.value(MaxPower);
    const double p5 = bound->model.value(Level2) * bound->model.value(MaxPower);
    for (int line = 1; line <= 9; ++line) {
        QCOMPARE(knee(line)->getX(), bound->model.value(MapEnd));
        QCOMPARE(leftEnd(line)->getY() + 1, bound->model.value(MapOffset) / 100 * knee(line)->getY() + 1);
    }
    QCOMPARE(knee(3)->getY(), qMin((p1 + p5) / 2, 2000.0));
}

void TestAssistLevelGraph::powersBeyondThePlotStay()
{
    bound->model.set(PasPower, 3000);
    bound->model.set(MaxPower, 4000);
    QCOMPARE(knee(9)->getY(), 2000.0);
    QCOMPARE(bound->model.value(PasPower), 3000.0);
    QCOMPARE(bound->model.value(Level2), 0.85);

    // The torque-sensor mode has nineteen fixed nodes; back in cadence mode
    // the lines follow the registers again.
    bound->view.changePedalAssistType(false);
    QCOMPARE(itemsOf<DraggableGraphNode>(&bound->view).size(), 19);
    bound->view.changePedalAssistType(true);
    nodes = itemsOf<DraggableGraphNode>(&bound->view);
    QCOMPARE(knee(5)->getY(), 2000.0);
    QCOMPARE(knee(5)->getX(), 64.0);

    // Without a power limit a level is no share of anything: nothing written.
    bound->model.set(MaxPower, 0);
    dragItem(&bound->view, knee(1), 0, -40);
    QCOMPARE(bound->model.value(Level1), 0.4);
}

QTEST_MAIN(TestAssistLevelGraph)
#include "tst_assistlevelgraph.moc"
