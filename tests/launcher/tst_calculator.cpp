// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/commanderror.h"
#include "launcher/calculator.h"
#include "launcher/numbers.h"

#include <QTest>

#include <limits>

namespace {
// The error number a call raises, 0 when it raises none; a raised error must carry its description.
template <typename F>
int errorOf(F &&call)
{
    try {
        call();
    } catch (const CommandError &e) {
        return e.description == errorDescription(e.number) ? e.number : -1;
    }
    return 0;
}

constexpr double inf = std::numeric_limits<double>::infinity();
} // namespace

class TestCalculator final : public QObject
{
    Q_OBJECT

private slots:
    void reading_data();
    void reading();
    void decide_data();
    void decide();
    void calValue_data();
    void calValue();
    void convert_data();
    void convert();
};

// The same text read as an operand (numeric prefix, never fails) and by the general conversion.
void TestCalculator::reading_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("prefix");
    QTest::addColumn<double>("whole");
    QTest::addColumn<int>("error");
    const auto row = [](const char *name, const QString &text, double prefix, double whole, int error = 0) {
        QTest::newRow(name) << text << prefix << whole << error;
    };
    row("blanks around", " \t12.5e1 ", 125, 125);
    row("blanks inside", "1 2", 12, 0, 13);
    row("tab and line feed inside", "\t-1\n2 .5", -12.5, 0, 13);
    row("carriage return stops", "1\r2", 1, 0, 13);
    row("thousands separator", "1,000", 1, 0, 13);
    row("D exponent", "1.5D-3", 0.0015, 0.0015);
    row("trailing point", "-5.", -5, -5);
    row("point first", "-.5", -0.5, -0.5);
    row("exponent without digits", "2e+", 2, 0, 13);
    row("second period", "1.2.3", 1.2, 0, 13);
    row("two signs", "--3", 0, 0, 13);
    row("empty", "", 0, 0, 13);
    row("full-width digits", "１２", 0, 0, 13);
    row("full-width after digit", "3４", 3, 0, 13);
    row("infinity word", "inf", 0, 0, 13);
    row("hex lower case", "&hff", 255, 255);
    row("hex trailing letter", "&H1G", 1, 0, 13);
    row("hex without digits", "&H", 0, 0, 13);
    row("sign before hex", "-&H1", 0, 0, 13);
    row("octal stops at 8", "&O18", 1, 0, 13);
    row("four hex digits are not 16-bit", "&HFFFF", 65535, 65535);
    row("32-bit two's complement", "&HFFFFFFFF", -1, -1);
    row("lowest", "&H80000000", -2147483648.0, -2147483648.0);
    row("octal two's complement", "&o37777777777", -1, -1);
    row("hex beyond 32 bits", "&H100000000", 4294967296.0, 0, 6);
    row("long digit string", "1" + QString(300, '0'), 1e300, 1e300);
    row("beyond double", "1" + QString(309, '0'), inf, 0, 6);
    row("huge exponent", "1e99999999999999999999", inf, 0, 6);
    row("below double", "1e-400", 0, 0);
}

void TestCalculator::reading()
{
    QFETCH(QString, text);
    QFETCH(double, prefix);
    QFETCH(double, whole);
    QFETCH(int, error);
    QCOMPARE(numbers::readPrefix(text), prefix);
    double actual = 0;
    QCOMPARE(errorOf([&] { actual = numbers::toDouble(text); }), error);
    QCOMPARE(actual, whole);
}

void TestCalculator::decide_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<calculator::Action>("action");
    QTest::addColumn<QChar>("mark");
    const auto row = [](const char *name, const QString &text, calculator::Action action, QChar mark = {}) {
        QTest::newRow(name) << text << action << mark;
    };
    using A = calculator::Action;
    for (const char *text : {"-5+3", "+1", "/usr/bin/x", "*", "abc+1", "notepad", "Z1"})
        row(text, text, A::Launch);
    row("percent first", "%1", A::Evaluate, u'%');
    row("full-width letter", "ａ+1", A::Evaluate, u'+');
    row("no operator", "123", A::Nothing);
    row("empty", "", A::Nothing);
    row("plus before minus", "5-3+1", A::Evaluate, u'+');
    row("minus before star", "5*-3", A::Evaluate, u'-');
    row("star before slash", "8/2*3", A::Evaluate, u'*');
    row("slash before percent", "8%3/2", A::Evaluate, u'/');
}

void TestCalculator::decide()
{
    QFETCH(QString, text);
    QFETCH(calculator::Action, action);
    QFETCH(QChar, mark);
    const calculator::Decision d = calculator::decide(text);
    QCOMPARE(d.action, action);
    if (action == calculator::Action::Evaluate)
        QCOMPARE(d.mark, mark);
}

