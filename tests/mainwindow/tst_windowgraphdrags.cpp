// The graph editors and the battery-voltage slider in the real window
// against the simulated controller, their nodes and thumbs dragged to, past
// and back from their bounds, judged by what Save sends: a drag writes only
// the register of what it moves, where it stops; what a graph's rule moves
// with it is named in one box, after the release, and goes back with it
// until a save makes it the controller's own.

#include "graphwindow.h"

using namespace GraphWindow;

class TestWindowGraphDrags : public QObject
{
    Q_OBJECT
    Fixture w;

    QMap<int, int> controllerValues(const QList<int>& addresses) const
    {
        QMap<int, int> values;
        for (int address : addresses)
            values.insert(address, int(w.f->simulator->registerValue(address)));
        return values;
    }

    // Registers marked unsaved, apart from those given.
    QList<int> unsavedBut(const QList<int>& mine) const
    {
        QList<int> marked = w.f->model()->getUnsavedValues().keys();
        for (int address : mine)
            marked.removeAll(address);
        return marked;
    }

private slots:
    void initTestCase() { QVERIFY(w.start()); }
    void cleanupTestCase() { w.finish(); }
    void init()
    {
        QVERIFY(waitIdle(w.f->window.get()));
        QVERIFY(w.f->model()->getUnsavedValues().isEmpty());
    }
    // The sample controller as it was, and nothing left to write.
    void cleanup() { QVERIFY(w.putBack()); }

