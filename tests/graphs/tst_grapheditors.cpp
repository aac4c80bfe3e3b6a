// The graph editors and the voltage slider bound to one device model, as the
// main window binds them, driven by register edits and real mouse drags.

#include "assistlevelgraph.h"
#include "brakinggraph.h"
#include "draggablegraphedge.h"
#include "multislider.h"
#include "draggablegraphnode.h"
#include "draggablegraphshading.h"
#include "graphtesting.h"
#include "sensorlessstartinggraph.h"
#include "sliderthumb.h"
#include "temperaturefeedbackgraph.h"
#include "throttlegraph.h"
#include "voltagecutoffslider.h"

#include <QtTest>

#include <memory>

namespace {

// The braking map is no part of the window: it gets a model of its own.
enum Graph { Throttle, Assist, Sensorless, Temperature, Cutoff, Braking };

struct Editors
{
    Editors()
    {
        throttle.initialize(&model.device), assist.initialize(&model.device);
        sensorless.initialize(&model.device), temperature.initialize(&model.device);
        cutoff.initialize(&model.device);
        // The window binds the slider before the initial values arrive.
        XMLTranslator(&model.device).importFromXML(":/InitialValues.xml");
    }

    QGraphicsView* view(int graph)
    {
        return QList<QGraphicsView*>{&throttle, &assist, &sensorless, &temperature, &cutoff}.at(
            graph);
    }

    GraphModel model;
    ThrottleGraph throttle{nullptr};
    AssistLevelGraph assist{nullptr};
    SensorlessStartingGraph sensorless{nullptr};
    TemperatureFeedbackGraph temperature{nullptr};
    VoltageCutoffSlider cutoff{nullptr};
};

QMap<int, int> raws(const GraphModel& model)
{
    QMap<int, int> values;
    const auto parameters = model.device.getAllParameters();
    for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it)
        values[it.key()] = it.value()->getRegisterValue();
    return values;
}

QString number(double v)
{
    return QString::number(v + 0.0); // no "-0"
}

// What a view shows: node i as "n<i>" = "x,y", thumb i as "t<i>" (to the
// registers' 0.1 V), shaded band i as "b<i>" = "start..end".
QMap<QString, QString> shown(QGraphicsView* view)
{
    QMap<QString, QString> items;
    const auto nodes = itemsOf<DraggableGraphNode>(view);
    for (int i = 0; i < nodes.size(); ++i)
        items[QString("n%1").arg(i)] = number(nodes[i]->getX()) + "," + number(nodes[i]->getY());
    const auto thumbs = itemsOf<SliderThumb>(view);
    for (int i = 0; i < thumbs.size(); ++i)
        items[QString("t%1").arg(i)] = number(qRound(thumbs[i]->getPosition() * 10) / 10.0);
    const auto bands = itemsOf<DraggableGraphShading>(view);
    for (int i = 0; i < bands.size(); ++i)
        items[QString("b%1").arg(i)] =
            number(bands[i]->getXStart()) + ".." + number(bands[i]->getXEnd());
    return items;
}

} // namespace

class TestGraphEditors : public QObject
{
    Q_OBJECT

    std::unique_ptr<Editors> editors;

    // Runs "address=value" edits and "n<i>:dx,dy[/steps]" (or "t<i>:...")
    // drags in order; a drag ending in "<" comes back to where it began.
    void act(QGraphicsView* view, GraphModel& model, const QString& actions)
    {
        for (const QString& action : actions.split(' ', Qt::SkipEmptyParts)) {
            if (action.contains('=')) {
                model.set(action.section('=', 0, 0).toInt(), action.section('=', 1).toDouble());
                continue;
            }
            const QStringList by = action.section(':', 1).section('/', 0, 0).split(',');
            const int steps = action.contains('/') ? action.section('/', 1).toInt() : 4;
            const int index = action.mid(1).section(':', 0, 0).toInt();
            QGraphicsItem* item = action.startsWith('t')
                ? static_cast<QGraphicsItem*>(itemsOf<SliderThumb>(view).at(index))
                : itemsOf<DraggableGraphNode>(view).at(index);
            if (action.endsWith('<'))
                dragItemAndBack(view, item, by[0].toInt(), by[1].toInt(), steps);
            else
                dragItem(view, item, by[0].toInt(), by[1].toInt(), steps);
        }
    }

private slots:
    void init()
    {
        editors = std::make_unique<Editors>();
        for (int graph = Throttle; graph <= Cutoff; ++graph)
            QVERIFY(showView(editors->view(graph)));
    }
    void cleanup() { editors.reset(); }