void TestCalculator::calValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QChar>("mark"); // null: the one decide() chooses
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("error");
    const auto row = [](const char *name, const QString &text, const QString &result, int error = 0, QChar mark = {}) {
        QTest::newRow(name) << text << mark << result << error;
    };
    row("divide", "10/4", "2.5");
    row("remainder", "7%3", "1");
    row("remainder rounds", "7.5%2", "0");
    row("half to even", "2.5%3", "2");
    row("divisor rounded", "7%2.5", "1");
    row("empty right", "5-", "5");
    row("empty left", "%3", "0");
    row("signed right", "3--2", "5");
    row("first star", "2*3*4", "6");
    row("plus wins", "2*3+4", "6");
    row("minus wins", "5*-3", "2");
    row("hex operand", "&HFF+1", "256");
    row("written hex", "&HFFFFFFFF*3", "-3");
    row("blank inside", "1 2+1", "13");
    row("separator", "1,000+1", "2");
    row("exponent", "1.5e3+0", "1500");
    row("negative remainder", "-7%3", "-1", 0, u'%');
    row("negative divisor", "7%-3", "1", 0, u'%');
    row("lowest by -1", "-2147483648%-1", "0", 0, u'%');
    // How results are written.
    row("third", "1/3", "0.333333333333333");
    row("0.1+0.2", "0.1+0.2", "0.3");
    row("minus zero", "0*-1", "0", 0, u'*');
    row("largest plain", "1e14*1", "100000000000000");
    row("rounds to plain", "99999999999999.95+0", "100000000000000");
    row("first exponent", "1e15*1", "1E+15");
    row("rounds to 1E+15", "999999999999999.5+0", "1E+15");
    row("15 digits", "123456789012345678+0", "1.23456789012346E+17");
    row("smallest plain", "0.0001+0", "0.0001");
    row("rounds up to plain", "0.00009999999999999999+0", "0.0001");
    row("first small exponent", "0.00001+0", "1E-05");
    row("negative exponent form", "0-2.5e20", "-2.5E+20");
    row("three exponent digits", "1e100+0", "1E+100");
    row("largest", "1.7976931348623157e308+0", "1.79769313486232E+308");
    row("subnormal", "5e-324+0", "4.94065645841247E-324");
    // Failures.
    row("divide by zero", "1/0", "", 11);
    row("zero by zero", "0/0", "", 11);
    row("remainder by zero", "5%0", "", 11);
    row("divisor rounds to zero", "5%0.5", "", 11);
    row("overflow", "1e308*10", "", 6);
    row("overlong operand", "1" + QString(400, '0') + "*0", "", 6);
    row("remainder beyond 32 bits", "3000000000%2", "", 6);
    row("rounds beyond 32 bits", "2147483647.5%2", "", 6);
}

void TestCalculator::calValue()
{
    QFETCH(QString, text);
    QFETCH(QChar, mark);
    QFETCH(QString, result);
    QFETCH(int, error);
    if (mark.isNull()) {
        const calculator::Decision d = calculator::decide(text);
        QCOMPARE(d.action, calculator::Action::Evaluate);
        mark = d.mark;
    }
    QString actual;
    QCOMPARE(errorOf([&] { actual = calculator::calValue(text, mark); }), error);
    QCOMPARE(actual, result);
}

void TestCalculator::convert_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("error");
    const auto row = [](const char *key, const char *name, const QString &text, const QString &result, int error = 0) {
        QTest::addRow("%s %s", key, name) << QString::fromLatin1(key) << text << result << error;
    };
    row("h16", "plain", "255", "&HFF");
    row("h16", "zero", "0", "&H0");
    row("h16", "negative", "-1", "&HFFFFFFFF");
    row("h16", "lowest", "-2147483648.5", "&H80000000");
    row("h16", "half down", "2.5", "&H2");
    row("h16", "half up", "3.5", "&H4");
    row("h16", "negative half", "-2.5", "&HFFFFFFFE");
    row("h16", "just above half", "2.5000000000000001", "&H3"); // a double would make it a tie
    row("h16", "just below half", "0.49999999999999999999", "&H0");
    row("h16", "of octal", "&O17", "&HF");
    row("h16", "not a number", "abc", "", 13);
    row("h16", "beyond", "3000000000", "", 6);
    row("h16", "rounds beyond", "2147483647.5", "", 6);
    row("h16", "2^128", "340282366920938463463374607431768211456", "", 6); // must not wrap to 0
    row("h8", "plain", "8", "&O10");
    row("h8", "blanks", " 12 ", "&O14");
    row("h8", "negative", "-1", "&O37777777777");
    row("h8", "of hex", "&hff", "&O377");
    row("h10", "hex", "&HFF", "255");
    row("h10", "octal", "&O17", "15");
    row("h10", "exponent", "1e3", "1000");
    row("h10", "written negative", "&HFFFFFFFF", "-1");
    row("h10", "trailing zero", "12.50", "12.5");
    row("h10", "minus zero", "-0.00", "0");
    row("h10", "small", "-1.5e-5", "-0.000015");
    row("h10", "exact", "0.30000000000000004", "0.30000000000000004");
    row("h10", "beyond double digits", "12345678901234567890", "12345678901234567890");
    row("h10", "largest", "79228162514264337593543950335", "79228162514264337593543950335");
    row("h10", "beyond 96 bits", "79228162514264337593543950336", "", 6);
    row("h10", "rounds beyond", "79228162514264337593543950335.5", "", 6);
    row("h10", "28 places", "0.12345678901234567890123456785", "0.1234567890123456789012345678");
    row("h10", "28 digits", "1.23456789012345678901234567851", "1.234567890123456789012345679");
    row("h10", "too small", "1e-29", "0");
    row("h10", "beyond", "1e29", "", 6);
    row("h10", "not a number", "12a", "", 13);
    row("ucase", "full-width", "abcｄ", "ABCＤ");
    row("LCASE", "full-width", "ABCＤ", "abcｄ");
    row("ucase", "other scripts", "αжé", "ΑЖÉ");
    row("ucase", "keeps length", "ß", "ß");
    row("ucase", "outside BMP", "𐐨", "𐐀");
    row("ucase", "kana", "ぁァｧ漢1+", "ぁァｧ漢1+");
    row("hide", "unknown key", "abc", "abc");
}

void TestCalculator::convert()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    QFETCH(QString, result);
    QFETCH(int, error);
    QString actual;
    QCOMPARE(errorOf([&] { actual = calculator::convert(key, text); }), error);
    QCOMPARE(actual, result);
}

QTEST_GUILESS_MAIN(TestCalculator)
#include "tst_calculator.moc"
