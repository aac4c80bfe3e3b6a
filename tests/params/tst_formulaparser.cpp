#include "formula.h"
#include "parameterset.h"
#include "stdoutcapture.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

const QString failedMatch = "Failed to match formula string with either op, num or param.";
const QString noOperator = "Could not find operator in formula string";
const QString sideFailed = "Could not parse left or right side of root";
const QString formulaFailed = "Could not parse formula string";
const double notANumber = std::numeric_limits<double>::quiet_NaN();

} // namespace

class TestFormulaParser : public QObject
{
    Q_OBJECT

private:
    ParameterSet* set = nullptr;
    FormulaParser* parser = nullptr;

    Formula* parse(const QString& text, QString* output = nullptr)
    {
        Formula* formula = nullptr;
        const QString printed = capturedStdout([&] { formula = parser->parseFormula(text); });
        if (output)
            *output = printed;
        return formula;
    }

private slots:
    void init()
    {
        set = new ParameterSet(
            definitionFile({registerEntry(1, "One", "\"scale\": \"1\""),
                            registerEntry(15, "Gain", "\"scale\": \"1\""),
                            registerEntry(70, "Phase", "\"scale\": \"1\""),
                            registerEntry(212, "Features", "\"scale\": \"1\""),
                            registerEntry(300, "Twice", "\"scale\": \"p[1] + p[1]\"", false)}));
        QVERIFY(set->formulasParsed());
        parser = new FormulaParser(set->parameters());
        (*set)[1]->setRegisterValue(3);
        (*set)[70]->setRegisterValue(64);
    }

    void cleanup()
    {
        delete parser;
        delete set;
    }

