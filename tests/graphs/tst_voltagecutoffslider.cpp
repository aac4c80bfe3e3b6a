#include "graphtesting.h"
#include "multislider.h"
#include "sliderthumb.h"
#include "slidertrack.h"
#include "voltagecutoffslider.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

// Thumbs 1 to 4, from the lowest voltage up.
const QVector<int> addresses{142, 141, 194, 195};
using Entries = QVector<QPair<int, double>>;

} // namespace

class TestVoltageCutoffSlider : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void multiSlider();
    void editsKeepTheGap_data();
    void editsKeepTheGap();
    void drags_data();
    void drags();

private:
    QVector<double> registers() const;
    QVector<double> thumbValues() const;

    std::unique_ptr<BoundView<VoltageCutoffSlider>> bound;
    QList<SliderThumb*> thumbs;
};

void TestVoltageCutoffSlider::init()
{
    bound = std::make_unique<BoundView<VoltageCutoffSlider>>();
    // The window binds the slider before the initial values arrive.
    XMLTranslator(&bound->model.device).importFromXML(":/InitialValues.xml");
    QVERIFY(showView(&bound->view));
    thumbs = itemsOf<SliderThumb>(&bound->view);
    QCOMPARE(registers(), (QVector<double>{40, 42, 57, 58.5}));
    QCOMPARE(thumbValues(), registers());
}

void TestVoltageCutoffSlider::cleanup()
{
    bound.reset();
}

QVector<double> TestVoltageCutoffSlider::registers() const
{
    QVector<double> values;
    for (int address : addresses)
        values << bound->model.value(address);
    return values;
}

// Rounded to the registers' one decimal.
QVector<double> TestVoltageCutoffSlider::thumbValues() const
{
    QVector<double> values;
    for (SliderThumb* thumb : thumbs)
        values << qRound(thumb->getPosition() * 10) / 10.0;
    return values;
}

void TestVoltageCutoffSlider::multiSlider()
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

void TestVoltageCutoffSlider::editsKeepTheGap_data()
{
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<QVector<double>>("stored");
    QTest::newRow("below the track") << Entries{{141, 10}} << QVector<double>{19, 19.5, 57, 58.5};
    QTest::newRow("start pushes the end down") << Entries{{142, 35}, {141, 30}}
                                               << QVector<double>{29.5, 30, 57, 58.5};
    QTest::newRow("0.5 V apart left alone") << Entries{{141, 40.5}} << QVector<double>{40, 40.5, 57, 58.5};
    QTest::newRow("regen end pushes all") << Entries{{195, 20}} << QVector<double>{19, 19.5, 20, 20.5};
    QTest::newRow("above the track") << Entries{{194, 95}} << QVector<double>{40, 42, 89.5, 90};
}

void TestVoltageCutoffSlider::editsKeepTheGap()
{
    QFETCH(Entries, entries);
    QFETCH(QVector<double>, stored);
    for (const auto& entry : entries)
        bound->model.set(entry.first, entry.second);
    QCOMPARE(registers(), stored);
    QCOMPARE(thumbValues(), stored);
}

void TestVoltageCutoffSlider::drags_data()
{
    QTest::addColumn<int>("thumb");
    QTest::addColumn<int>("dy");
    QTest::addColumn<QVector<double>>("stored");
    QTest::newRow("thumb 4 to the bottom") << 3 << 400 << QVector<double>{19, 19.5, 20, 20.5};
    QTest::newRow("thumb 2 carries 3 and 4 up") << 1 << -400 << QVector<double>{40, 89, 89.5, 90};
    // 0.85 x 200 / 71 viewport pixels per volt: one pixel moves 0.4 V.
    QTest::newRow("thumb 1 in 0.1 V steps") << 0 << -5 << QVector<double>{42.1, 42.6, 57, 58.5};
}

void TestVoltageCutoffSlider::drags()
{
    QFETCH(int, thumb);
    QFETCH(int, dy);
    QFETCH(QVector<double>, stored);
    dragItem(&bound->view, thumbs.at(thumb), 0, dy);
    QCOMPARE(registers(), stored);
    QCOMPARE(thumbValues(), stored);
}

QTEST_MAIN(TestVoltageCutoffSlider)
#include "tst_voltagecutoffslider.moc"
