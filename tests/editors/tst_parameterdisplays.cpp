// The three editor rows against parameters of the embedded definitions.

#include "bitparameterdisplay.h"
#include "enumparameterdisplay.h"
#include "parameterdisplay.h"
#include "parameterset.h"
#include "readmodel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSignalSpy>
#include <QtTest>

template<typename T>
T* editor(QWidget& row)
{
    return row.findChild<T*>("value");
}

class TestParameterDisplays : public QObject
{
    Q_OBJECT
    std::unique_ptr<Kelvara> model;

private slots:
    void init() { model = readModel(); }

    void numberRow()
    {
        Parameter* current = model->getParameter(71);
        current->setValue(60);
        ParameterDisplay row(current);
        auto* box = editor<QDoubleSpinBox>(row);
        QCOMPARE(box->text(), QString("60 A"));
        box->selectAll();
        QTest::keyClicks(box, "80");
        QCOMPARE(current->getValue(), 60.0); // taken on Enter only
        QTest::keyClick(box, Qt::Key_Enter);
        QCOMPARE(current->getValue(), 80.0);
        QVERIFY(model->getUnsavedValues().contains(71));

        // Beyond the limit (96.5 A, whole amperes) the clamped value comes back.
        box->setValue(9999);
        QCOMPARE(current->getValue(), 96.0);
        QCOMPARE(box->value(), 96.0);

        // A value read, imported or shown by another row is shown and never
        // written back, so the register is neither rounded nor clamped.
        QSignalSpy stored(current, &Parameter::valueSet);
        current->setRegisterValue(75);
        emit current->displayChanged(-120.0);
        QCOMPARE(stored.count(), 1);
        QCOMPARE(current->getRegisterValue(), 75);
        QCOMPARE(box->value(), -120.0);

        // More digits than the limit (15000 ms) has give the limit.
        ParameterDisplay spinup(model->getParameter(109));
        editor<QDoubleSpinBox>(spinup)->selectAll();
        QTest::keyClicks(editor<QDoubleSpinBox>(spinup), "99999");
        QTest::keyClick(editor<QDoubleSpinBox>(spinup), Qt::Key_Enter);
        QCOMPARE(model->getParameter(109)->getValue(), 15000.0);

        ParameterDisplay readOnly(model->getParameter(256));
        QVERIFY(editor<QDoubleSpinBox>(readOnly)->isReadOnly());
    }

    void enumRow()
    {
        auto* mode = static_cast<EnumParameter*>(model->getParameter(11));
        mode->setValue(0);
        EnumParameterDisplay row(mode);
        auto* box = editor<QComboBox>(row);
        QCOMPARE(box->itemText(1), QString("[1]Torque"));
        QCOMPARE(box->currentIndex(), 0);
        box->setCurrentIndex(1);
        QCOMPARE(mode->getValue(), 1.0);
        QVERIFY(model->getUnsavedValues().contains(11));

        // A value without an item leaves the box empty and is not written.
        QSignalSpy announced(mode, &Parameter::valueChanged);
        static_cast<Parameter*>(mode)->setRegisterValue(7);
        QCOMPARE(box->currentIndex(), -1);
        QCOMPARE(announced.count(), 1);
        QCOMPARE(mode->getRegisterValue(), 7);

        // An item beyond the limit is refused; the box shows the real value.
        ParameterSet set(definitionFile(
            {registerEntry(5, "Mode",
                           "\"scale\": \"1\", \"max\": \"1\", \"type\": \"enum\", "
                           "\"enumDefs\": {\"0\": \"Off\", \"1\": \"On\", \"2\": \"Boost\"}")}));
        EnumParameterDisplay refusing(set.enumAt(5));
        editor<QComboBox>(refusing)->setCurrentIndex(2);
        QCOMPARE(set.enumAt(5)->getValue(), 0.0);
        QCOMPARE(editor<QComboBox>(refusing)->currentText(), QString("[0]Off"));
    }

    void bitRowsOfOneRegisterStayIndependent()
    {
        auto* features = static_cast<BitVector*>(model->getParameter(212));
        features->unsetBit(5);
        features->setBit(6);
        BitParameterDisplay sensing(features, 5);
        BitParameterDisplay freewheel(features, 6);
        editor<QCheckBox>(sensing)->click();
        editor<QCheckBox>(freewheel)->click();
        QVERIFY(features->getBit(5) && !features->getBit(6));
        QVERIFY(model->getUnsavedValues().contains(212));
        features->unsetBit(5);
        QVERIFY(!editor<QCheckBox>(sensing)->isChecked());

        BitParameterDisplay readOnly(static_cast<BitVector*>(model->getParameter(276)), 3);
        QVERIFY(!editor<QCheckBox>(readOnly)->isEnabled());
    }
};

QTEST_MAIN(TestParameterDisplays)
#include "tst_parameterdisplays.moc"
