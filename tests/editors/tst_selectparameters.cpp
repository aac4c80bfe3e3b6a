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
    std::unique_ptr<Kelvara> model = readModel();
    QPointer<SelectParameters> picker;

    QListWidget* list() const { return picker->findChild<QListWidget*>("paramList"); }
    Keys keys() const
    {
        Keys keys;
        for (int i = 0; i < list()->count(); ++i)
            keys << qMakePair(static_cast<ParameterName*>(list()->item(i))->getAddress(),
                              static_cast<ParameterName*>(list()->item(i))->getBit());
        return keys;
    }
    QListWidgetItem* entry(int address, int bit) const
    {
        return list()->item(keys().indexOf({address, bit}));
    }

private slots:
    void init()
    {
        qRegisterMetaType<Keys>();
        delete picker;
        picker = new SelectParameters(model.get());
        picker->show();
    }

    // By name, then by address with the marks after the number; a bit
    // vector is offered by its bits only.
    void entries()
    {
        QCOMPARE(entry(33, -1)->text(), QString("†³DC Voltage Trip Clear Hysterisis, Addr: 33"));
        QCOMPARE(entry(276, 3)->text(), QString("Digital Inputs[03]: PAS 1, Addr: 276"));
        const int count = list()->count();
        list()->item(0)->setSelected(true);
        picker->findChild<QPushButton*>("sort_address")->click();
        QCOMPARE(entry(33, -1)->text(), QString("33†³\tDC Voltage Trip Clear Hysterisis"));
        QCOMPARE(entry(276, 3)->text(), QString("276\tDigital Inputs[03]: PAS 1"));
        QVERIFY(list()->selectedItems().isEmpty());
        const Keys all = keys();
        QCOMPARE(all.size(), count);
        QVERIFY(std::is_sorted(all.begin(), all.end()));
        QVERIFY(!all.contains(qMakePair(276, -1)));
    }

    void handingOver_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<QList<Keys>>("handed"); // one list per emission
        QTest::newRow("done") << "done" << QList<Keys>{{{71, -1}, {276, 3}}};
        QTest::newRow("done, nothing chosen") << "done none" << QList<Keys>{{}};
        QTest::newRow("double-click") << "double-click" << QList<Keys>{{{33, -1}}};
        QTest::newRow("cancel") << "cancel" << QList<Keys>{};
    }
    void handingOver()
    {
        QFETCH(QString, gesture);
        QSignalSpy handed(picker.data(), &SelectParameters::selectedParameters);
        if (gesture != "done none") {
            entry(71, -1)->setSelected(true);
            entry(276, 3)->setSelected(true);
        }
        if (gesture == "double-click")
            emit list()->itemDoubleClicked(entry(33, -1));
        else
            picker->findChild<QPushButton*>(gesture.section(' ', 0, 0))->click();
        QList<Keys> emissions;
        for (const auto& emission : qAsConst(handed)) {
            emissions << emission.first().value<Keys>();
            std::sort(emissions.last().begin(), emissions.last().end());
        }
        QTEST(emissions, "handed");
        QTRY_VERIFY(picker.isNull());
    }
};

QTEST_MAIN(TestSelectParameters)
#include "tst_selectparameters.moc"
