#include "qled.h"

#include <QGraphicsEllipseItem>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QtTest>

class TestQLed : public QObject
{
    Q_OBJECT

private slots:
    void sizeLimits();
    void sceneIsOwnedByTheLamp();
    void setColorFillsTheInsideOnly_data();
    void setColorFillsTheInsideOnly();
    void renderingShowsTheColourInsideTheRing();
    void stretchedLampKeepsItsCircleCentred();

private:
    static QGraphicsEllipseItem* ellipseOf(QLed& led);
    static const QColor teal;
    static bool isDarkened(const QColor& pixel) { return pixel.green() < teal.green() / 2; }
    static QImage renderOnTeal(int width, const QColor& color);
};

const QColor TestQLed::teal(0, 128, 128);

// The lamp's own member named scene hides the view's accessor.
static QGraphicsScene* sceneOf(QLed& led)
{
    return static_cast<QGraphicsView&>(led).scene();
}

QGraphicsEllipseItem* TestQLed::ellipseOf(QLed& led)
{
    const auto items = sceneOf(led)->items();
    if (items.size() != 1)
        return nullptr;
    return qgraphicsitem_cast<QGraphicsEllipseItem*>(items.first());
}

// Draws a lamp of the given width inside a teal parent and returns the
// parent's picture, so see-through parts show teal.
QImage TestQLed::renderOnTeal(int width, const QColor& color)
{
    QWidget parent;
    parent.setAutoFillBackground(true);
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, teal);
    parent.setPalette(palette);
    auto* led = new QLed(&parent);
    if (color.isValid())
        led->setColor(color);
    led->setGeometry(0, 0, width, 20);
    parent.resize(width, 20);
    return parent.grab().toImage();
}

void TestQLed::sizeLimits()
{
    QLed led(nullptr);
    QCOMPARE(led.minimumSize(), QSize(20, 20));
    QCOMPARE(led.maximumSize(), QSize(500, 20));

    // In a layout the lamp may grow sideways but never in height.
    QWidget box;
    auto* layout = new QHBoxLayout(&box);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* lamp = new QLed(&box);
    layout->addWidget(lamp);
    box.resize(300, 200);
    layout->activate();
    QCOMPARE(lamp->height(), 20);
    QCOMPARE(lamp->width(), 300);
}

void TestQLed::sceneIsOwnedByTheLamp()
{
    QPointer<QGraphicsScene> scene;
    {
        QLed led(nullptr);
        scene = sceneOf(led);
        QVERIFY(scene);
        QCOMPARE(scene->parent(), &led);
        QCOMPARE(scene->sceneRect(), QRectF(0, 0, 20, 20));
        QCOMPARE(scene->itemIndexMethod(), QGraphicsScene::NoIndex);
    }
    QVERIFY(scene.isNull());
}

void TestQLed::setColorFillsTheInsideOnly_data()
{
    QTest::addColumn<QColor>("color");
    QTest::newRow("green") << QColor(Qt::green);
    QTest::newRow("red") << QColor(Qt::red);
    QTest::newRow("half transparent yellow") << QColor(255, 255, 0, 128);
    QTest::newRow("back to unlit") << QColor(Qt::transparent);
}

void TestQLed::setColorFillsTheInsideOnly()
{
    QFETCH(QColor, color);
    QLed led(nullptr);
    led.setColor(Qt::blue);
    led.setColor(color);
    QGraphicsEllipseItem* ellipse = ellipseOf(led);
    QVERIFY(ellipse);
    QCOMPARE(ellipse->brush().style(), Qt::SolidPattern);
    QCOMPARE(ellipse->brush().color(), color);
    QCOMPARE(ellipse->pen(), QPen());
    QCOMPARE(ellipse->rect(), QRectF(1, 1, 18, 18));
}

void TestQLed::renderingShowsTheColourInsideTheRing()
{
    const QImage unlit = renderOnTeal(20, QColor());
    QCOMPARE(unlit.pixelColor(10, 10), teal);     // see-through inside
    QCOMPARE(unlit.pixelColor(0, 0), teal);       // see-through corner, no border
    QVERIFY(isDarkened(unlit.pixelColor(10, 1))); // the black ring, top
    QVERIFY(isDarkened(unlit.pixelColor(1, 10))); // and left

    const QImage lit = renderOnTeal(20, Qt::red);
    QCOMPARE(lit.pixelColor(10, 10), QColor(Qt::red));
    QCOMPARE(lit.pixelColor(0, 0), teal);
    QVERIFY(isDarkened(lit.pixelColor(10, 1)));
}

void TestQLed::stretchedLampKeepsItsCircleCentred()
{
    const QImage image = renderOnTeal(60, Qt::red);
    QCOMPARE(image.pixelColor(30, 10), QColor(Qt::red));
    QCOMPARE(image.pixelColor(5, 10), teal);
    QCOMPARE(image.pixelColor(55, 10), teal);
    // 18 pixels across: red just inside both sides of the ring, teal outside.
    QCOMPARE(image.pixelColor(23, 10), QColor(Qt::red));
    QCOMPARE(image.pixelColor(36, 10), QColor(Qt::red));
    QCOMPARE(image.pixelColor(19, 10), teal);
    QCOMPARE(image.pixelColor(40, 10), teal);
}

QTEST_MAIN(TestQLed)
#include "tst_qled.moc"
