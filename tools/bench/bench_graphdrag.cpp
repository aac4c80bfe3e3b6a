// kelvara-bench-graphdrag [steps]
//
// Times one drag step on every graph editor and on the voltage slider: a
// mouse move with the button held on the viewport, the registers it writes,
// the nodes that follow them and the repaint. The temperature map has no
// draggable node; its step is a register change and the repaint. Each figure
// is printed with the same view's repaint alone as the baseline; the goal is
// under 5 ms a step. Exit status 1 when a step misses it.

#include "assistlevelgraph.h"
#include "draggablegraphnode.h"
#include "kelvara.h"
#include "parameter.h"
#include "sensorlessstartinggraph.h"
#include "sliderthumb.h"
#include "temperaturefeedbackgraph.h"
#include "throttlegraph.h"
#include "voltagecutoffslider.h"
#include "xmltranslator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QMouseEvent>
#include <QTextStream>

#include <functional>

namespace {

const double goalMs = 5.0;

// Milliseconds per call of step(i), each followed by the pending scene
// updates and a repaint of the view.
double msPerStep(QGraphicsView* view, int steps, const std::function<void(int)>& step)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < steps; ++i) {
        step(i);
        QCoreApplication::processEvents();
        view->viewport()->repaint();
    }
    return clock.nsecsElapsed() / 1e6 / steps;
}

void sendMouse(QWidget* viewport, QEvent::Type type, const QPoint& at, Qt::MouseButtons held)
{
    QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
}

// The n-th item of a type in the order the view's scene got them.
template<typename Item>
Item* nthItem(QGraphicsView* view, int n)
{
    const auto items = view->scene()->items(Qt::AscendingOrder);
    for (QGraphicsItem* item : items) {
        if (auto* wanted = dynamic_cast<Item*>(item)) {
            if (n-- == 0)
                return wanted;
        }
    }
    return nullptr;
}

struct Result
{
    QString name;
    double stepMs;
    double repaintMs;
};

// Holds the item and moves it back and forth by (dx, dy) pixels.
Result dragSteps(const QString& name, QGraphicsView* view, QGraphicsItem* item, QPoint by,
                 int steps)
{
    view->resize(view->minimumSize());
    view->show();
    QCoreApplication::processEvents();
    QWidget* viewport = view->viewport();
    const QPoint from = view->mapFromScene(item->scenePos());
    const double repaint = msPerStep(view, steps, [](int) {});
    sendMouse(viewport, QEvent::MouseButtonPress, from, Qt::LeftButton);
    const double step = msPerStep(view, steps, [&](int i) {
        sendMouse(viewport, QEvent::MouseMove, from + (i % 2 ? QPoint() : by), Qt::LeftButton);
    });
    sendMouse(viewport, QEvent::MouseButtonRelease, from, Qt::NoButton);
    view->hide();
    return {name, step, repaint};
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int steps = argc > 1 ? qMax(2, QString(argv[1]).toInt()) : 200;

    Kelvara device;
    VoltageCutoffSlider slider(nullptr);
    slider.initialize(&device);
    XMLTranslator(&device).importFromXML(":/InitialValues.xml");
    ThrottleGraph throttle(nullptr);
    SensorlessStartingGraph sensorless(nullptr);
    TemperatureFeedbackGraph temperature(nullptr);
    AssistLevelGraph assist(nullptr);
    throttle.initialize(&device);
    sensorless.initialize(&device);
    temperature.initialize(&device);
    assist.initialize(&device);

    QList<Result> results;
    // Throttle start (node 1, the fifth node made), dragging nodes 0 and 2 along.
    results << dragSteps("throttle + brake map", &throttle,
                         nthItem<DraggableGraphNode>(&throttle, 4), QPoint(20, 0), steps);
    results << dragSteps("sensorless starting map", &sensorless,
                         nthItem<DraggableGraphNode>(&sensorless, 1), QPoint(20, 0), steps);
    // The middle knee: one register, nine lines placed again.
    results << dragSteps("assist level graph", &assist, nthItem<DraggableGraphNode>(&assist, 4),
                         QPoint(0, -20), steps);
    results << dragSteps("voltage cutoff slider", &slider, nthItem<SliderThumb>(&slider, 1),
                         QPoint(0, -20), steps);

    temperature.resize(temperature.minimumSize());
    temperature.show();
    Parameter* voltage = device.getParameter(95);
    const double repaint = msPerStep(&temperature, steps, [](int) {});
    const double step =
        msPerStep(&temperature, steps, [&](int i) { voltage->setValue(i % 2 ? 2.04 : 2.5); });
    results << Result{"temperature voltage map (register change)", step, repaint};

    QTextStream out(stdout);
    bool met = true;
    for (const Result& r : qAsConst(results)) {
        out << QString("%1: %2 ms a step (repaint alone %3 ms, ratio %4)\n")
                   .arg(r.name, -42)
                   .arg(r.stepMs, 0, 'f', 3)
                   .arg(r.repaintMs, 0, 'f', 3)
                   .arg(r.stepMs / r.repaintMs, 0, 'f', 2);
        met = met && r.stepMs < goalMs;
    }
    out << (met ? "every step under " : "a step missed ") << goalMs << " ms\n";
    return met ? 0 : 1;
}