    void evaluation_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("gain");     // register 15
        QTest::addColumn<int>("features"); // register 212
        QTest::addColumn<double>("value");
        // Operators bind from the right in three ranks: + -, then * / % > < b.
        QTest::newRow("comparison binds like product, high gain")
            << "p[15] > 30 * 30 + 60" << 31 << 0 << 90.0;
        QTest::newRow("comparison binds like product, low gain")
            << "p[15] > 30 * 30 + 60" << 30 << 0 << 60.0;
        QTest::newRow("bit test set") << "p[212] b 6 * 5" << 0 << 64 << 5.0;
        QTest::newRow("bit number modulo 32") << "p[212] b 38" << 0 << 64 << 1.0;
        QTest::newRow("outer parentheses") << "(40.96 * 100 / p[70])" << 0 << 0 << 64.0;
        QTest::newRow("group left") << "(3+4)*2" << 0 << 0 << 14.0;
        QTest::newRow("group right") << "2*(3+4)" << 0 << 0 << 14.0;
        QTest::newRow("minus groups from left") << "10 - 4 - 3" << 0 << 0 << 3.0;
        QTest::newRow("less then plus") << "1 < 2 + 3" << 0 << 0 << 4.0;
        QTest::newRow("remainder negative") << "-7 % 4" << 0 << 0 << -3.0;
        QTest::newRow("signed operand") << "2*-3" << 0 << 0 << -6.0;
        QTest::newRow("parenthesised reference") << "(p[1])" << 0 << 0 << 3.0;
        QTest::newRow("divide by zero") << "1 / 0 > 5" << 0 << 0 << 1.0;
        QTest::newRow("remainder by zero") << "5 % 0" << 0 << 0 << notANumber;
        QTest::newRow("remainder by not a number") << "5 % (0 / 0)" << 0 << 0 << notANumber;
        QTest::newRow("remainder beyond int") << "9999999999 % 7" << 0 << 0 << notANumber;
        QTest::newRow("bit test of infinity") << "1 / 0 b 2" << 0 << 0 << notANumber;
    }

    void evaluation()
    {
        QFETCH(QString, text);
        QFETCH(int, gain);
        QFETCH(int, features);
        QFETCH(double, value);
        (*set)[15]->setRegisterValue(gain);
        (*set)[212]->setRegisterValue(features);
        QString output;
        QScopedPointer<Formula> formula(parse(text, &output));
        QVERIFY(formula);
        QCOMPARE(output, QString());
        const double result = formula->evaluate();
        QVERIFY2(std::isnan(value) ? std::isnan(result) : result == value,
                 qPrintable(QString::number(result)));
    }

    void parseFailures_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("negated reference") << "-p[1]" << QStringList({failedMatch, formulaFailed});
        QTest::newRow("empty text") << "" << QStringList({failedMatch, formulaFailed});
        QTest::newRow("trailing operator")
            << "1+" << QStringList({failedMatch, sideFailed, formulaFailed});
        QTest::newRow("nested failure")
            << "2 * (1 +)" << QStringList({failedMatch, sideFailed, sideFailed, formulaFailed});
        QTest::newRow("unknown operator below")
            << "1 + 2 & 3" << QStringList({noOperator, sideFailed, formulaFailed});
        QTest::newRow("address without parameter")
            << "p[999] * 2"
            << QStringList({"Formula refers to register 999, which has no parameter.", sideFailed,
                            formulaFailed});
    }

    void parseFailures()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QString output;
        QVERIFY(!parse(text, &output));
        QCOMPARE(output, lines.join('\n') + '\n');
    }

    void toDisplayAndToMemory()
    {
        QScopedPointer<Formula> zero(parse("p[70] - 64"));
        QCOMPARE(zero->toDisplay(100), -1.0);
        QVERIFY(zero->isNaN());
        (*set)[70]->setRegisterValue(68);
        QCOMPARE(zero->toDisplay(100), 25.0);
        QVERIFY(!zero->isNaN());

        QScopedPointer<Formula> one(parse("1"));
        const QList<QPair<double, int>> rounded = {{2.5, 3},
                                                   {-2.5, -2},
                                                   {-2.6, -3},
                                                   {1e12, std::numeric_limits<int>::max()},
                                                   {-1e12, std::numeric_limits<int>::min()},
                                                   {notANumber, 0}};
        for (const auto& pair : rounded)
            QCOMPARE(one->toMemory(pair.first), pair.second);
    }

    void referencesFollowAtOnce()
    {
        QScopedPointer<Formula> formula(parse("p[1] * p[1] + p[70]"));
        QSignalSpy changes(formula.data(), &Formula::formulaParameterChanged);
        (*set)[1]->setRegisterValue(4);
        QCOMPARE(changes.count(), 2); // referred to twice
        QCOMPARE(formula->evaluate(), 16.0 + 64.0);

        Parameter* twice = (*set)[300];
        twice->setRegisterValue(60);
        QCOMPARE(twice->getValue(), 7.5); // 60 / (4 + 4)
        (*set)[1]->setValue(5);
        QCOMPARE(twice->getValue(), 6.0);
    }

    void fileFormulas()
    {
        ParameterSet broken(definitionFile({registerEntry(1, "Fine", "\"scale\": \"2\""),
                                            registerEntry(2, "Broken", "\"scale\": \"2 &\""),
                                            registerEntry(3, "Later", "\"scale\": \"4\"")}));
        QVERIFY(!broken.formulasParsed()); // parsing stops at the first failure
        QVERIFY(broken[1]->isValid() && !broken[2]->isValid() && !broken[3]->isValid());
        // Without formulas a parameter shows -1, takes no value, yet stores a reply.
        Parameter* bare = broken[3];
        QVERIFY(!bare->getScaleFormula());
        QCOMPARE(bare->getValue(), -1.0);
        QSignalSpy display(bare, &Parameter::displayChanged);
        bare->setValue(5);
        QCOMPARE(bare->getRegisterValue(), 0);
        bare->setRegisterValue(5);
        QCOMPARE(bare->getRegisterValue(), 5);
        QCOMPARE(display.count(), 1);

        // An empty limit text leaves the formula set before.
        Formula* max = parse("100");
        (*set)[1]->setMaxFormula(max);
        QVERIFY(parser->parseSingleFormula((*set)[1]));
        QCOMPARE((*set)[1]->getMaxFormula(), max);
    }

    void selfReferenceEvaluatesWithoutEnd_data()
    {
        QTest::addColumn<QByteArray>("scale8");
        QTest::addColumn<QByteArray>("scale9");
        // Each reference used to work out all the others again: 12! times.
        const QByteArray twelveTimes8 = "1" + QByteArray("+p[8]").repeated(12);
        QTest::newRow("twelve times") << twelveTimes8 << QByteArray("1");
        QTest::newRow("through another") << "1" + QByteArray("+p[9]").repeated(12) << twelveTimes8;
    }

    void selfReferenceEvaluatesWithoutEnd()
    {
        QFETCH(QByteArray, scale8);
        QFETCH(QByteArray, scale9);
        ParameterSet cyclic(
            definitionFile({registerEntry(8, "Self", "\"scale\": \"" + scale8 + "\""),
                            registerEntry(9, "Other", "\"scale\": \"" + scale9 + "\"")}));
        QVERIFY(cyclic.formulasParsed());
        cyclic[8]->setRegisterValue(4);
        cyclic[9]->setValue(2);
        QVERIFY(std::isnan(cyclic[8]->getValue()));
    }

    void recomputedOncePerChange()
    {
        // Each reference back to the register recomputed it, and each
        // recomputation set off the registers that follow it once more.
        ParameterSet cyclic(definitionFile(
            {registerEntry(8, "Self", "\"scale\": \"1" + QByteArray("+p[8]*0").repeated(20) + "\""),
             registerEntry(9, "Follows", "\"max\": \"p[8] + 100\"")}));
        QSignalSpy own(cyclic[8], &Parameter::displayChanged);
        QSignalSpy follower(cyclic[9], &Parameter::displayChanged);
        cyclic[8]->setRegisterValue(4);
        QCOMPARE(own.count(), 1);
        QCOMPARE(follower.count(), 1);

        // Each register refers twice to the one before: the last was
        // recomputed once per path to it, 2^11 times for one change.
        QList<QByteArray> entries{registerEntry(1, "First", "\"scale\": \"1\"")};
        for (int address = 2; address <= 12; ++address) {
            const QByteArray before = "p[" + QByteArray::number(address - 1) + "]";
            entries << registerEntry(address, "Next",
                                     "\"max\": \"" + before + " + " + before + "\"");
        }
        ParameterSet chain(definitionFile(entries));
        QSignalSpy last(chain[12], &Parameter::displayChanged);
        chain[1]->setValue(5);
        QCOMPARE(last.count(), 1);
    }
};

QTEST_MAIN(TestFormulaParser)
#include "tst_formulaparser.moc"
