// Row binding of the real main window without a controller: names, tooltips,
// editors set up from the definitions, values shown without clamping, marks
// for changes, and the page slots that enable one editor from another.

#include "bitvector.h"
#include "formrows.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>

using namespace WindowFixture;

class TestMainWindowRows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void rowsAreBoundToTheirParameters_data();
    void rowsAreBoundToTheirParameters();
    void initialValuesAreShownBeforeAnyRead();
    void longToolTipsAreWrapped();
    void valuesBeyondTheOldCeilingAreShownAsTheyAre();
    void typedValueBeyondTheLimitGivesTheLimit_data();
    void typedValueBeyondTheLimitGivesTheLimit();
    void controlsStayOffWithoutController();
    void marksFollowChangesOnceTheModelIsValid();
    void changeWithoutRowStillCountsAsUnsaved();
    void pageSlotsEnableTheirSpinBoxes();

private:
    QWidget* row(const char* container, int address, int bit = -1) const;

    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<MainWindow> window;
};

void TestMainWindowRows::initTestCase()
{
    qunsetenv("KELVARA_EXTRA_PORTS");
    workspace = std::make_unique<Workspace>();
    window = std::make_unique<MainWindow>();
}

void TestMainWindowRows::cleanupTestCase()
{
    window.reset();
    workspace.reset();
}

QWidget* TestMainWindowRows::row(const char* container, int address, int bit) const
{
    const auto rows = FormRows::findRows(window->findChild<QWidget*>(container));
    for (QWidget* candidate : rows) {
        if (FormRows::rowKey(candidate) == FormRows::Key(address, bit))
            return candidate;
    }
    return nullptr;
}

void TestMainWindowRows::rowsAreBoundToTheirParameters_data()
{
    QTest::addColumn<QString>("container");
    QTest::addColumn<int>("rowCount");
    QTest::newRow("Basic Setup") << "displayParameters" << 34;
    QTest::newRow("Advanced Setup") << "advancedParameters" << 19;
    QTest::newRow("PAS Setup") << "pedalAssistParameters" << 32;
    QTest::newRow("Temperature") << "temperatureParameters" << 20;
}

// Label, editor kind and editor set-up of every row of a setup page.
void TestMainWindowRows::rowsAreBoundToTheirParameters()
{
    QFETCH(QString, container);
    QFETCH(int, rowCount);
    Kelvara* model = window->deviceModel();
    const auto rows = FormRows::findRows(window->findChild<QWidget*>(container));
    QCOMPARE(rows.size(), rowCount);

    for (QWidget* found : rows) {
        const FormRows::Key key = FormRows::rowKey(found);
        Parameter* parameter = model->getParameter(key.first);
        const QString where = found->objectName();
        QString name = parameter->getName();
        if (parameter->getType() == ParameterDefinition::TypeBitVector)
            name = static_cast<BitVector*>(parameter)->getBitDefs()->value(key.second);

        QLabel* label = FormRows::rowLabel(found);
        // The PAS page heads its power and speed rows by assist level.
        if (label->objectName().contains("Assist")) {
            QVERIFY2(label->text().contains("(Level "), qPrintable(where));
        } else {
            QCOMPARE(label->text(), name);
            QLabel marked(name + "**");
            marked.setFont(label->font());
            QVERIFY2(label->minimumWidth() >= marked.sizeHint().width(), qPrintable(where));
        }
        if (!parameter->getTooltip().isEmpty())
            QCOMPARE(label->toolTip().replace('\n', ' '), QString(parameter->getTooltip()).replace('\n', ' '));

        QWidget* editor = FormRows::rowEditor(found);
        if (auto* spin = qobject_cast<QDoubleSpinBox*>(editor)) {
            // Some boxes show a torque or power figure behind their units.
            const bool figure = spin->suffix().endsWith(" Nm)") || spin->suffix().endsWith(" W)");
            QVERIFY2(spin->suffix() == " " + parameter->getUnits() || figure, qPrintable(where));
            QCOMPARE(spin->decimals(), parameter->numDecimals());
            QCOMPARE(spin->singleStep(), parameter->getSingleStep());
            QVERIFY2(qFuzzyCompare(1 + spin->value(), 1 + parameter->getValue()), qPrintable(where));
        } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            const QMap<int, QString>* enums = parameter->getEnumDefs();
            if (!enums)
                continue;
            QCOMPARE(combo->count(), enums->size());
            int index = 0;
            for (auto it = enums->constBegin(); it != enums->constEnd(); ++it, ++index) {
                const QString text = parameter->getUnits().isEmpty()
                    ? QString("[%1] %2").arg(it.key()).arg(it.value())
                    : it.value() + parameter->getUnits();
                QCOMPARE(combo->itemText(index), text);
                QCOMPARE(combo->itemData(index).toInt(), it.key());
            }
        }
    }
}