    // After the actions the registers listed hold their values and no other
    // register has changed; the view shows the items listed (a node given
    // by x alone is checked on x).
    void editsAndDrags_data()
    {
        QTest::addColumn<int>("graph");
        QTest::addColumn<QString>("actions");
        QTest::addColumn<QString>("registers");
        QTest::addColumn<QString>("items");
        // Throttle nodes: brake 1 and 2, then 0, 2, 1, 3, 4, 5 of the map.
        const QString throttle = "151=0.2 152=0.5 213=4 214=1";
        QTest::newRow("throttle worked example")
            << int(Throttle) << throttle << throttle << "n2=0.5 n4=1 n3=1.2 n5=3.8 n6=4 n7=4.5";
        // The bound 3.4 V is pixel 217, 3.390625 V, kept with two decimals.
        QTest::newRow("throttle start beyond the maximum")
            << int(Throttle) << "151=0 152=0.5 213=3.6 214=3.5"
            << "151=0 152=0.5 213=3.6 214=3.39"
            << "n2=2.89 n4=3.39 n3=3.39 n5=3.6 n6=3.6 n7=4.1";
        QTest::newRow("throttle gap at least 0.2 V")
            << int(Throttle) << "151=0.05 152=0.5 213=4 214=1 n6:-250,0"
            << "151=0.05 152=0.5 213=1.2 214=1"
            << "n6=1.2";
        QTest::newRow("throttle gap twice the dead band")
            << int(Throttle) << "151=0.3 152=0.5 213=4 214=1 n6:-250,0"
            << "151=0.3 152=0.5 213=1.6 214=1"
            << "n6=1.6";
        QTest::newRow("throttle start twice the dead band below")
            << int(Throttle) << "151=0.3 152=0.5 213=4 214=1 n4:250,0"
            << "151=0.3 152=0.5 213=4 214=3.39"
            << "n4=3.39";
        // The brake ramp (n0 start 216, n1 maximum 215) keeps 0.2 V, either way up.
        QTest::newRow("brake start edited pushes the maximum up")
            << int(Throttle) << "215=3 216=2.9"
            << "215=3.1 216=2.9"
            << "n0=2.9 n1=3.1";
        QTest::newRow("brake maximum at 5 V pushes the start down")
            << int(Throttle) << "215=5 216=4.9"
            << "215=5 216=4.8"
            << "n0=4.8 n1=5";
        QTest::newRow("brake ramp falling") << int(Throttle) << "215=1 216=1.1"
                                            << "215=1 216=1.2"
                                            << "n0=1.2 n1=1";
        QTest::newRow("brake maximum dragged onto the start")
            << int(Throttle) << "215=3 216=1 n1:-120,0"
            << "215=1.2 216=1"
            << "n1=1.2";
        QTest::newRow("throttle dead band from node 2") << int(Throttle) << throttle + " n3:13,0"
                                                        << "151=0.4 152=0.5 213=4 214=1"
                                                        << "n3=1.4";
        // 64 pixels are 1 V; the nodes may cross.
        QTest::newRow("braking nodes cross") << int(Braking) << "215=1 216=3"
                                             << "215=1 216=3"
                                             << "n0=3 n1=1";
        QTest::newRow("braking start dragged") << int(Braking) << "n0:32,0"
                                               << "216=1.3"
                                               << "n0=1.3";
        QTest::newRow("braking maximum dragged past the start") << int(Braking) << "n1:64,0"
                                                                << "215=1"
                                                                << "n0=0.8 n1=1";
        QTest::newRow("assist line 5 down to 1000 W") << int(Assist) << "n4:0,60"
                                                      << "245=0.5"
                                                      << "n4=64,1000 n2=64,900 n22=0,500";
        QTest::newRow("assist without power limit") << int(Assist) << "73=0 n0:0,-40"
                                                    << "73=0 219=0.4"
                                                    << "";

        QTest::newRow("sensorless worked example") << int(Sensorless) << "109=1000 110=500"
                                                   << "109=1000 110=500"
                                                   << "n1=0.5 n2=1.5,30 b0=0..0 b1=0..1";
        // 19 pixels are 0.1 s, 3 pixels 1 RPM.
        QTest::newRow("sensorless node 1 in 1 ms steps") << int(Sensorless) << "n1:3,0"
                                                         << "110=116"
                                                         << "n2=1.116";
        // Released within two pixels of the press: where it began.
        QTest::newRow("sensorless node 1 two pixels off") << int(Sensorless) << "n1:2,0"
                                                          << "110=100"
                                                          << "n1=0.1 n2=1.1";

        QTest::newRow("temperature points are fixed") << int(Temperature) << "95=1.5 n3:20,-40"
                                                      << "95=1.5 96=1.12"
                                                      << "n2=50,1.5 n3=75,1.12";

        // Thumbs 1 to 4 (t0 to t3) are registers 142, 141, 194 and 195.
        QTest::newRow("cutoff start pushes the end down") << int(Cutoff) << "142=35 141=30"
                                                          << "142=29.5 141=30"
                                                          << "t0=29.5 t1=30";
        QTest::newRow("cutoff thumb 2 carries 3 and 4 up") << int(Cutoff) << "t1:0,-400"
                                                           << "142=40 141=89 194=89.5 195=90"
                                                           << "t1=89 t2=89.5 t3=90";
        // Back where they were pressed: the start values, pushed ones too.
        QTest::newRow("cutoff thumb 4 down and back") << int(Cutoff) << "t3:0,200<"
                                                      << ""
                                                      << "t3=58.5";
        // 0.85 x 200 / 71 viewport pixels per volt: one pixel moves 0.4 V.
        QTest::newRow("cutoff thumb 1 in 0.1 V steps") << int(Cutoff) << "t0:0,-5"
                                                       << "142=42.1 141=42.6"
                                                       << "t0=42.1 t1=42.6";
    }

