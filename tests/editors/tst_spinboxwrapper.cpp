#include "spinboxwrapper.h"

#include <QDoubleSpinBox>
#include <QtTest>

class TestSpinBoxWrapper : public QObject
{
    Q_OBJECT
    QDoubleSpinBox reference, target, other;

private slots:
    void init()
    {
        for (QDoubleSpinBox* box : {&reference, &target, &other})
            box->setRange(-99999999.0, 99999999.0), box->setDecimals(3);
        target.setSuffix(" A");
    }

    void figures_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<double>("targetValue");
        QTest::addColumn<double>("referenceValue");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("torque") << 0 << 60.0 << 50.0 << " A  (11.5 Nm)";
        QTest::newRow("torque without Kv") << 0 << 60.0 << 0.0 << " A";
        QTest::newRow("no current, no Kv") << 0 << 0.0 << 0.0 << " A";
        QTest::newRow("multiplier") << 1 << 0.5 << 3.0 << " (1.5 X)";
        QTest::newRow("power") << 2 << 0.5 << 500.0 << " (250 W)";
        QTest::newRow("power rounds half up") << 2 << 0.333 << 500.0 << " (167 W)";
        QTest::newRow("power beyond an int") << 2 << 99999.0 << 99999.0 << " (9999800001 W)";
    }
    void figures()
    {
        QFETCH(int, type);
        QFETCH(double, targetValue);
        QFETCH(double, referenceValue);
        target.setValue(targetValue / 2);
        reference.setValue(referenceValue / 2);
        SpinBoxWrapper wrapper(&reference, &target, SpinBoxWrapper::WrapperType(type));
        target.setValue(targetValue); // both boxes are followed
        reference.setValue(referenceValue);
        QTEST(target.suffix(), "suffix");
    }

    // A new kind takes its reference and replaces the figure; the same kind does nothing.
    void changingType()
    {
        target.setValue(0.5);
        reference.setValue(500.0);
        other.setValue(3.0);
        SpinBoxWrapper wrapper(&reference, &target, SpinBoxWrapper::Power);
        wrapper.changeWrapperType(SpinBoxWrapper::Power, &other);
        QCOMPARE(target.suffix(), QString(" (250 W)"));
        wrapper.changeWrapperType(SpinBoxWrapper::Multiplier, &other);
        reference.setValue(600.0); // no longer watched
        QCOMPARE(target.suffix(), QString(" (1.5 X)"));
        wrapper.changeWrapperType(SpinBoxWrapper::Power, &reference);
        QCOMPARE(target.suffix(), QString(" (300 W)"));
    }
};

QTEST_MAIN(TestSpinBoxWrapper)
#include "tst_spinboxwrapper.moc"
