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
    void sortingByAddress();
    void extendedRegistersNeedFirmware6();
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
    model->setType(0);
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
    click("sort_address");
    QTEST(entry(address, bit)->text(), "byAddress");
    // A bit vector is offered by its bits only.
    QVERIFY(!entry(276, -1));
}

void TestSelectParameters::sortingByAddress()
{
    const int count = list()->count();
    list()->item(0)->setSelected(true);
    click("sort_address");
    QVERIFY(list()->selectedItems().isEmpty());
    Keys keys;
    for (int i = 0; i < list()->count(); ++i) {
        auto* item = static_cast<ParameterName*>(list()->item(i));
        keys << qMakePair(item->getAddress(), item->getBit());
    }
    QCOMPARE(keys.size(), count);
    QVERIFY(std::is_sorted(keys.begin(), keys.end()));
}

void TestSelectParameters::extendedRegistersNeedFirmware6()
{
    QVERIFY(entry(237, -1));
    QVERIFY(!entry(1881, -1));
    model->setType(6019);
    click("sort_name");
    // The same name at the higher address wins.
    QVERIFY(!entry(237, -1));
    QCOMPARE(entry(1881, -1)->text(), QString("Hardware Version, Addr: 1881"));
}

void TestSelectParameters::handingOver_data()
{
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<QStringList>("handed"); // one text per emission
    QTest::newRow("add") << "add" << QStringList{"71:-1 276:3"};
    QTest::newRow("add nothing") << "add none" << QStringList{""};
    QTest::newRow("double-click") << "double-click" << QStringList{"33:-1"};
    QTest::newRow("cancel") << "cancel" << QStringList{};
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
    else {
        list()->scrollToItem(entry(33, -1));
        const QPoint point = list()->visualItemRect(entry(33, -1)).center();
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, Qt::ControlModifier, point);
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, Qt::ControlModifier, point);
    }
    QStringList emissions;
    for (const auto& emission : qAsConst(handed)) {
        Keys keys = emission.first().value<Keys>();
        std::sort(keys.begin(), keys.end());
        QStringList texts;
        for (const auto& key : keys)
            texts << QString("%1:%2").arg(key.first).arg(key.second);
        emissions << texts.join(' ');
    }
    QTEST(emissions, "handed");
    QTRY_VERIFY(picker.isNull());
}

QTEST_MAIN(TestSelectParameters)
#include "tst_selectparameters.moc"