    void dragPastAndBack_data()
    {
        QTest::addColumn<RegisterMap>("controller");
        QTest::addColumn<int>("graph");
        QTest::addColumn<int>("index");
        QTest::addColumn<QPointF>("target"); // in the graph's values
        QTest::addColumn<RegisterMap>("written");
        QTest::addColumn<QList<int>>("named");
        using M = QMap<int, int>;
        using L = QList<int>;
        // The sample controller: throttle 1.2 to 3.6 V, no dead band, fault
        // range 0.5 V (a dead band of 0.2 V to drag its nodes, which else lie
        // under the start and the maximum); brake start 0.8 V, maximum 0 V.
        // Throttle items: brake start, brake maximum, then nodes 0, 2, 1, 3,
        // 4, 5.
        QTest::newRow("throttle start past the maximum, held a pixel below 3.4 V")
            << M{} << int(Throttle) << 4 << QPointF(5, 0) << M{{214, 2777}} << L{};
        QTest::newRow("throttle start past 0 V")
            << M{} << int(Throttle) << 4 << QPointF(-1, 0) << M{{214, 0}} << L{};
        QTest::newRow("throttle maximum past the start, held at 1.4 V")
            << M{} << int(Throttle) << 6 << QPointF(0, 100) << M{{213, 1147}} << L{};
        QTest::newRow("throttle maximum past 5 V")
            << M{} << int(Throttle) << 6 << QPointF(6, 100) << M{{213, 4096}} << L{};
        // A start of 4.8 V, the gap below a maximum of 5 V: its node stands a
        // fraction of a pixel left of it, and the maximum stays.
        QTest::newRow("throttle maximum past a start at its bound")
            << M{{213, 4096}, {214, 3932}} << int(Throttle) << 6 << QPointF(0, 100) << M{} << L{};
        QTest::newRow("dead band from node 2 past the middle")
            << M{{151, 164}} << int(Throttle) << 3 << QPointF(5, 0) << M{{151, 975}} << L{};
        QTest::newRow("dead band from node 3 past the middle")
            << M{{151, 164}} << int(Throttle) << 5 << QPointF(0, 100) << M{{151, 975}} << L{};
        QTest::newRow("fault range from node 0 past its limit")
            << M{} << int(Throttle) << 2 << QPointF(-5, 0) << M{{152, 4096}} << L{};
        QTest::newRow("fault range from node 5 down to none")
            << M{} << int(Throttle) << 7 << QPointF(0, 100) << M{{152, 0}} << L{};
        QTest::newRow("brake start past 5 V")
            << M{} << int(Throttle) << 0 << QPointF(6, 0) << M{{216, 4096}} << L{};
        QTest::newRow("brake start past 0 V pushes the maximum")
            << M{} << int(Throttle) << 0 << QPointF(-1, 0) << M{{216, 0}, {215, 164}} << L{215};
        QTest::newRow("brake maximum past 5 V")
            << M{} << int(Throttle) << 1 << QPointF(6, 100) << M{{215, 4096}} << L{};
        QTest::newRow("brake maximum near the start pushes it")
            << M{} << int(Throttle) << 1 << QPointF(0.66, 100) << M{{215, 541}, {216, 705}}
            << L{216};

        // Hold time 100 ms, spin-up 1000 ms, 30 RPM: node 1 at 0.1 s, node
        // 2 at 1.1 s; beyond the plot only the registers' limits stop them.
        QTest::newRow("hold time past its limit")
            << M{} << int(Sensorless) << 1 << QPointF(8, 0) << M{{110, 5000}} << L{};
        QTest::newRow("hold time past 0")
            << M{} << int(Sensorless) << 1 << QPointF(-1, 0) << M{{110, 0}} << L{};
        QTest::newRow("spin-up past the hold time")
            << M{} << int(Sensorless) << 2 << QPointF(-1, 30) << M{{109, 0}} << L{};
        QTest::newRow("spin-up past its limit")
            << M{} << int(Sensorless) << 2 << QPointF(20, 30) << M{{109, 15000}} << L{};
        QTest::newRow("start RPM past its limit")
            << M{} << int(Sensorless) << 2 << QPointF(1.1, 3000) << M{{108, 2000}} << L{};
        QTest::newRow("start RPM past 0")
            << M{} << int(Sensorless) << 2 << QPointF(1.1, -10) << M{{108, 0}} << L{};

        // Knees at 64 RPM: line 1 at 800 W, line 5 at 1700 W, line 9 at
        // 2000 W; line 9 starts at 1000 W.
        QTest::newRow("assist level 1 past the top")
            << M{} << int(Assist) << 0 << QPointF(64, 3000) << M{{219, 4096}} << L{};
        QTest::newRow("assist level 1 past 0 W")
            << M{} << int(Assist) << 0 << QPointF(64, -100) << M{{219, 0}} << L{};
        QTest::newRow("map end past 150 RPM")
            << M{} << int(Assist) << 0 << QPointF(200, 800) << M{{176, 150}} << L{};
        QTest::newRow("assist level 2 past the top")
            << M{} << int(Assist) << 4 << QPointF(64, 3000) << M{{245, 4096}} << L{};
        // No PAS power of 0 W: the knee keeps the drag's last step above it.
        QTest::newRow("PAS power past 0 W")
            << M{} << int(Assist) << 8 << QPointF(64, -100) << M{{122, 163}} << L{};
        QTest::newRow("map offset past the top")
            << M{} << int(Assist) << 26 << QPointF(0, 3000) << M{{175, 4096}} << L{};

        // Thumbs at 40, 42, 57 and 58.5 V; the registers allow 0 to 60 V,
        // the track 19 to 90 V.
        QTest::newRow("thumb 1 past the top")
            << M{} << int(Slider) << 0 << QPointF(0, 100)
            << M{{142, 4992}, {141, 5035}, {194, 5077}, {195, 5120}} << L{141, 194, 195};
        QTest::newRow("thumb 1 past the bottom")
            << M{} << int(Slider) << 0 << QPointF(0, 10) << M{{142, 1621}} << L{};
        QTest::newRow("thumb 2 past the top")
            << M{} << int(Slider) << 1 << QPointF(0, 100)
            << M{{141, 5035}, {194, 5077}, {195, 5120}} << L{194, 195};
        QTest::newRow("thumb 2 past the bottom")
            << M{} << int(Slider) << 1 << QPointF(0, 10) << M{{141, 1664}, {142, 1621}} << L{142};
        QTest::newRow("thumb 3 past the top")
            << M{} << int(Slider) << 2 << QPointF(0, 100) << M{{194, 5077}, {195, 5120}} << L{195};
        QTest::newRow("thumb 3 past the bottom")
            << M{} << int(Slider) << 2 << QPointF(0, 10) << M{{194, 1707}, {141, 1664}, {142, 1621}}
            << L{141, 142};
        QTest::newRow("thumb 4 past the top")
            << M{} << int(Slider) << 3 << QPointF(0, 100) << M{{195, 5120}} << L{};
        QTest::newRow("thumb 4 past the bottom")
            << M{} << int(Slider) << 3 << QPointF(0, 10)
            << M{{195, 1749}, {194, 1707}, {141, 1664}, {142, 1621}} << L{141, 142, 194};

        QTest::newRow("temperature points stay")
            << M{} << int(Temperature) << 2 << QPointF(60, 4) << M{} << L{};
    }