    void editsAndDrags()
    {
        QFETCH(int, graph);
        QFETCH(QString, actions);
        QFETCH(QString, registers);
        QFETCH(QString, items);
        BoundView<BrakingGraph> braking;
        GraphModel& model = graph == Braking ? braking.model : editors->model;
        QGraphicsView* view = graph == Braking ? &braking.view : editors->view(graph);
        QVERIFY(showView(view));
        const QMap<int, int> before = raws(model);
        act(view, model, actions);

        QList<int> listed;
        for (const QString& entry : registers.split(' ', Qt::SkipEmptyParts)) {
            listed << entry.section('=', 0, 0).toInt();
            QCOMPARE(model.value(listed.last()), entry.section('=', 1).toDouble());
        }
        const QMap<int, int> after = raws(model);
        for (auto it = after.constBegin(); it != after.constEnd(); ++it)
            QVERIFY2(listed.contains(it.key()) || it.value() == before.value(it.key()),
                     qPrintable(QString("register %1 changed").arg(it.key())));

        const QMap<QString, QString> shows = shown(view);
        for (const QString& item : items.split(' ', Qt::SkipEmptyParts)) {
            const QString key = item.section('=', 0, 0), expected = item.section('=', 1);
            QVERIFY2(shows.contains(key), qPrintable(key));
            QCOMPARE(expected.contains(',') ? shows[key] : shows[key].section(',', 0, 0), expected);
        }
    }

    void brakingNodesPastAndBack_data()
    {
        QTest::addColumn<int>("node");
        QTest::addColumn<double>("target"); // volts
        QTest::addColumn<int>("raw");       // where the drag past it stops
        QTest::newRow("start past 5 V") << 0 << 6.0 << 4096;
        QTest::newRow("start past 0 V") << 0 << -1.0 << 0;
        QTest::newRow("maximum past 5 V") << 1 << 6.0 << 4096;
        QTest::newRow("maximum past 0 V") << 1 << -1.0 << 0;
    }

