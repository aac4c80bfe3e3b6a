// The three editor rows against parameters of the embedded definitions.

#include "bitparameterdisplay.h"
#include "enumparameterdisplay.h"
#include "parameterdisplay.h"
#include "parameterset.h"
#include "readmodel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

class TestParameterDisplays : public QObject
{
    Q_OBJECT

private slots:
    void init() { model = readModel(); }
    void labels_data();
    void labels();
    void numberRowTakesTypedValuesOnEnter();
    void enumRow();
    void enumRowShowsARefusedKeyAsTheRealValue();
    void bitRowsOfOneRegisterStayIndependent();

private:
    template<typename T> T* editor(QWidget& row) { return row.findChild<T*>("value"); }
    std::unique_ptr<Kelvara> model;
};

void TestParameterDisplays::labels_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("bit");
    QTest::addColumn<QString>("name");
    QTest::newRow("dependent level 3") << 33 << -1 << "†³DC Voltage Trip Clear Hysterisis";
    QTest::newRow("level 3") << 15 << -1 << "³Voltage Gain";
    QTest::newRow("dependent") << 141 << -1 << "†Low Voltage Cutoff (Start)";
    QTest::newRow("enum") << 11 << -1 << "Speed Regulator Mode";
    QTest::newRow("bit 3") << 276 << 3 << "Digital Inputs[03]: PAS 1";
    QTest::newRow("bit 11") << 212 << 11 << "Features[11]: Walk Mode Enable";
}

void TestParameterDisplays::labels()
{
    QFETCH(int, address);
    QFETCH(int, bit);
    Parameter* parameter = model->getParameter(address);
    std::unique_ptr<QWidget> row;
    if (bit >= 0)
        row.reset(new BitParameterDisplay(static_cast<BitVector*>(parameter), bit));
    else if (parameter->getType() == ParameterDefinition::TypeEnum)
        row.reset(new EnumParameterDisplay(static_cast<EnumParameter*>(parameter)));
    else
        row.reset(new ParameterDisplay(parameter));
    QTEST(row->findChild<QLabel*>("name")->text(), "name");
    QCOMPARE(row->findChild<QLabel*>("addr")->text(), QString("Addr: %1").arg(address));
    QVERIFY(model->getUnsavedValues().isEmpty());
}

void TestParameterDisplays::numberRowTakesTypedValuesOnEnter()
{
    Parameter* current = model->getParameter(71);
    current->setValue(60);
    ParameterDisplay row(current);
    auto* box = editor<QDoubleSpinBox>(row);
    QCOMPARE(box->text(), QString("60 A"));
    auto* edit = box->findChild<QLineEdit*>();
    edit->selectAll();
    QTest::keyClicks(edit, "80");
    QCOMPARE(current->getValue(), 60.0);
    QTest::keyClick(edit, Qt::Key_Enter);
    QCOMPARE(current->getValue(), 80.0);
    QVERIFY(model->getUnsavedValues().contains(71));

    // Beyond the limit (96.5 A here, whole amperes): the clamped value
    // comes back into the box.
    box->setValue(9999);
    QCOMPARE(current->getValue(), 96.0);
    QCOMPARE(box->value(), 96.0);

    // A read, an import or another row announces a value: the row shows it
    // and writes nothing back, so the register is neither rounded nor clamped.
    QSignalSpy stored(current, &Parameter::valueSet);
    current->setRegisterValue(75);
    emit current->displayChanged(-120.0);
    QCOMPARE(stored.count(), 1);
    QCOMPARE(current->getRegisterValue(), 75);
    QCOMPARE(box->value(), -120.0);

    // A number of more digits than the limit (15000 ms) has gives the limit.
    ParameterDisplay spinup(model->getParameter(109));
    editor<QDoubleSpinBox>(spinup)->selectAll();
    QTest::keyClicks(editor<QDoubleSpinBox>(spinup), "99999");
    QTest::keyClick(editor<QDoubleSpinBox>(spinup), Qt::Key_Enter);
    QCOMPARE(model->getParameter(109)->getValue(), 15000.0);

    ParameterDisplay readOnly(model->getParameter(256));
    QVERIFY(editor<QDoubleSpinBox>(readOnly)->isReadOnly());
}

void TestParameterDisplays::enumRow()
{
    auto* mode = static_cast<EnumParameter*>(model->getParameter(11));
    mode->setValue(0);
    EnumParameterDisplay row(mode);
    auto* box = editor<QComboBox>(row);
    QCOMPARE(box->itemText(0), QString("[0]Speed"));
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
}

void TestParameterDisplays::enumRowShowsARefusedKeyAsTheRealValue()
{
    ParameterSet set(definitionFile({registerEntry(
        5, "Mode", "\"scale\": \"1\", \"max\": \"1\", \"type\": \"enum\", "
                   "\"enumDefs\": {\"0\": \"Off\", \"1\": \"On\", \"2\": \"Boost\"}")}));
    EnumParameterDisplay row(set.enumAt(5));
    editor<QComboBox>(row)->setCurrentIndex(2);
    QCOMPARE(set.enumAt(5)->getValue(), 0.0);
    QCOMPARE(editor<QComboBox>(row)->currentText(), QString("[0]Off"));
}

void TestParameterDisplays::bitRowsOfOneRegisterStayIndependent()
{
    auto* features = static_cast<BitVector*>(model->getParameter(212));
    features->unsetBit(5);
    features->setBit(6);
    BitParameterDisplay sensing(features, 5);
    BitParameterDisplay freewheel(features, 6);
    editor<QCheckBox>(sensing)->click();
    editor<QCheckBox>(freewheel)->click();
    QVERIFY(features->getBit(5));
    QVERIFY(!features->getBit(6));
    QVERIFY(editor<QCheckBox>(sensing)->isChecked());
    QVERIFY(model->getUnsavedValues().contains(212));
    features->unsetBit(5);
    QVERIFY(!editor<QCheckBox>(sensing)->isChecked());

    BitParameterDisplay readOnly(static_cast<BitVector*>(model->getParameter(276)), 3);
    QVERIFY(!editor<QCheckBox>(readOnly)->isEnabled());
}

QTEST_MAIN(TestParameterDisplays)
#include "tst_parameterdisplays.moc"