void TestMainWindowRows::initialValuesAreShownBeforeAnyRead()
{
    QCOMPARE(row("displayParameters", 71)->findChild<QDoubleSpinBox*>()->value(), 90.0);
    QCOMPARE(row("displayParameters", 78)->findChild<QDoubleSpinBox*>()->value(), 23.0);
    auto* sensor = qobject_cast<QComboBox*>(FormRows::rowEditor(row("displayParameters", 77)));
    QCOMPARE(sensor->currentData().toInt(), 1);
    QVERIFY(window->deviceModel()->getUnsavedValues().isEmpty());
}

// A line break takes the place of the first blank once a line has run for
// 120 characters.
void TestMainWindowRows::longToolTipsAreWrapped()
{
    const QString original = window->deviceModel()->getParameter(78)->getTooltip();
    QVERIFY(original.size() > 300 && !original.left(200).contains('\n'));
    const QString shown = FormRows::rowLabel(row("displayParameters", 78))->toolTip();
    QCOMPARE(shown.indexOf('\n'), original.indexOf(' ', 121));
    for (const QString& line : shown.split('\n'))
        QVERIFY(line.size() < 240);
}

// Showing a value never clamps it and writes the clamped value back.
void TestMainWindowRows::valuesBeyondTheOldCeilingAreShownAsTheyAre()
{
    Parameter* spinup = window->deviceModel()->getParameter(109);
    auto* box = row("advancedParameters", 109)->findChild<QDoubleSpinBox*>();
    spinup->setRegisterValue(12000);
    QCOMPARE(box->value(), 12000.0);
    QCOMPARE(spinup->getRegisterValue(), 12000);
}

void TestMainWindowRows::typedValueBeyondTheLimitGivesTheLimit_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("rating");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("taken");

    QTest::newRow("Maximum Speed above 120") << 229 << 96 << "150" << 120.0;
    // Max Phase Current lies between 30 and 0.75 x the output current
    // rating (register 0) - 1.
    QTest::newRow("Max Phase Current above 71") << 71 << 96 << "75" << 71.0;
    QTest::newRow("Max Phase Current below 30") << 71 << 96 << "7" << 30.0;
    QTest::newRow("limit from a rating of 200") << 71 << 200 << "1500" << 149.0;
    QTest::newRow("in range") << 71 << 96 << "45" << 45.0;
}

// A typed value counts once complete, and one beyond a limit gives the
// limit, never what the digits typed so far would make.
void TestMainWindowRows::typedValueBeyondTheLimitGivesTheLimit()
{
    QFETCH(int, address);
    QFETCH(int, rating);
    QFETCH(QString, typed);
    QFETCH(double, taken);
    Kelvara* model = window->deviceModel();
    model->getParameter(0)->setRegisterValue(rating);
    Parameter* parameter = model->getParameter(address);
    parameter->setValue(50);
    auto* box = row("displayParameters", address)->findChild<QDoubleSpinBox*>();

    box->selectAll();
    QTest::keyClicks(box, typed);
    QCOMPARE(parameter->getValue(), 50.0);
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(parameter->getValue(), taken);
    QCOMPARE(box->value(), taken);
}

