// The graph editors and the voltage slider in the main window: bound at
// start-up, and a controller read of values they cannot show leaves the
// model exactly as read.

#include "assistlevelgraph.h"
#include "draggablegraphedge.h"
#include "draggablegraphnode.h"
#include "graphtesting.h"
#include "sliderthumb.h"
#include "throttlegraph.h"
#include "voltagecutoffslider.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QLabel>
#include <QSlider>

using namespace WindowFixture;

namespace {

// Raw values the graphs cannot show as they are.
const QMap<int, int> outOfRange = {
    {141, 853},  // Low Voltage Cutoff (Start) 10 V, below the slider's 19 V
    {142, 853},  // Low Voltage Cutoff (End) 10 V
    {194, 1707}, // Max Regen Voltage (Start) 20 V, closer than 0.5 V to...
    {195, 1724}, // Max Regen Voltage (End) 20.2 V
    {213, 819},  // Throttle Max Voltage 1.0 V, below...
    {214, 3277}, // Throttle Start Voltage 4.0 V
    {215, 1720}, // Brake Max Voltage 2.1 V, closer than 0.2 V to...
    {216, 1638}, // Brake Start Voltage 2.0 V
    {73, 4000},  // Max Power Limit 4000 W: level 1 above the graph's 2000 W
    {122, 3000}, // Maximum Power in PAS Mode 3000 W
};

} // namespace

class TestMainWindowGraphs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void graphsBoundAtStartUp();
    void readLeavesTheModelAsRead();

private:
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<ControllerSimulator> simulator;
    std::unique_ptr<MainWindow> window;
};

void TestMainWindowGraphs::initTestCase()
{
    workspace = std::make_unique<Workspace>();
    simulator = startSimulator();
    QVERIFY(simulator);
    for (auto it = outOfRange.constBegin(); it != outOfRange.constEnd(); ++it)
        simulator->setRegisterValue(it.key(), it.value());
    window = std::make_unique<MainWindow>();
    window->initControllerConnectionMonitor();
    window->initDraggableGraphs();
}

void TestMainWindowGraphs::cleanupTestCase()
{
    window.reset();
    simulator.reset();
    workspace.reset();
}

void TestMainWindowGraphs::graphsBoundAtStartUp()
{
    QCOMPARE(itemsOf<DraggableGraphNode>(window->findChild<ThrottleGraph*>()).size(), 8);
    QCOMPARE(itemsOf<SliderThumb>(window->findChild<VoltageCutoffSlider*>()).size(), 4);
    auto* rpmSlider = window->findChild<QSlider*>("rpmSlider");
    QCOMPARE(rpmSlider->maximum(), 750);
    QCOMPARE(rpmSlider->value(), 300);
    QCOMPARE(window->findChild<QLabel*>("rpmSliderDisplay")->text(), "300");

    auto* assist = window->findChild<AssistLevelGraph*>();
    auto* levels = window->findChild<QComboBox*>("numAssistLevels");
    levels->addItem("3");
    levels->setCurrentText("3");
    const auto line3 = itemsOf<DraggableGraphNode>(assist).at(2)->edges();
    QCOMPARE(line3.first()->getColor().alpha(), 0);
}

void TestMainWindowGraphs::readLeavesTheModelAsRead()
{
    QVERIFY(connectTo(window.get(), simulator.get()));
    QVERIFY(waitIdle(window.get()));
    Kelvara* model = window->deviceModel();
    QCOMPARE(model->getUnsavedValues(), (QMap<int, int>()));
    for (auto it = outOfRange.constBegin(); it != outOfRange.constEnd(); ++it)
        QCOMPARE(model->getParameter(it.key())->getRegisterValue(), it.value());

    // The graphs show what they can: the brake nodes as read, the throttle
    // start held off the maximum, the slider's thumbs at its bottom end.
    const auto nodes = itemsOf<DraggableGraphNode>(window->findChild<ThrottleGraph*>());
    QCOMPARE(nodes.at(0)->getX(), 2.0);
    QCOMPARE(nodes.at(1)->getX(), 2.1);
    QCOMPARE(nodes.at(6)->getX(), 1.0);
    QVERIFY(nodes.at(4)->getX() < 1.0);
    const auto thumbs = itemsOf<SliderThumb>(window->findChild<VoltageCutoffSlider*>());
    QCOMPARE(thumbs.at(1)->getPosition(), 19.0);

    // An edit after the read is the user's own: the slider keeps its gaps.
    model->getParameter(194)->setValue(50);
    QCOMPARE(model->getParameter(195)->getValue(), 50.5);
    QCOMPARE(model->getUnsavedValues().keys(), (QList<int>{194, 195}));

    // Restoring the read brings back the controller's values untouched.
    model->restoreFirstReadValues();
    QCOMPARE(model->getUnsavedValues(), (QMap<int, int>()));
    for (auto it = outOfRange.constBegin(); it != outOfRange.constEnd(); ++it)
        QCOMPARE(model->getParameter(it.key())->getRegisterValue(), it.value());
}

QTEST_MAIN(TestMainWindowGraphs)
#include "tst_mainwindowgraphs.moc"