    // The analog brake map, on no page of the window: a node dragged past
    // the plot's edge writes its register's value at the edge, the other
    // register nothing; dragged back it writes the value it started from.
    void brakingNodesPastAndBack()
    {
        QFETCH(int, node);
        QFETCH(double, target);
        QFETCH(int, raw);
        BoundView<BrakingGraph> braking;
        QVERIFY(showView(&braking.view));
        const QMap<int, int> before = raws(braking.model);
        DraggableGraphNode* dragged = itemsOf<DraggableGraphNode>(&braking.view).at(node);
        const QPointF start = dragged->scenePos();
        const int address = node == 0 ? 216 : 215;
        dragInScene(dragged, QPointF(braking.view.plotWidth() * target / 5, start.y()));
        QMap<int, int> expected = before;
        expected[address] = raw;
        QCOMPARE(raws(braking.model), expected);
        dragInScene(dragged, start);
        QCOMPARE(raws(braking.model), before);
    }

    // A voltage beyond the plot stands at its top; the register keeps it.
    void temperaturePointBeyondThePlot()
    {
        Parameter* voltage = editors->model.device.getParameter(95);
        voltage->setRegisterValueUnlimited(6000); // as a controller's read stores it
        const auto nodes = itemsOf<DraggableGraphNode>(&editors->temperature);
        QCOMPARE(nodes.at(2)->getY(), 5.0);
        QCOMPARE(voltage->getRegisterValue(), 6000);
        voltage->setValue(1.5);
        QCOMPARE(nodes.at(2)->getY(), 1.5);
    }

