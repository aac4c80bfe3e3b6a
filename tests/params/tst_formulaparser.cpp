#include "formula.h"
#include "formulanode.h"
#include "formulanodemathop.h"
#include "parameterset.h"
#include "stdoutcapture.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

QByteArray referencedSet()
{
    return definitionFile({
        registerEntry(1, "One", "\"scale\": \"1\""),
        registerEntry(15, "Voltage Gain", "\"scale\": \"1\""),
        registerEntry(70, "Phase", "\"scale\": \"1\""),
        registerEntry(212, "Features", "\"scale\": \"1\""),
        registerEntry(300, "Twice", "\"scale\": \"p[1] + p[1]\"", false),
    });
}

const QString failedMatch = "Failed to match formula string with either op, num or param.";
const QString noOperator = "Could not find operator in formula string";
const QString sideFailed = "Could not parse left or right side of root";
const QString formulaFailed = "Could not parse formula string";

} // namespace

class TestFormulaParser : public QObject
{
    Q_OBJECT

private:
    ParameterSet* set = nullptr;
    FormulaParser* parser = nullptr;

    Formula* parse(const QString& text)
    {
        Formula* formula = nullptr;
        const QString output = capturedStdout([&] { formula = parser->parseFormula(text); });
        if (!output.isEmpty())
            qWarning("unexpected output: %s", qPrintable(output));
        return formula;
    }

private slots:
    void init()
    {
        set = new ParameterSet(referencedSet());
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
        QTest::addColumn<int>("gain");
        QTest::addColumn<int>("features");
        QTest::addColumn<double>("value");
        QTest::newRow("comparison binds like product, high gain") << "p[15] > 30 * 30 + 60" << 31 << 0 << 90.0;
        QTest::newRow("comparison binds like product, low gain") << "p[15] > 30 * 30 + 60" << 30 << 0 << 60.0;
        QTest::newRow("bit test set") << "p[212] b 6 * 5" << 0 << 64 << 5.0;
        QTest::newRow("bit test clear") << "p[212] b 6 * 5" << 0 << 63 << 0.0;
        QTest::newRow("bit number modulo 32") << "p[212] b 38" << 0 << 64 << 1.0;
        QTest::newRow("outer parentheses") << "(40.96 * 100 / p[70])" << 0 << 0 << 64.0;
        QTest::newRow("group right") << "2*(3+4)" << 0 << 0 << 14.0;
        QTest::newRow("group left") << "(3+4)*2" << 0 << 0 << 14.0;
        QTest::newRow("minus groups from left") << "10 - 4 - 3" << 0 << 0 << 3.0;
        QTest::newRow("divide groups from left") << "8 / 4 * 2" << 0 << 0 << 4.0;
        QTest::newRow("less then plus") << "1 < 2 + 3" << 0 << 0 << 4.0;
        QTest::newRow("remainder") << "7 % 4" << 0 << 0 << 3.0;
        QTest::newRow("remainder negative") << "-7 % 4" << 0 << 0 << -3.0;
        QTest::newRow("remainder truncates") << "7.9 % 4" << 0 << 0 << 3.0;
        QTest::newRow("negative number") << "-5" << 0 << 0 << -5.0;
        QTest::newRow("signed operand") << "2*-3" << 0 << 0 << -6.0;
        QTest::newRow("white space anywhere") << "1 0" << 0 << 0 << 10.0;
        QTest::newRow("nested outer parentheses") << "((5))" << 0 << 0 << 5.0;
        QTest::newRow("nested group") << "((1+2)*(3+1))" << 0 << 0 << 12.0;
        QTest::newRow("divide by zero") << "1 / 0 > 5" << 0 << 0 << 1.0;
    }

    void evaluation()
    {
        QFETCH(QString, text);
        QFETCH(int, gain);
        QFETCH(int, features);
        QFETCH(double, value);
        (*set)[15]->setRegisterValue(gain);
        (*set)[212]->setRegisterValue(features);
        Formula* formula = parse(text);
        QVERIFY(formula);
        QCOMPARE(formula->evaluate(), value);
        delete formula;
    }

    void parenthesisedNumberIsNotARegister()
    {
        Formula* formula = parse("((5))");
        QVERIFY(formula);
        QCOMPARE(formula->getRootTree()->getNodeType(), int(FormulaNode::NumberNode));
        delete formula;
    }

    void treeShape()
    {
        Formula* formula = parse("p[15] > 30 * 30 + 60");
        auto* root = qobject_cast<FormulaNodeMathOp*>(formula->getRootTree());
        QVERIFY(root);
        QCOMPARE(root->getOperation(), int(FormulaNodeMathOp::Add));
        auto* product = qobject_cast<FormulaNodeMathOp*>(root->getLeft());
        QCOMPARE(product->getOperation(), int(FormulaNodeMathOp::Multiply));
        auto* comparison = qobject_cast<FormulaNodeMathOp*>(product->getLeft());
        QCOMPARE(comparison->getOperation(), int(FormulaNodeMathOp::Greater));
        QCOMPARE(comparison->getLeft()->getNodeType(), int(FormulaNode::RegisterNode));
        delete formula;
    }

    void undefinedArithmeticGivesNotANumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("remainder by zero") << "5 % 0";
        QTest::newRow("remainder of infinity") << "1 / 0 % 3";
        QTest::newRow("remainder by not a number") << "5 % (0 / 0)";
        QTest::newRow("remainder beyond int") << "9999999999 % 7";
        QTest::newRow("bit test of infinity") << "1 / 0 b 2";
        QTest::newRow("bit number infinite") << "5 b (1 / 0)";
    }

    void undefinedArithmeticGivesNotANumber()
    {
        QFETCH(QString, text);
        Formula* formula = parse(text);
        QVERIFY(formula);
        QVERIFY(std::isnan(formula->evaluate()));
        delete formula;
    }

    void parseFailures_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("negated reference") << "-p[1]" << QStringList({failedMatch, formulaFailed});
        QTest::newRow("four digit address") << "p[1000]" << QStringList({failedMatch, formulaFailed});
        QTest::newRow("upper case P") << "P[10]" << QStringList({failedMatch, formulaFailed});
        QTest::newRow("exponent") << "1e3" << QStringList({noOperator, formulaFailed});
        QTest::newRow("empty text") << "" << QStringList({failedMatch, formulaFailed});
        QTest::newRow("trailing operator")
            << "1+" << QStringList({failedMatch, sideFailed, formulaFailed});
        QTest::newRow("nested failure")
            << "2 * (1 +)" << QStringList({failedMatch, sideFailed, sideFailed, formulaFailed});
        QTest::newRow("unknown operator only") << "2 & 3" << QStringList({noOperator, formulaFailed});
        QTest::newRow("unknown operator below")
            << "1 + 2 & 3" << QStringList({noOperator, sideFailed, formulaFailed});
        QTest::newRow("address without parameter")
            << "p[999] * 2"
            << QStringList({"Formula refers to register 999, which has no parameter.", sideFailed,
                            formulaFailed});
        QTest::newRow("empty group") << "()" << QStringList({failedMatch, formulaFailed});
    }

    void parseFailures()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        Formula* formula = nullptr;
        const QString output = capturedStdout([&] { formula = parser->parseFormula(text); });
        QVERIFY(!formula);
        QCOMPARE(output, lines.join('\n') + '\n');
    }

    void loneOperandMustBeExactReference()
    {
        FormulaNode* node = nullptr;
        const QString output =
            capturedStdout([&] { node = parser->parseOneFormulaString("p[1]x"); });
        QVERIFY(!node);
        QCOMPARE(output, noOperator + '\n');
        QCOMPARE(capturedStdout([&] { node = parser->parseOneFormulaString("(p[1])"); }), QString());
        QVERIFY(node);
        QCOMPARE(node->evaluate(), 3.0);
        delete node;
    }

    void toDisplayAndToMemory()
    {
        Formula* zero = parse("p[70] - 64");
        QCOMPARE(zero->toDisplay(100), -1.0);
        QVERIFY(zero->isNaN());
        (*set)[70]->setRegisterValue(68);
        QCOMPARE(zero->toDisplay(100), 25.0);
        QVERIFY(!zero->isNaN());
        delete zero;

        Formula* one = parse("1");
        QCOMPARE(one->toMemory(2.5), 3);
        QCOMPARE(one->toMemory(-2.5), -2);
        QCOMPARE(one->toMemory(-2.6), -3);
        QCOMPARE(one->toMemory(1e12), std::numeric_limits<int>::max());
        QCOMPARE(one->toMemory(-1e12), std::numeric_limits<int>::min());
        QCOMPARE(one->toMemory(std::numeric_limits<double>::quiet_NaN()), 0);
        delete one;
    }

    void referenceChangeNotifies()
    {
        Formula* formula = parse("p[1] * p[1] + p[70]");
        QSignalSpy changes(formula, &Formula::formulaParameterChanged);
        (*set)[1]->setRegisterValue(4);
        QCOMPARE(changes.count(), 2); // referred to twice
        QCOMPARE(formula->evaluate(), 16.0 + 64.0);
        (*set)[70]->setValue(10);
        QCOMPARE(changes.count(), 3);
        QCOMPARE(formula->evaluate(), 26.0);
        delete formula;
    }

    void dependantFollowsAtOnce()
    {
        Parameter* twice = (*set)[300];
        twice->setRegisterValue(60);
        QCOMPARE(twice->getValue(), 10.0); // 60 / (3 + 3)
        (*set)[1]->setValue(5);
        QCOMPARE(twice->getValue(), 6.0);
    }

    void parseAllStopsAtFirstFailure()
    {
        ParameterSet broken(definitionFile({
            registerEntry(1, "Fine", "\"scale\": \"2\""),
            registerEntry(2, "Broken", "\"scale\": \"2 &\""),
            registerEntry(3, "Later", "\"scale\": \"4\""),
        }));
        QVERIFY(!broken.formulasParsed());
        QVERIFY(broken[1]->isValid());
        QVERIFY(!broken[2]->isValid());
        QVERIFY(!broken[3]->isValid());
        QVERIFY(!broken[3]->getScaleFormula());
    }

    void numericLimitsFromFileParse()
    {
        // Numbers in the file become texts without an exponent, so later
        // registers still get their formulas.
        QString output;
        ParameterSet* numeric = nullptr;
        output = capturedStdout([&] {
            numeric = new ParameterSet(definitionFile({
                registerEntry(1, "Big", "\"scale\": 1, \"max\": 1000000"),
                registerEntry(2, "Tiny", "\"scale\": 0.00001"),
                registerEntry(3, "Later", "\"scale\": \"4\""),
            }));
        });
        QCOMPARE(output, QString());
        QVERIFY(numeric->formulasParsed());
        (*numeric)[1]->setRegisterValue(65535);
        QCOMPARE((*numeric)[1]->getValue(), 65535.0);
        QVERIFY((*numeric)[3]->isValid());
        delete numeric;
    }

    void emptyLimitKeepsFormula()
    {
        Parameter* one = (*set)[1];
        Formula* max = parse("100");
        one->setMaxFormula(max);
        QVERIFY(parser->parseSingleFormula(one)); // its max text is empty
        QCOMPARE(one->getMaxFormula(), max);
    }

    void emptyMapParses()
    {
        FormulaParser empty({});
        QVERIFY(empty.parseAllFormulas());
    }

    void captureGroup()
    {
        QCOMPARE(parser->captureInsideOfParentheses("(a+b)*c", 0), QString("(a+b)"));
        QCOMPARE(parser->captureInsideOfParentheses("2*((1+2)+3)-1", 2), QString("((1+2)+3)"));
        QCOMPARE(parser->captureInsideOfParentheses("(1", 0), QString("(1"));
    }

    void selfReferenceEvaluatesWithoutEnd_data()
    {
        QTest::addColumn<QByteArray>("scale8");
        QTest::addColumn<QByteArray>("scale9");
        // Each reference used to work out all the others again: 12! times.
        const QByteArray twelveTimes8 = "1" + QByteArray("+p[8]").repeated(12);
        QTest::newRow("once") << QByteArray("p[8] + 1") << QByteArray("1");
        QTest::newRow("twelve times") << twelveTimes8 << QByteArray("1");
        QTest::newRow("through another") << "1" + QByteArray("+p[9]").repeated(12) << twelveTimes8;
    }

    void selfReferenceEvaluatesWithoutEnd()
    {
        QFETCH(QByteArray, scale8);
        QFETCH(QByteArray, scale9);
        ParameterSet cyclic(definitionFile({
            registerEntry(8, "Self", "\"scale\": \"" + scale8 + "\""),
            registerEntry(9, "Other", "\"scale\": \"" + scale9 + "\""),
        }));
        QVERIFY(cyclic.formulasParsed());
        cyclic[8]->setRegisterValue(4);
        cyclic[9]->setValue(2);
        QVERIFY(std::isnan(cyclic[8]->getValue()));
    }

    void ownChangeIsNotRecomputedPerReference()
    {
        // Each reference back to the register recomputed it, and each
        // recomputation set off the registers that follow it once more.
        ParameterSet cyclic(definitionFile({
            registerEntry(8, "Self", "\"scale\": \"1" + QByteArray("+p[8]*0").repeated(20) + "\""),
            registerEntry(9, "Follows", "\"max\": \"p[8] + 100\""),
        }));
        QSignalSpy own(cyclic[8], &Parameter::displayChanged);
        QSignalSpy follower(cyclic[9], &Parameter::displayChanged);
        cyclic[8]->setRegisterValue(4);
        QCOMPARE(own.count(), 1);
        QCOMPARE(follower.count(), 1);
    }

    void doubleReferencesDoNotMultiplyRecomputation()
    {
        // Each register refers twice to the one before: the last was
        // recomputed once per path to it, 2^11 times for one change.
        QList<QByteArray> entries{registerEntry(1, "First", "\"scale\": \"1\"")};
        for (int address = 2; address <= 12; ++address) {
            const QByteArray before = "p[" + QByteArray::number(address - 1) + "]";
            entries << registerEntry(address, "Next", "\"max\": \"" + before + " + " + before + "\"");
        }
        ParameterSet chain(definitionFile(entries));
        QSignalSpy last(chain[12], &Parameter::displayChanged);
        chain[1]->setValue(5);
        QCOMPARE(last.count(), 1);
    }
};

QTEST_MAIN(TestFormulaParser)
#include "tst_formulaparser.moc"
