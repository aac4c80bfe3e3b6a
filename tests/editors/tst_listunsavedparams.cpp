// The unsaved-parameter report over the embedded definitions.

#include "listunsavedparams.h"
#include "parameter.h"
#include "readmodel.h"

#include <QLabel>
#include <QTextCursor>
#include <QTextEdit>
#include <QtTest>

// (address, saved display value, new display value)
using Edit = std::tuple<int, double, double>;
using Edits = QList<Edit>;
Q_DECLARE_METATYPE(Edits)

class TestListUnsavedParams : public QObject
{
    Q_OBJECT

private slots:
    void report_data();
    void report();
    void namesStayPlainTextInFixedPitch();
};

void TestListUnsavedParams::report_data()
{
    QTest::addColumn<Edits>("edits");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("level3");
    QTest::newRow("nothing") << Edits{} << "" << false;
    QTest::newRow("phase current")
        << Edits{{71, 60, 80}}
        << "71    Max Phase Current                  60      --->  80     A" << false;
    QTest::newRow("level 3, long name")
        << Edits{{47, 10, 12.5}}
        << "47³   POST - Open Circuit Voltage Test Window         10      --->  12.5   %" << true;
    QTest::newRow("address order, fractions")
        << Edits{{219, 0.4, 0.5}, {91, 80, 90}}
        << "91    Motor Foldback Starting Temperature             80      --->  90     °C\n"
           "219   Assist Level 1                     0.4     --->  0.5    per unit"
        << false;
}

void TestListUnsavedParams::report()
{
    QFETCH(Edits, edits);
    auto model = readModel();
    for (const Edit& edit : edits) {
        Parameter* parameter = model->getParameter(std::get<0>(edit));
        parameter->setValue(std::get<1>(edit));
        model->setMatchesSaved(std::get<0>(edit));
        parameter->setValue(std::get<2>(edit));
    }
    ListUnsavedParams dialog(model.get());
    QTEST(dialog.findChild<QTextEdit*>("unsaved_list")->toPlainText(), "text");
    QTEST(!dialog.findChild<QLabel*>("level_3_label")->isHidden(), "level3");
}

// Plain text in a fixed-pitch font, also under the suite's style sheet that
// gives every widget a proportional font.
void TestListUnsavedParams::namesStayPlainTextInFixedPitch()
{
    qApp->setStyleSheet("* { font-family: Liberation Sans, sans-serif } ");
    auto model = readModel();
    Parameter* parameter = model->getParameter(71);
    parameter->setName("Phase <b>Current</b> & more");
    parameter->setValue(parameter->getValue() + 1);
    ListUnsavedParams dialog(model.get());
    dialog.show();
    auto* report = dialog.findChild<QTextEdit*>("unsaved_list");
    QVERIFY(report->toPlainText().startsWith("71    Phase <b>Current</b> & more"));
    QTextCursor cursor(report->document());
    cursor.movePosition(QTextCursor::NextCharacter);
    QVERIFY(QFontInfo(cursor.charFormat().font()).fixedPitch());
}

QTEST_MAIN(TestListUnsavedParams)
#include "tst_listunsavedparams.moc"
