// The unsaved-parameter report over the embedded definitions.

#include "formula.h"
#include "listunsavedparams.h"
#include "parameter.h"
#include "readmodel.h"

#include <QLabel>
#include <QTextCursor>
#include <QTextEdit>
#include <QtTest>

using Edits = QList<std::tuple<int, double, double>>; // address, saved value, new value
Q_DECLARE_METATYPE(Edits)

class TestListUnsavedParams : public QObject
{
    Q_OBJECT

private slots:
    void report_data()
    {
        QTest::addColumn<Edits>("edits");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("level3");
        QTest::newRow("nothing") << Edits{} << "" << false;
        QTest::newRow("level 3, long name")
            << Edits{{47, 10, 12.5}}
            << "47³   POST - Open Circuit Voltage Test Window         10      --->  12.5   %"
            << true;
        QTest::newRow("address order, fractions")
            << Edits{{219, 0.4, 0.5}, {91, 80, 90}}
            << "91    Motor Foldback Starting Temperature             80      --->  90     °C\n"
               "219   Assist Level 1                     0.4     --->  0.5    per unit"
            << false;
        // Names go in as plain text.
        QTest::newRow("markup") << Edits{{71, 60, 80}}
                                << "71    Phase <b>Current</b> & more        60      --->  80     A"
                                << false;
        // What the controller holds beyond the page's limit of 120 km/h.
        QTest::newRow("beyond the limits")
            << Edits{{229, 200, 50}, {124, 199, 30}}
            << "124   Maximum Speed in PAS Mode          199     --->  30     km/h\n"
               "229   Maximum Speed                      200     --->  50     km/h"
            << false;
        // Read at the controller's Max Phase Current and rated voltage, not
        // the ones typed since.
        QTest::newRow("at the controller's scale")
            << Edits{{71, 70, 30}, {154, 35, 20}}
            << "71    Phase <b>Current</b> & more        70      --->  30     A\n"
               "154   Max Regen Phase Current            35      --->  20     A"
            << false;
        QTest::newRow("at the controller's rated voltage")
            << Edits{{70, 48, 24}, {141, 42, 20}}
            << "70    Rated System Voltage (generally leave as-is)    48      --->  24     V\n"
               "141   Low Voltage Cutoff (Start)         42      --->  20     V"
            << false;
    }
    void report()
    {
        QFETCH(Edits, edits);
        auto model = readModel();
        model->getParameter(71)->setName("Phase <b>Current</b> & more");
        // All read first: the controller's values scale one another.
        for (const auto& [address, saved, value] : edits) {
            Parameter* parameter = model->getParameter(address);
            const double offset = parameter->getOffsetFormula()->evaluate();
            model->setControllerRamFromRead(address,
                                            parameter->getScaleFormula()->toMemory(saved + offset));
        }
        for (const auto& [address, saved, value] : edits)
            model->getParameter(address)->setValue(value);
        ListUnsavedParams dialog(model.get());
        QTEST(dialog.findChild<QTextEdit*>("unsaved_list")->toPlainText(), "text");
        QTEST(!dialog.findChild<QLabel*>("level_3_label")->isHidden(), "level3");
    }

    // The columns line up in a fixed-pitch font, also under the suite's
    // style sheet that gives every widget a proportional one.
    void fixedPitchUnderTheStyleSheet()
    {
        qApp->setStyleSheet("* { font-family: Liberation Sans, sans-serif } ");
        auto model = readModel();
        model->getParameter(71)->setValue(model->getParameter(71)->getValue() + 1);
        ListUnsavedParams dialog(model.get());
        dialog.show();
        QTextCursor cursor(dialog.findChild<QTextEdit*>("unsaved_list")->document());
        cursor.movePosition(QTextCursor::NextCharacter);
        QVERIFY(QFontInfo(cursor.charFormat().font()).fixedPitch());
    }
};

QTEST_MAIN(TestListUnsavedParams)
#include "tst_listunsavedparams.moc"
