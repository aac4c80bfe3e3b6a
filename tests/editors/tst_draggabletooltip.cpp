// Help bubbles and their manager.

#include "draggabletooltip.h"
#include "draggabletooltipmanager.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

class TestDraggableTooltip : public QObject
{
    Q_OBJECT
    std::unique_ptr<QWidget> window;
    std::unique_ptr<DraggableTooltipManager> manager;
    QPushButton* button = nullptr;

    QList<DraggableTooltip*> openBubbles() const
    {
        QList<DraggableTooltip*> open = window->findChildren<DraggableTooltip*>();
        open.erase(
            std::remove_if(open.begin(), open.end(), [](QWidget* b) { return !b->isVisible(); }),
            open.end());
        return open;
    }
    static void mouse(QWidget* bubble, QEvent::Type type, QPoint pos, Qt::MouseButtons held)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, pos, bubble->mapToGlobal(pos), button, held, Qt::NoModifier);
        QApplication::sendEvent(bubble, &event);
    }

private slots:
    void init()
    {
        manager.reset();
        window.reset(new QWidget);
        window->setGeometry(300, 300, 200, 100);
        button = new QPushButton("?", window.get());
        window->show();
        manager.reset(new DraggableTooltipManager(window.get()));
    }

    void toggleAndClearAll()
    {
        manager->toggleTooltip("p71", button);
        QCOMPARE(openBubbles().first()->findChild<QLabel*>()->text(),
                 QString("No help available [p71]"));
        manager->toggleTooltip("p127:1", button);
        QCOMPARE(openBubbles().size(), 2);
        manager->toggleTooltip("p71", button);
        QCOMPARE(openBubbles().size(), 1);
        QSignalSpy closed(openBubbles().first(), &DraggableTooltip::closed);
        manager->clearAll();
        QVERIFY(openBubbles().isEmpty());
        QCOMPARE(closed.count(), 0);
        manager->toggleTooltip("p127:1", button);
        QCOMPARE(openBubbles().size(), 1);
    }

    void gestures_data()
    {
        QTest::addColumn<QList<QPoint>>("moves"); // in the bubble; pressed at (10, 10)
        QTest::addColumn<Qt::MouseButtons>("held");
        QTest::addColumn<bool>("stays");
        const Qt::MouseButtons left(Qt::LeftButton);
        QTest::newRow("click") << QList<QPoint>{} << left << false;
        QTest::newRow("drag 8") << QList<QPoint>{{18, 10}} << left << true;
        QTest::newRow("drag 7") << QList<QPoint>{{14, 13}} << left << false;
        QTest::newRow("away and back") << QList<QPoint>{{60, 40}, {-40, -20}} << left << false;
        QTest::newRow("right button")
            << QList<QPoint>{{60, 40}} << Qt::MouseButtons(Qt::RightButton) << false;
    }
    void gestures()
    {
        QFETCH(QList<QPoint>, moves);
        QFETCH(Qt::MouseButtons, held);
        QFETCH(bool, stays);
        manager->toggleTooltip("p71", button);
        QPointer<DraggableTooltip> bubble = openBubbles().first();
        QSignalSpy closed(bubble.data(), &DraggableTooltip::closed);
        QPoint expected = bubble->pos();
        mouse(bubble, QEvent::MouseButtonPress, {10, 10}, held);
        for (const QPoint& move : moves) {
            if (bubble->isVisible())
                mouse(bubble, QEvent::MouseMove, move, held);
            expected += move - QPoint(10, 10);
        }
        if (bubble->isVisible())
            mouse(bubble, QEvent::MouseButtonRelease, moves.value(moves.size() - 1, {10, 10}), {});
        QCOMPARE(closed.count(), stays ? 0 : 1);
        if (stays) {
            QCOMPARE(bubble->pos(), expected);
            return;
        }
        // Deleted, and the id is free again.
        QTRY_VERIFY(bubble.isNull());
        manager->toggleTooltip("p71", button);
        QCOMPARE(openBubbles().size(), 1);
    }

    void alignTo_data()
    {
        QTest::addColumn<QPoint>("anchor");
        QTest::addColumn<QPoint>("position"); // of a 120 x 50 bubble, offset 25
        QTest::newRow("above and left") << QPoint(500, 400) << QPoint(380, 350);
        QTest::newRow("below, near the top") << QPoint(500, 40) << QPoint(380, 65);
        QTest::newRow("left edge") << QPoint(100, 400) << QPoint(0, 350);
    }
    void alignTo()
    {
        QFETCH(QPoint, anchor);
        DraggableTooltip bubble(window.get());
        bubble.setFixedSize(120, 50);
        bubble.alignTo(anchor, 25);
        QTEST(bubble.pos(), "position");
    }
};

QTEST_MAIN(TestDraggableTooltip)
#include "tst_draggabletooltip.moc"