    // Past the bound and back: nothing to write. Past it: the dragged
    // register takes the bound, what the graph's rule pushed is named in
    // one box. Back once that is saved: the dragged register's value again,
    // while what it pushed is the controller's own now and stays.
    void dragPastAndBack()
    {
        QFETCH(RegisterMap, controller);
        QFETCH(int, graph);
        QFETCH(int, index);
        QFETCH(QPointF, target);
        QFETCH(RegisterMap, written);
        QFETCH(QList<int>, named);
        QVERIFY(w.useController(controller));
        w.f->showPage(pageOf(graph));
        QGraphicsItem* dragged = w.item(graph, index);
        QVERIFY(dragged);
        const QPointF start = dragged->scenePos();
        w.rememberController(written.keys());
        QMap<int, int> original = controllerValues(written.keys());
        for (int address : named)
            original.remove(address);

        dragInScene(dragged, w.scenePoint(graph, target));
        dragInScene(dragged, start);
        QCOMPARE(dragged->scenePos(), start);
        const QMap<int, int> nothing = w.f->save();
        QVERIFY2(nothing.isEmpty(), qPrintable(describe(nothing)));

        const int told = w.limitedTexts().size();
        dragInScene(dragged, w.scenePoint(graph, target));
        const QStringList texts = w.limitedTexts();
        QCOMPARE(texts.size(), told + (named.isEmpty() ? 0 : 1));
        if (!named.isEmpty())
            QCOMPARE(namedIn(texts.last()), named);
        QCOMPARE(w.f->model()->getUnsavedValues().keys(), written.keys());
        QCOMPARE(describe(w.f->save()), describe(written));

        dragInScene(dragged, start);
        QCOMPARE(describe(w.f->save()), describe(original));
    }

    void awayAndBackInOneDrag_data()
    {
        dragPastAndBack_data();
        // The brake start 0.2 V before it, the maximum dragged 51 pixels on.
        QTest::newRow("brake maximum pushes the start and comes back")
            << RegisterMap{{216, 164}} << int(Throttle) << 1 << QPointF(0.85, 100) << RegisterMap{}
            << QList<int>{};
    }

    // Pressed, dragged away and released near where it was pressed (within
    // a pixel of the scene, then two of the view on each axis): the start
    // values again, pushed ones too, and nothing told.
    void awayAndBackInOneDrag()
    {
        QFETCH(RegisterMap, controller);
        QFETCH(int, graph);
        QFETCH(int, index);
        QFETCH(QPointF, target);
        QVERIFY(w.useController(controller));
        w.f->showPage(pageOf(graph));
        QGraphicsItem* dragged = w.item(graph, index);
        QVERIFY(dragged);
        const QPointF start = dragged->scenePos();
        const int told = w.limitedTexts().size();
        dragThrough(dragged, {w.scenePoint(graph, target), start + QPointF(0.4, 0.4)});
        QCOMPARE(w.limitedTexts().size(), told);
        QMap<int, int> nothing = w.f->save();
        QVERIFY2(nothing.isEmpty(), qPrintable(describe(nothing)));

        QGraphicsView* view = w.view(graph);
        const QPoint away = view->mapFromScene(w.scenePoint(graph, target))
            - view->mapFromScene(dragged->scenePos());
        dragItemAndBack(view, dragged, away.x(), away.y(), 8, QPoint(2, -2));
        QCOMPARE(w.limitedTexts().size(), told);
        nothing = w.f->save();
        QVERIFY2(nothing.isEmpty(), qPrintable(describe(nothing)));
    }

