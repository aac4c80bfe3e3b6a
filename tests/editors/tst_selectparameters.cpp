// The parameter picker over the embedded definitions.

#include "parametername.h"
#include "readmodel.h"
#include "selectparameters.h"

#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using Keys = QList<QPair<int, int>>;

class TestSelectParameters : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void entryTexts_data();
    void entryTexts();
    void handingOver_data();
    void handingOver();

private:
    ParameterName* entry(int address, int bit) const;
    void click(const char* button) { picker->findChild<QPushButton*>(button)->click(); }
    QListWidget* list() const { return picker->findChild<QListWidget*>("paramList"); }
    std::unique_ptr<Kelvara> model;
    QPointer<SelectParameters> picker;
};

void TestSelectParameters::initTestCase()
{
    qRegisterMetaType<Keys>();
    model = readModel();
}

void TestSelectParameters::init()
{
    delete picker;
    picker = new SelectParameters(model.get());
    picker->show();
}

ParameterName* TestSelectParameters::entry(int address, int bit) const
{
    for (int i = 0; i < list()->count(); ++i) {
        auto* item = static_cast<ParameterName*>(list()->item(i));
        if (item->getAddress() == address && item->getBit() == bit)
            return item;
    }
    return nullptr;
}

void TestSelectParameters::entryTexts_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("bit");
    QTest::addColumn<QString>("byName");
    QTest::addColumn<QString>("byAddress");
    QTest::newRow("marks") << 33 << -1 << "†³DC Voltage Trip Clear Hysterisis, Addr: 33"
                           << "33†³\tDC Voltage Trip Clear Hysterisis";
    QTest::newRow("bit") << 276 << 3 << "Digital Inputs[03]: PAS 1, Addr: 276"
                         << "276\tDigital Inputs[03]: PAS 1";
}

void TestSelectParameters::entryTexts()
{
    QFETCH(int, address);
    QFETCH(int, bit);
    QTEST(entry(address, bit)->text(), "byName");
    const int count = list()->count();
    list()->item(0)->setSelected(true);
    click("sort_address");
    QTEST(entry(address, bit)->text(), "byAddress");
    QVERIFY(list()->selectedItems().isEmpty());
    Keys keys;
    for (int i = 0; i < list()->count(); ++i)
        keys << qMakePair(static_cast<ParameterName*>(list()->item(i))->getAddress(),
                          static_cast<ParameterName*>(list()->item(i))->getBit());
    QCOMPARE(keys.size(), count);
    QVERIFY(std::is_sorted(keys.begin(), keys.end()));
    // A bit vector is offered by its bits only.
    QVERIFY(!keys.contains(qMakePair(276, -1)));
}

void TestSelectParameters::handingOver_data()
{
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<QList<Keys>>("handed"); // one list per emission
    QTest::newRow("add") << "add" << QList<Keys>{{{71, -1}, {276, 3}}};
    QTest::newRow("add nothing") << "add none" << QList<Keys>{{}};
    QTest::newRow("double-click") << "double-click" << QList<Keys>{{{33, -1}}};
    QTest::newRow("cancel") << "cancel" << QList<Keys>{};
}

void TestSelectParameters::handingOver()
{
    QFETCH(QString, gesture);
    QSignalSpy handed(picker.data(), &SelectParameters::selectedParameters);
    if (gesture != "add none") {
        entry(71, -1)->setSelected(true);
        entry(276, 3)->setSelected(true);
    }
    if (gesture.startsWith("add"))
        click("done");
    else if (gesture == "cancel")
        click("cancel");
    else
        emit list()->itemDoubleClicked(entry(33, -1));
    QList<Keys> emissions;
    for (const auto& emission : qAsConst(handed)) {
        emissions << emission.first().value<Keys>();
        std::sort(emissions.last().begin(), emissions.last().end());
    }
    QTEST(emissions, "handed");
    QTRY_VERIFY(picker.isNull());
}

QTEST_MAIN(TestSelectParameters)
#include "tst_selectparameters.moc"
