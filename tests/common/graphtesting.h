#ifndef GRAPHTESTING_H
#define GRAPHTESTING_H

// Graphs and sliders under test: a device model holding the embedded initial
// values, and real mouse drags on a view's viewport (QTest's mouseMove sends
// no button in Qt 5.15, so the moves are sent with the button held).

#include "kelvara.h"
#include "parameter.h"
#include "xmltranslator.h"

#include <QApplication>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QMouseEvent>
#include <QtTest>

#include <limits>

struct GraphModel
{
    GraphModel() { XMLTranslator(&device).importFromXML(":/InitialValues.xml"); }

    double value(int address) const { return device.getParameter(address)->getValue(); }
    void set(int address, double v) { device.getParameter(address)->setValue(v); }

    Kelvara device;
};

// Items of a type in the order they were added (equal stacking order).
template<typename Item>
QList<Item*> itemsOf(QGraphicsView* view)
{
    QList<Item*> found;
    const auto items = view->scene()->items(Qt::AscendingOrder);
    for (QGraphicsItem* item : items) {
        if (auto* wanted = dynamic_cast<Item*>(item))
            found << wanted;
    }
    return found;
}

inline bool showView(QGraphicsView* view)
{
    view->show();
    return QTest::qWaitForWindowExposed(view);
}

// A graph or slider bound to a model with the initial values.
template<typename View>
struct BoundView
{
    BoundView() { view.initialize(&model.device); }

    GraphModel model;
    View view{nullptr};
};

inline void sendMove(QWidget* viewport, const QPoint& at)
{
    QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
}

// Presses on the item, moves by (dx, dy) viewport pixels in steps, releases.
// between(step) runs after each move but the last.
template<typename Between = void (*)(int)>
void dragItem(
    QGraphicsView* view, QGraphicsItem* item, int dx, int dy, int steps = 4,
    Between between = [](int) {})
{
    QWidget* viewport = view->viewport();
    const QPoint from = view->mapFromScene(item->scenePos());
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, from);
    for (int i = 1; i <= steps; ++i) {
        sendMove(viewport, from + QPoint(dx * i / steps, dy * i / steps));
        if (i < steps)
            between(i);
    }
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, from + QPoint(dx, dy));
}

// Presses on the item, moves by (dx, dy) viewport pixels in steps and back
// to the pixel it was pressed on, or to one off it, releases there.
inline void dragItemAndBack(QGraphicsView* view, QGraphicsItem* item, int dx, int dy, int steps = 4,
                            const QPoint& off = QPoint())
{
    QWidget* viewport = view->viewport();
    const QPoint from = view->mapFromScene(item->scenePos());
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, from);
    for (int i = 1; i <= 2 * steps; ++i) {
        const int out = i <= steps ? i : 2 * steps - i;
        sendMove(viewport, from + QPoint(dx * out / steps, dy * out / steps));
    }
    sendMove(viewport, from + off);
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, from + off);
}

// A drag of the item through scene points, by the scene's own mouse
// handling, with exact scene positions (a view rounds them to its pixels):
// pressed where the item stands (raised for the drag above what lies
// there), moved to each point in steps and released at the last.
inline void dragThrough(QGraphicsItem* item, const QList<QPointF>& points, int steps = 8)
{
    QGraphicsScene* scene = item->scene();
    const QPointF from = item->scenePos();
    QPointF last = from;
    auto send = [&](QEvent::Type type, const QPointF& at, Qt::MouseButtons held) {
        QGraphicsSceneMouseEvent event(type);
        event.setScenePos(at);
        event.setLastScenePos(last);
        event.setButtonDownScenePos(Qt::LeftButton, from);
        event.setButton(type == QEvent::GraphicsSceneMouseMove ? Qt::NoButton : Qt::LeftButton);
        event.setButtons(held);
        QApplication::sendEvent(scene, &event);
        last = at;
    };
    const qreal z = item->zValue();
    item->setZValue(std::numeric_limits<qreal>::max());
    send(QEvent::GraphicsSceneMousePress, from, Qt::LeftButton);
    item->setZValue(z);
    QPointF leg = from;
    for (const QPointF& point : points) {
        for (int i = 1; i <= steps; ++i)
            send(QEvent::GraphicsSceneMouseMove, leg + (point - leg) * i / steps, Qt::LeftButton);
        leg = point;
    }
    send(QEvent::GraphicsSceneMouseRelease, leg, Qt::NoButton);
}

// A drag of the item to a scene point. A drag back to where an item stood
// ends exactly there.
inline void dragInScene(QGraphicsItem* item, const QPointF& target, int steps = 8)
{
    dragThrough(item, {target}, steps);
}

#endif // GRAPHTESTING_H