    void diagonalDrag_data()
    {
        QTest::addColumn<RegisterMap>("controller");
        QTest::addColumn<int>("graph");
        QTest::addColumn<int>("index");
        QTest::addColumn<QPointF>("target");
        QTest::addColumn<int>("across");
        QTest::addColumn<int>("up");
        using M = QMap<int, int>;
        // Node 2 at (1.1 s, 30 RPM); knees at 64 RPM on lines of 800 W,
        // 1700 W and 2000 W.
        QTest::newRow("sensorless right and up")
            << M{} << int(Sensorless) << 2 << QPointF(1.5, 45) << 109 << 108;
        QTest::newRow("sensorless left and down")
            << M{} << int(Sensorless) << 2 << QPointF(0.7, 12) << 109 << 108;
        QTest::newRow("sensorless up from 0 RPM")
            << M{{108, 0}} << int(Sensorless) << 2 << QPointF(1.6, 20) << 109 << 108;
        QTest::newRow("assist line 1 right and up")
            << M{} << int(Assist) << 0 << QPointF(90, 1000) << 176 << 219;
        QTest::newRow("assist line 5 left and down")
            << M{} << int(Assist) << 4 << QPointF(40, 1200) << 176 << 245;
        QTest::newRow("assist line 9 right and down")
            << M{} << int(Assist) << 8 << QPointF(100, 1500) << 176 << 122;
    }

    // A node that sets two registers, dragged both ways with the mouse on
    // the view: both are the user's, neither named as moved, and setting
    // one back leaves the other.
    void diagonalDrag()
    {
        QFETCH(RegisterMap, controller);
        QFETCH(int, graph);
        QFETCH(int, index);
        QFETCH(QPointF, target);
        QFETCH(int, across);
        QFETCH(int, up);
        QVERIFY(w.useController(controller));
        w.f->showPage(pageOf(graph));
        QGraphicsItem* dragged = w.item(graph, index);
        QVERIFY(dragged);
        const double acrossShown = w.f->spinOf(across)->value();
        const int told = w.limitedTexts().size();
        QGraphicsView* view = w.view(graph);
        const QPoint by = view->mapFromScene(w.scenePoint(graph, target))
            - view->mapFromScene(dragged->scenePos());
        dragItem(view, dragged, by.x(), by.y(), 12);
        const QStringList texts = w.limitedTexts();
        for (int i = told; i < texts.size(); ++i) {
            QVERIFY2(!namedIn(texts.at(i)).contains(across), qPrintable(texts.at(i)));
            QVERIFY2(!namedIn(texts.at(i)).contains(up), qPrintable(texts.at(i)));
        }
        QCOMPARE(w.f->model()->getUnsavedValues().keys(),
                 (QList<int>{qMin(across, up), qMax(across, up)}));
        const int upDragged = w.f->model()->getParameter(up)->getRegisterValue();

        w.f->type(across, acrossShown);
        QCOMPARE(w.f->model()->getParameter(up)->getRegisterValue(), upDragged);
        w.rememberController({up});
        QCOMPARE(describe(w.f->save()), QString("%1=%2").arg(up).arg(upDragged));
    }

    // A drag in steps that lets events in between: the values it pushes are
    // told once, when it is released, and none of it is lost to a box.
    void oneBoxPerDrag()
    {
        w.f->showPage(pageOf(Slider));
        auto* slider = w.view(Slider);
        SliderThumb* thumb = itemsOf<SliderThumb>(slider).at(1);
        const QPoint from = slider->mapFromScene(thumb->scenePos());
        const QPoint to = slider->mapFromScene(w.scenePoint(Slider, QPointF(0, 59)));
        const int told = w.boxes->count();
        int toldMeanwhile = told;
        dragItem(slider, thumb, 0, to.y() - from.y(), 12, [&](int) {
            QCoreApplication::processEvents();
            toldMeanwhile = w.boxes->count();
        });
        QCOMPARE(toldMeanwhile, told);
        const QStringList texts = w.limitedTexts();
        QCOMPARE(w.boxes->count(), told + 1);
        QCOMPARE(w.boxes->titles().last(), QString("Values Limited"));
        QCOMPARE(namedIn(texts.last()), (QList<int>{194, 195}));
        // What they held before the drag, not before its last step.
        QVERIFY2(texts.last().contains("(194): 57 V before"), qPrintable(texts.last()));
        QVERIFY2(texts.last().contains("(195): 58.5 V before"), qPrintable(texts.last()));
        QVERIFY(w.f->model()->getParameter(141)->getValue() > 58);
        QCOMPARE(unsavedBut({141}), (QList<int>{194, 195}));
    }
};

QTEST_MAIN(TestWindowGraphDrags)
#include "tst_windowgraphdrags.moc"
