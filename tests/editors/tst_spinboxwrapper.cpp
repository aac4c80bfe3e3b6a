#include "spinboxwrapper.h"

#include <QDoubleSpinBox>
#include <QtTest>

#include <memory>

class TestSpinBoxWrapper : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void figures_data();
    void figures();
    void changingTypeReplacesTheFigure();
    void sameTypeKeepsItsReference();
    void updatesFollowBothBoxes();

private:
    std::unique_ptr<QDoubleSpinBox> reference;
    std::unique_ptr<QDoubleSpinBox> target;
    std::unique_ptr<QDoubleSpinBox> other;
};

void TestSpinBoxWrapper::init()
{
    for (auto* box : {&reference, &target, &other}) {
        box->reset(new QDoubleSpinBox);
        (*box)->setRange(-99999999.0, 99999999.0);
        (*box)->setDecimals(3);
    }
    target->setSuffix(" A");
}

void TestSpinBoxWrapper::figures_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<double>("targetValue");
    QTest::addColumn<double>("referenceValue");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("torque") << 0 << 60.0 << 50.0 << " A  (11.5 Nm)";
    QTest::newRow("torque without Kv") << 0 << 60.0 << 0.0 << " A  (inf Nm)";
    QTest::newRow("torque of nothing") << 0 << 0.0 << 0.0 << " A  (nan Nm)";
    QTest::newRow("multiplier") << 1 << 0.5 << 3.0 << " (1.5 X)";
    QTest::newRow("power") << 2 << 0.5 << 500.0 << " (250 W)";
    QTest::newRow("power rounds half up") << 2 << 0.333 << 500.0 << " (167 W)";
    QTest::newRow("power beyond an int") << 2 << 99999.0 << 99999.0 << " (9999800001 W)";
    QTest::newRow("unknown kind") << 7 << 1.0 << 1.0 << " A";
}

void TestSpinBoxWrapper::figures()
{
    QFETCH(int, type);
    QFETCH(double, targetValue);
    QFETCH(double, referenceValue);
    target->setValue(targetValue);
    reference->setValue(referenceValue);
    SpinBoxWrapper wrapper(reference.get(), target.get(), SpinBoxWrapper::WrapperType(type));
    QTEST(target->suffix(), "suffix");
}

void TestSpinBoxWrapper::changingTypeReplacesTheFigure()
{
    target->setValue(0.5);
    reference->setValue(500.0);
    other->setValue(3.0);
    SpinBoxWrapper wrapper(reference.get(), target.get(), SpinBoxWrapper::Power);
    wrapper.changeWrapperType(SpinBoxWrapper::Multiplier, other.get());
    QCOMPARE(target->suffix(), QString(" (1.5 X)"));
    reference->setValue(600.0); // no longer watched
    QCOMPARE(target->suffix(), QString(" (1.5 X)"));
    wrapper.changeWrapperType(SpinBoxWrapper::Power, reference.get());
    QCOMPARE(target->suffix(), QString(" (300 W)"));
}

void TestSpinBoxWrapper::sameTypeKeepsItsReference()
{
    target->setValue(0.5);
    reference->setValue(500.0);
    SpinBoxWrapper wrapper(reference.get(), target.get(), SpinBoxWrapper::Power);
    wrapper.changeWrapperType(SpinBoxWrapper::Power, other.get());
    other->setValue(40.0);
    reference->setValue(100.0);
    QCOMPARE(target->suffix(), QString(" (50 W)"));
}

void TestSpinBoxWrapper::updatesFollowBothBoxes()
{
    target->setValue(60.0);
    reference->setValue(50.0);
    SpinBoxWrapper wrapper(reference.get(), target.get(), SpinBoxWrapper::Torque);
    reference->setValue(100.0);
    QCOMPARE(target->suffix(), QString(" A  (5.7 Nm)"));
    target->setValue(120.0);
    QCOMPARE(target->suffix(), QString(" A  (11.5 Nm)"));
}

QTEST_MAIN(TestSpinBoxWrapper)
#include "tst_spinboxwrapper.moc"