void TestMainWindowRows::marksFollowChangesOnceTheModelIsValid()
{
    Kelvara* model = window->deviceModel();
    QLabel* kvLabel = FormRows::rowLabel(row("displayParameters", 72));
    auto* kv = row("displayParameters", 72)->findChild<QDoubleSpinBox*>();

    // Before the first complete read no change is tracked.
    kv->setValue(kv->value() + 1);
    QCOMPARE(kvLabel->text(), QString("Kv"));

    model->setValid(true);
    for (int address : {72, 127})
        model->setMatchesSaved(address);
    kv->setValue(kv->value() + 1);
    QCOMPARE(kvLabel->text(), QString("Kv**"));
    QCOMPARE(window->findChild<QPushButton*>("saveParamsAdvanced")->text(), QString("**Save Parameters"));

    // Only the row of the changed bit is marked.
    auto* hall = qobject_cast<QCheckBox*>(FormRows::rowEditor(row("displayParameters", 127, 1)));
    hall->setChecked(!hall->isChecked());
    QVERIFY(FormRows::rowLabel(row("displayParameters", 127, 1))->text().endsWith("**"));
    QCOMPARE(window->findChild<QSpinBox*>("numUnsaved")->value(), 2);

    // A value equal to the saved one again clears its mark.
    kv->setValue(kv->value() - 1);
    hall->setChecked(!hall->isChecked());
    QCOMPARE(kvLabel->text(), QString("Kv"));
    QVERIFY(!FormRows::rowLabel(row("displayParameters", 127, 1))->text().endsWith("**"));
    QCOMPARE(window->findChild<QPushButton*>("saveParamsAdvanced")->text(), QString("Save Parameters"));
}

void TestMainWindowRows::changeWithoutRowStillCountsAsUnsaved()
{
    Kelvara* model = window->deviceModel();
    model->setValid(true);
    Parameter* accessCode = model->getParameter(509);
    model->setMatchesSaved(509);
    accessCode->setValue(accessCode->getValue() + 5);
    QCOMPARE(window->findChild<QSpinBox*>("numUnsaved")->value(), 1);
    QCOMPARE(window->findChild<QPushButton*>("writeAllDev")->text(), QString("**Save Parameters"));
    accessCode->setValue(accessCode->getValue() - 5);
    QCOMPARE(window->findChild<QSpinBox*>("numUnsaved")->value(), 0);
}

// Without a controller nothing can be read, saved, restored or tuned,
// whatever the link reports; a model without a controller's values takes no
// first-read snapshot.
void TestMainWindowRows::controlsStayOffWithoutController()
{
    window->runnerValid(true);
    for (const char* name : {"readAll", "readAllAdvanced", "readAllDev", "read", "write",
                             "saveParamsBasic", "writeAllDev", "restore", "restoreAdvanced",
                             "autotuneWizard"})
        QVERIFY2(!window->findChild<QPushButton*>(name)->isEnabled(), name);
    QVERIFY(!window->deviceModel()->areFirstReadValuesSaved());
}

void TestMainWindowRows::pageSlotsEnableTheirSpinBoxes()
{
    Kelvara* model = window->deviceModel();
    auto* kp = row("displayParameters", 7)->findChild<QDoubleSpinBox*>();
    auto* ki = row("displayParameters", 8)->findChild<QDoubleSpinBox*>();
    model->getParameter(51)->setValue(0);
    QVERIFY(kp->isEnabled() && ki->isEnabled());
    model->getParameter(51)->setValue(800);
    QVERIFY(!kp->isEnabled() && !ki->isEnabled());

    auto* ratedVoltage = row("advancedParameters", 70)->findChild<QDoubleSpinBox*>();
    auto* ratedCheck = row("advancedParameters", 70)->findChild<QCheckBox*>();
    QVERIFY(!ratedVoltage->isEnabled());
    ratedCheck->setChecked(true);
    QVERIFY(ratedVoltage->isEnabled());
    ratedCheck->setChecked(false);
    QVERIFY(!ratedVoltage->isEnabled());

    auto* freewheel = row("displayParameters", 173)->findChild<QDoubleSpinBox*>();
    auto* virtualFreewheel = qobject_cast<QCheckBox*>(FormRows::rowEditor(row("displayParameters", 212, 6)));
    virtualFreewheel->setChecked(true);
    QVERIFY(freewheel->isEnabled());
    virtualFreewheel->setChecked(false);
    QVERIFY(!freewheel->isEnabled());
}

QTEST_MAIN(TestMainWindowRows)
#include "tst_mainwindowrows.moc"