    // Nodes stay on the plot: x is put onto the domain and y down to the
    // range; a node below the x axis or not a number is refused, as is
    // every node before the scale and a second scale.
    void nodeFactoryLimits_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<QString>("made"); // "x,y", empty when refused
        QTest::newRow("inside") << 2.5 << 40.0 << "2.5,40";
        QTest::newRow("beyond the domain") << 7.0 << 40.0 << "5,40";
        QTest::newRow("left of the y axis") << -1.0 << 40.0 << "0,40";
        QTest::newRow("above the range") << 2.5 << 250.0 << "2.5,100";
        QTest::newRow("below the x axis") << 2.5 << -1.0 << "";
        QTest::newRow("not a number") << qQNaN() << 40.0 << "";
    }

    void nodeFactoryLimits()
    {
        QFETCH(double, x);
        QFETCH(double, y);
        DraggableGraph graph(nullptr);
        auto add = [&](double x, double y) {
            return graph.addNode(x, y, Qt::red, Qt::red, false, false, true, false);
        };
        QVERIFY(!add(1, 1));
        QVERIFY(graph.setScale(5, 100, "V", 0, "%", 0, 10, 10));
        QVERIFY(!graph.setScale(10, 50, "V", 0, "%", 0, 10, 10));
        DraggableGraphNode* node = add(x, y);
        QTEST(node ? number(node->getX()) + "," + number(node->getY()) : QString(), "made");
        if (node) { // moved by code it stays on the plot too
            node->setPosition(9, 900);
            QCOMPARE(number(node->getX()) + "," + number(node->getY()), QString("5,100"));
        }
    }

    // The slider's range is set once and takes no thumb outside it; a thumb
    // stays within its bounds, placed by code or dragged.
    void sliderThumbLimits_data()
    {
        QTest::addColumn<QString>("action"); // "place V" or "drag PIXELS" (up is negative)
        QTest::addColumn<double>("position");
        QTest::newRow("placed above its maximum") << "place 80" << 70.0;
        QTest::newRow("placed below its minimum") << "place 10" << 30.0;
        QTest::newRow("not a number") << "place nan" << 50.0;
        QTest::newRow("dragged up") << "drag -300" << 70.0;
        QTest::newRow("dragged down") << "drag 300" << 30.0;
    }

    // A dead band of three decimals leaves the start and the gap between
    // the steps of the maximum: 1.19 V and 2 x 0.101 V hold a maximum typed
    // below them at 1.40 V, the step above 1.392 V, never at 1.39 V, which
    // falls short of the gap.
    void throttleMaximumRoundedUp()
    {
        QStringList entries;
        for (int address : {151, 152, 213, 214, 215, 216})
            entries << QString(R"("%1": {"name": "V", "read": true, "write": true, "saved": true,
                "scale": "819.2", "units": "V", "min": "0", "max": "5", "decimals": %2,
                "type": "independent"})")
                           .arg(address)
                           .arg(address == 151 ? 3 : 2);
        QTemporaryFile definitions;
        QVERIFY(definitions.open());
        definitions.write(('{' + entries.join(',') + '}').toUtf8());
        definitions.flush();
        Kelvara model(nullptr, definitions.fileName(), definitions.fileName());
        ThrottleGraph graph(nullptr);
        graph.initialize(&model);
        for (const auto& [address, value] : {std::pair{213, 4.0}, {214, 1.19}, {151, 0.101}})
            model.getParameter(address)->setValue(value);
        QCOMPARE(model.getParameter(151)->getValue(), 0.101);
        model.getParameter(213)->setValue(1.3);
        QCOMPARE(model.getParameter(213)->getValue(), 1.40);
        QCOMPARE(model.getParameter(213)->getRegisterValue(), 1147);
    }

    void sliderThumbLimits()
    {
        QFETCH(QString, action);
        MultiSlider slider(nullptr);
        QVERIFY(!slider.addThumb(50));
        QCOMPARE(slider.setRange(0, 100, "V"), 0);
        QCOMPARE(slider.setRange(0, 10, "V"), -1);
        QVERIFY(!slider.addThumb(100.5) && !slider.addThumb(-0.5));
        SliderThumb* thumb = slider.addThumb(50);
        thumb->setMin(30), thumb->setMax(70);
        QVERIFY(showView(&slider));
        const double by = action.section(' ', 1).toDouble();
        if (action.startsWith("drag"))
            dragItem(&slider, thumb, 0, int(by));
        else
            thumb->setPosition(by);
        QTEST(thumb->getPosition(), "position");
    }

    // Lines 1, 5 and 9 always show, the others by the number of levels;
    // a count without a rule of its own or a new sensor type keeps them.
    void assistLinesByLevels_data()
    {
        QTest::addColumn<QStringList>("levels"); // chosen in turn
        QTest::addColumn<bool>("torque");
        QTest::addColumn<QString>("lines"); // shown
        QTest::newRow("3") << QStringList{"3"} << false << "1 5 9";
        QTest::newRow("4") << QStringList{"4"} << false << "1 5 7 9";
        QTest::newRow("5") << QStringList{"5"} << false << "1 3 5 7 9";
        QTest::newRow("9") << QStringList{"9"} << false << "1 2 3 4 5 6 7 8 9";
        QTest::newRow("9, then 7") << QStringList{"9", "7"} << false << "1 2 3 4 5 6 7 8 9";
        QTest::newRow("4, torque sensor") << QStringList{"4"} << true << "1 5 7 9";
    }

    void assistLinesByLevels()
    {
        QFETCH(QStringList, levels);
        QFETCH(bool, torque);
        BoundView<AssistLevelGraph> assist;
        for (const QString& count : levels)
            assist.view.changeNumAssistLevels(count);
        if (torque)
            assist.view.changePedalAssistType(false);
        // Left edges of lines 1 to 9, then their right edges.
        const auto edges = itemsOf<DraggableGraphEdge>(&assist.view);
        QCOMPARE(edges.size(), 18);
        QStringList shown;
        for (int line = 1; line <= 9; ++line) {
            const bool drawn = edges[line - 1]->getColor().alpha() > 0;
            QCOMPARE(edges[line + 8]->getColor().alpha() > 0, drawn);
            if (drawn)
                shown << QString::number(line);
        }
        QTEST(shown.join(' '), "lines");
    }
};

QTEST_MAIN(TestGraphEditors)
#include "tst_grapheditors.moc"
