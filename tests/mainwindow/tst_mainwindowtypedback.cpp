// A value typed back leaves nothing to write: the main window against the
// simulated controller, whose registers hold values off the display step
// (or beyond the limits), on every kind of row. A value typed away and back
// gives the register the very raw value the controller holds, and Save
// sends nothing.

#include "customparameteredit.h"
#include "parameterdisplay.h"
#include "windowfixture.h"

using namespace WindowFixture;

namespace {

// Held by the controller off the display step (or beyond the limits), with
// a value typed away and the value it shows typed back.
struct TypedBack
{
    int address;
    int held;
    double away;
    double back;
};

// Low Voltage Cutoff (Start) 3000 is 35.16 V at 48 V, shown 35.2 V (3004);
// Overload Foldback Start 2000 is 48.83 %, shown 48.8 % (1999); Assist
// Level 1 1000 is 0.244, shown 0.24 (983); a Wheel Diameter of 120 shows
// the limit, 99; Assist Level 2 4097, a raw step past its limit, shows it,
// 1.
const QMap<int, int> heldValues = {{141, 3000}, {104, 2000}, {219, 1000}, {227, 1200}, {245, 4097}};

} // namespace

Q_DECLARE_METATYPE(TypedBack)

class TestMainWindowTypedBack : public QObject
{
    Q_OBJECT
    SimulatedWindow f;
    std::unique_ptr<ModalWatcher> boxes; // "Values Outside Limits"

    Parameter* parameter(int address) const { return f.model()->getParameter(address); }

    template<typename T>
    T* editor(int address, int bit = -1) const
    {
        for (QWidget* row : FormRows::findRows(f.window.get())) {
            if (FormRows::rowKey(row) == FormRows::Key(address, bit))
                return qobject_cast<T*>(FormRows::rowEditor(row));
        }
        return nullptr;
    }

    // Typed into a number box as the user does: the box takes it on Enter.
    static void type(QDoubleSpinBox* box, double value)
    {
        box->selectAll();
        QTest::keyClicks(box, QString::number(value));
        QTest::keyClick(box, Qt::Key_Enter);
        // The moves of one edit are told once it is over.
        QCoreApplication::processEvents();
    }

    // The register holds what the controller holds, unmarked, and Save
    // sends nothing.
    void checkNothingToWrite(int address)
    {
        QCOMPARE(parameter(address)->getRegisterValue(), int(f.simulator->registerValue(address)));
        QVERIFY(f.model()->getUnsavedValues().isEmpty());
        QCOMPARE(f.save(), (QMap<int, int>()));
    }

    static void addNumberRows()
    {
        QTest::addColumn<TypedBack>("value");
        QTest::newRow("Basic Setup, dependent") << TypedBack{141, 3000, 36.0, 35.2};
        QTest::newRow("Advanced Setup") << TypedBack{104, 2000, 50.0, 48.8};
        QTest::newRow("PAS Setup") << TypedBack{219, 1000, 0.5, 0.24};
        QTest::newRow("beyond the limits, typed back to the limit shown")
            << TypedBack{227, 1200, 70.0, 99.0};
        QTest::newRow("a step beyond the limit, typed back to the limit shown")
            << TypedBack{245, 4097, 0.5, 1.0};
    }

private slots:
    void initTestCase()
    {
        boxes = std::make_unique<ModalWatcher>();
        QVERIFY(f.start(heldValues));
    }

    void cleanupTestCase()
    {
        f.window.reset();
        boxes.reset();
    }

    void init()
    {
        QVERIFY(f.model()->getUnsavedValues().isEmpty() || f.readAll());
        QVERIFY(f.model()->getUnsavedValues().isEmpty());
    }

    void pageRow_data() { addNumberRows(); }

    // A page's number row: typed away marks the value, typed back unmarks it
    // with the controller's own raw value.
    void pageRow()
    {
        QFETCH(TypedBack, value);
        QCOMPARE(int(f.simulator->registerValue(value.address)), value.held);
        QDoubleSpinBox* box = editor<QDoubleSpinBox>(value.address);
        QVERIFY(box);
        const double shown = box->value();
        type(box, value.away);
        QVERIFY(f.model()->getUnsavedValues().contains(value.address));
        type(box, value.back);
        QCOMPARE(box->value(), shown);
        checkNothingToWrite(value.address);
    }

    void devScreen_data() { addNumberRows(); }

    // The Dev Screen's value box, on the register's address.
    void devScreen()
    {
        QFETCH(TypedBack, value);
        f.find<QSpinBox>("addressInput")->setValue(value.address);
        auto* box = f.find<QDoubleSpinBox>("valueDisplay");
        type(box, value.away);
        QVERIFY(f.model()->getUnsavedValues().contains(value.address));
        type(box, value.back);
        checkNothingToWrite(value.address);
    }

    void customEditor_data() { addNumberRows(); }

    // A number row of Edit > Edit Parameters.
    void customEditor()
    {
        QFETCH(TypedBack, value);
        auto* custom = f.window->findChild<CustomParameterEdit*>();
        custom->addSelectedParameters({qMakePair(value.address, -1)});
        ParameterDisplay* row = nullptr;
        for (ParameterDisplay* candidate : custom->findChildren<ParameterDisplay*>()) {
            if (candidate->findChild<QLabel*>("addr")->text().contains(
                    QString::number(value.address)))
                row = candidate;
        }
        QVERIFY(row);
        auto* box = row->findChild<QDoubleSpinBox*>("value");
        type(box, value.away);
        QVERIFY(f.model()->getUnsavedValues().contains(value.address));
        type(box, value.back);
        checkNothingToWrite(value.address);
    }

    // A drop-down (Motor Position Sensor Type, 1) and a bit (Rolling Start
    // Enable of Features) changed and changed back.
    void listAndBitRows()
    {
        auto* list = editor<QComboBox>(77);
        QVERIFY(list);
        const int held = list->currentIndex();
        list->setCurrentIndex(list->findData(2));
        QCOMPARE(parameter(77)->getRegisterValue(), 2);
        list->setCurrentIndex(held);
        checkNothingToWrite(77);

        auto* bit = editor<QCheckBox>(212, 9);
        QVERIFY(bit);
        bit->click();
        QVERIFY(f.model()->getUnsavedValues().contains(212));
        bit->click();
        checkNothingToWrite(212);
    }
};

QTEST_MAIN(TestMainWindowTypedBack)
#include "tst_mainwindowtypedback.moc"
