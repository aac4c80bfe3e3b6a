#include "qled.h"

#include <QHBoxLayout>
#include <QtTest>

class TestQLed : public QObject
{
    Q_OBJECT
    const QColor teal{0, 128, 128};

    bool isTeal(const QImage& image, int x, int y) const { return image.pixelColor(x, y) == teal; }
    bool isDark(const QImage& image, int x, int y) const
    {
        return image.pixelColor(x, y).green() < 64;
    }

private slots:
    // In a layout the lamp may grow sideways but never in height.
    void growsSidewaysOnly()
    {
        QWidget box;
        auto* layout = new QHBoxLayout(&box);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* lamp = new QLed(&box);
        layout->addWidget(lamp);
        box.resize(300, 200);
        layout->activate();
        QCOMPARE(lamp->size(), QSize(300, 20));
    }

    void rendering_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<QColor>("color");
        QTest::newRow("unlit") << 20 << QColor(Qt::transparent);
        QTest::newRow("red") << 20 << QColor(Qt::red);
        QTest::newRow("stretched") << 60 << QColor(Qt::red);
    }

    // A black ring of 20 pixels, centred, whose inside shows the colour set;
    // all else lets the parent show through.
    void rendering()
    {
        QFETCH(int, width);
        QFETCH(QColor, color);
        QWidget parent;
        parent.setAutoFillBackground(true);
        parent.setPalette(QPalette(teal, teal));
        auto* led = new QLed(&parent);
        led->setColor(Qt::blue);
        led->setColor(color);
        led->setGeometry(0, 0, width, 20);
        parent.resize(width, 20);
        const QImage image = parent.grab().toImage();
        const int left = (width - 20) / 2;
        for (int x : {left + 3, left + 10, left + 16}) {
            if (color.alpha())
                QCOMPARE(image.pixelColor(x, 10), color);
            else
                QVERIFY(isTeal(image, x, 10));
        }
        QVERIFY(isTeal(image, left, 0));
        QVERIFY(isDark(image, left + 10, 1));
        QVERIFY(isDark(image, left + 1, 10));
        if (left)
            QVERIFY(isTeal(image, left - 1, 10) && isTeal(image, left + 20, 10));
    }
};

QTEST_MAIN(TestQLed)
#include "tst_qled.moc"
