#include "tests/support/diagcapture.h"
#include "expr/logicexpr.h"
#include "format/confformat.h"
#include "format/diag.h"

#include <QDomDocument>
#include <QtTest>
#include <climits>
#include <memory>

class TestLogicExpr : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void compile_data();
    void compile();
    void create_emptyText_nullWithoutMessage_data();
    void create_emptyText_nullWithoutMessage();
    void evaluate_data();
    void evaluate();
    void evaluate_repeated_sameResultFormatUntouched();
    void variables_data();
    void variables();
    void limits_data();
    void limits();

private:
    std::unique_ptr<ConfFormat> format;
};

static QByteArray ops(const char *hex)
{
    return QByteArray::fromHex(hex);
}

void TestLogicExpr::initTestCase()
{
    QDomDocument doc;
    QVERIFY(doc.setContent(QStringLiteral(
        "<Format>"
        "<dword name='Mode'/><dword name='Locked'/><dword name='Zero'/><word name='Speed'/>"
        "<dword name='Neg'/><dword name='Big'/>"
        "<struct name='Ch[2]'><byte name='Type'/><byte name='Mode_2'/></struct>"
        "<float name='f'/><string name='s' size='10'/>"
        "</Format>")));
    format.reset(ConfFormat::create(QStringLiteral("T"), doc.documentElement()));
    QVERIFY(format);
    auto set = [this](const char *name, qint32 value) {
        ConfVar *var = format->varByName(QString::fromLatin1(name));
        QVERIFY2(var, name);
        var->value = value;
    };
    set("Mode", 2);
    set("Locked", 0);
    set("Zero", 0);
    set("Speed", 150);
    set("Neg", INT_MIN);
    set("Big", INT_MAX);
    set("Ch[1].Type", 3);
    set("Ch[1].Mode_2", 1);
    format->varByName(QStringLiteral("f"))->floatValue = -2.9f;
    format->varByName(QStringLiteral("s"))->text = QStringLiteral("hello");
}

// Program bytes: 01 not, 02 neg, 03 or, 04 and, 05 =, 06 !=, 07 >, 08 >=, 09 <, 0a <=,
// 0d literal, 0e variable. An empty program means the text must not compile.
void TestLogicExpr::compile_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("program");

    QTest::newRow("no blanks needed") << "Mode=2" << ops("0e0d05");
    QTest::newRow("blanks give the same program") << "Mode = 2" << ops("0e0d05");
    QTest::newRow("leading and trailing blanks") << "  Mode = 2  " << ops("0e0d05");
    QTest::newRow("tab is not a blank") << "Mode\t= 2" << QByteArray();
    QTest::newRow("line break is not a blank") << "Mode = 2\n" << QByteArray();
    QTest::newRow("blanks only") << "   " << QByteArray();

    QTest::newRow("single and") << "a & b" << ops("0e0e04");
    QTest::newRow("single or") << "a | b" << ops("0e0e03");
    QTest::newRow("single equal") << "a = b" << ops("0e0e05");
    QTest::newRow("doubled and") << "a && b" << QByteArray();
    QTest::newRow("doubled or") << "a || b" << QByteArray();
    QTest::newRow("doubled equal") << "a == b" << QByteArray();
    QTest::newRow("=> is two tokens") << "a => b" << QByteArray();
    QTest::newRow("=< is two tokens") << "a =< b" << QByteArray();
    QTest::newRow("<> is two tokens") << "a <> b" << QByteArray();

    QTest::newRow("keywords upper case") << "A AND NOT B" << ops("0e0e0104");
    QTest::newRow("noteq mixed case") << "x Noteq 3" << ops("0e0d06");
    QTest::newRow("ne word") << "x ne 3" << ops("0e0d06");
    QTest::newRow("!= sign") << "x != 3" << ops("0e0d06");
    QTest::newRow("no eq word") << "x eq 3" << QByteArray();
    QTest::newRow("gt word") << "a gt b" << ops("0e0e07");
    QTest::newRow("GE word") << "a GE b" << ops("0e0e08");
    QTest::newRow("lt word") << "a lt b" << ops("0e0e09");
    QTest::newRow("Le word") << "a Le b" << ops("0e0e0a");
    QTest::newRow("> sign") << "a>b" << ops("0e0e07");
    QTest::newRow(">= sign") << "a>=b" << ops("0e0e08");
    QTest::newRow("< sign") << "a<b" << ops("0e0e09");
    QTest::newRow("<= sign") << "a<=b" << ops("0e0e0a");
    QTest::newRow("OR word") << "a OR b" << ops("0e0e03");
    QTest::newRow("keyword cannot name a variable") << "and = 1" << QByteArray();
    QTest::newRow("bang not") << "!a" << ops("0e01");
    QTest::newRow("bang blank not") << "! a" << ops("0e01");
    QTest::newRow("!= without left side") << "!=a" << QByteArray();

    QTest::newRow("comparisons group to the right") << "a = b = c" << ops("0e0e0e0505");
    QTest::newRow("mixed comparisons to the right") << "1 < 2 < 3" << ops("0d0d0d0909");
    QTest::newRow("and binds tighter than or") << "a or b and c" << ops("0e0e0e0403");
    QTest::newRow("and before or") << "a and b or c" << ops("0e0e040e03");
    QTest::newRow("or groups to the right") << "a or b or c" << ops("0e0e0e0303");
    QTest::newRow("comparison binds tighter than and") << "a = 1 and b" << ops("0e0d050e04");
    QTest::newRow("not binds the primary only") << "not a = b" << ops("0e010e05");
    QTest::newRow("negation binds the primary only") << "-a < 0" << ops("0e020d09");
    QTest::newRow("double negation") << "--5 = 5" << ops("0d02020d05");
    QTest::newRow("not of a parenthesis") << "not (a = b)" << ops("0e0e0501");
    QTest::newRow("parentheses regroup") << "(a or b) and c" << ops("0e0e030e04");
    QTest::newRow("redundant parentheses") << "((a))" << ops("0e");
    QTest::newRow("binary minus") << "3 - 1" << QByteArray();

    QTest::newRow("trailing identifier") << "a b" << QByteArray();
    QTest::newRow("unclosed parenthesis") << "(a" << QByteArray();
    QTest::newRow("unopened parenthesis") << "a)" << QByteArray();
    QTest::newRow("empty parentheses") << "()" << QByteArray();
    QTest::newRow("dangling operator") << "a and" << QByteArray();
    QTest::newRow("operator first") << "or a" << QByteArray();

    QTest::newRow("dotted indexed name") << "Ch[1].Mode_2 = 1" << ops("0e0d05");
    QTest::newRow("blanks inside index") << "Ch[ 1 ] = 1" << QByteArray();
    QTest::newRow("underscore cannot start a name") << "_x = 1" << QByteArray();
    QTest::newRow("digit cannot start a name") << "2x = 1" << QByteArray();
    QTest::newRow("letters of any alphabet") << QString::fromUtf8("Длина > 3") << ops("0e0d07");
    QTest::newRow("unknown character") << "a = #" << QByteArray();
    QTest::newRow("literal out of range still compiles") << "3000000000 = 0" << ops("0d0d05");
}

void TestLogicExpr::compile()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, program);

    DiagCapture diag;
    std::unique_ptr<LogicExpr> expr(LogicExpr::create(text));
    if (program.isEmpty()) {
        QVERIFY(!expr);
        QCOMPARE(diag.out, "LogicExpr: parse error '" + text.toLocal8Bit() + "'\n");
    } else {
        QVERIFY(expr);
        QCOMPARE(expr->program().toHex(), program.toHex());
        QCOMPARE(expr->source(), text);
        QCOMPARE(diag.out, QByteArray());
    }
    QCOMPARE(diag.err, QByteArray());
}

void TestLogicExpr::create_emptyText_nullWithoutMessage_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("null") << QString();
    QTest::newRow("zero length") << QString(QLatin1String(""));
}

void TestLogicExpr::create_emptyText_nullWithoutMessage()
{
    QFETCH(QString, text);
    DiagCapture diag;
    QVERIFY(!LogicExpr::create(text));
    QCOMPARE(diag.out, QByteArray());
    QCOMPARE(diag.err, QByteArray());
}

// Values: Mode 2, Locked 0, Zero 0, Speed 150, Neg INT_MIN, Big INT_MAX, Ch[1].Type 3,
// Ch[1].Mode_2 1, f -2.9, s "hello"; everything else 0.
void TestLogicExpr::evaluate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");

    QTest::newRow("ascending chain is 1 < (2 < 3)") << "1 < 2 < 3" << false;
    QTest::newRow("descending chain is 3 > (2 > 1)") << "3 > 2 > 1" << true;
    QTest::newRow("right grouping of equalities") << "2 = 2 = 1" << false;
    QTest::newRow("right grouping over variables") << "Mode = Mode = 1" << false;
    QTest::newRow("not binds Mode, Mode not 0") << "not Mode = 0" << true;
    QTest::newRow("not binds Zero, Zero is 0") << "not Zero = 0" << false;
    QTest::newRow("negative literal") << "-1 < 0" << true;
    QTest::newRow("double negation") << "--5 = 5" << true;
    QTest::newRow("negated zero is false") << "-0" << false;
    QTest::newRow("literal above int range is 0") << "3000000000 = 0" << true;
    QTest::newRow("literal just above int range is 0") << "2147483648 = 0" << true;
    QTest::newRow("largest literal") << "2147483647 = Big" << true;
    QTest::newRow("leading zeros") << "007 = 7" << true;
    QTest::newRow("negating the most negative value keeps it") << "-Neg = Neg" << true;
    QTest::newRow("most negative value stays negative") << "-Neg < 0" << true;
    QTest::newRow("missing variable reads 0") << "Missing = 0" << true;
    QTest::newRow("names are case-sensitive") << "mode = 0" << true;
    QTest::newRow("plain variable, non-zero") << "Mode" << true;
    QTest::newRow("plain variable, zero") << "Locked" << false;
    QTest::newRow("plain literal 7") << "7" << true;
    QTest::newRow("plain literal 0") << "0" << false;
    QTest::newRow("and with not") << "Mode = 2 and not Locked" << true;
    QTest::newRow("or with element member") << "Speed ge 100 or Ch[1].Type noteq 0" << true;
    QTest::newRow("or, both false") << "Speed lt 100 or Ch[1].Type noteq 3" << false;
    QTest::newRow("and, one false") << "Mode & Locked" << false;
    QTest::newRow("or, one true") << "Locked | Mode" << true;
    QTest::newRow("and yields 1") << "(Mode and Speed) = 1" << true;
    QTest::newRow("not yields 1") << "not Locked = 1" << true;
    QTest::newRow("signed comparison") << "Neg < Big" << true;
    QTest::newRow("float truncated toward zero") << "f = -2" << true;
    QTest::newRow("string gives its length") << "s = 5" << true;
    QTest::newRow("structure gives 0") << "Ch[1] = 0" << true;
    QTest::newRow("member by full name") << "Ch[1].Mode_2 = 1" << true;
    QTest::newRow("le equal") << "Speed le 150" << true;
    QTest::newRow("gt equal") << "Speed gt 150" << false;
    QTest::newRow("ne differs") << "Mode != 3" << true;
    QTest::newRow("parentheses") << "(Locked or Mode) and (Speed = 150)" << true;
}

void TestLogicExpr::evaluate()
{
    QFETCH(QString, text);
    QFETCH(bool, expected);
    DiagCapture diag;
    std::unique_ptr<LogicExpr> expr(LogicExpr::create(text));
    QVERIFY(expr);
    QCOMPARE(expr->evaluate(format.get()), expected);
    QCOMPARE(diag.out, QByteArray());
    QCOMPARE(diag.err, QByteArray());
}

void TestLogicExpr::evaluate_repeated_sameResultFormatUntouched()
{
    std::unique_ptr<LogicExpr> expr(LogicExpr::create(QStringLiteral("Mode = 2 and Missing = 0")));
    QVERIFY(expr);
    const QByteArray imageBefore = format->pack();
    for (int i = 0; i < 3; ++i)
        QVERIFY(expr->evaluate(format.get()));
    QCOMPARE(format->pack().toHex(), imageBefore.toHex());
    QVERIFY(format->vars().find(QStringLiteral("Missing")) == format->vars().end());

    format->varByName(QStringLiteral("Mode"))->value = 3;
    QVERIFY(!expr->evaluate(format.get()));
    format->varByName(QStringLiteral("Mode"))->value = 2;
}

void TestLogicExpr::variables_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("duplicates once, first order") << "A or B or A" << QStringList{"A", "B"};
    QTest::newRow("case kept and distinct") << "a = A" << QStringList{"a", "A"};
    QTest::newRow("literals only") << "1 = 1" << QStringList();
    QTest::newRow("whole dotted name") << "Ch[1].Mode_2 = 1" << QStringList{"Ch[1].Mode_2"};
    QTest::newRow("program order") << "b or (a and b) or c" << QStringList{"b", "a", "c"};
    QTest::newRow("keywords are not variables") << "not x and y" << QStringList{"x", "y"};
}

void TestLogicExpr::variables()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    std::unique_ptr<LogicExpr> expr(LogicExpr::create(text));
    QVERIFY(expr);
    QCOMPARE(expr->variables(), expected);
}

static QString repeated(const QString &piece, int count, const QString &separator = QString())
{
    QStringList parts;
    for (int i = 0; i < count; ++i)
        parts << piece;
    return parts.join(separator);
}

// The program, literal table and stack are fixed arrays; nesting is bounded so that
// no text can exhaust the call stack. Texts beyond the limits are parse errors.
void TestLogicExpr::limits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("opcodes");    // 0: must not compile
    QTest::addColumn<bool>("expected");

    // 32 operands and 31 operators: 63 opcodes, 32 values on the stack at once.
    const QString eqChain32 = repeated(QStringLiteral("Mode"), 32, QStringLiteral(" = "));
    QTest::newRow("32-deep stack fits") << eqChain32 << 63 << false;
    QTest::newRow("64 opcodes fit") << "not " + eqChain32 << 64 << true;
    QTest::newRow("65 opcodes rejected") << "not not " + eqChain32 << 0 << false;
    QTest::newRow("33 operands rejected")
        << repeated(QStringLiteral("Mode"), 33, QStringLiteral(" = ")) << 0 << false;
    QTest::newRow("32 literals fit") << repeated(QStringLiteral("1"), 32, QStringLiteral(" or ")) << 63 << true;
    QTest::newRow("33 literals rejected")
        << repeated(QStringLiteral("1"), 33, QStringLiteral(" or ")) << 0 << false;
    QTest::newRow("63 nots fit") << repeated(QStringLiteral("not "), 63) + "Zero" << 64 << true;
    QTest::newRow("64 nots rejected") << repeated(QStringLiteral("not "), 64) + "Zero" << 0 << false;
    QTest::newRow("256 parentheses fit")
        << repeated(QStringLiteral("("), 256) + "Mode" + repeated(QStringLiteral(")"), 256) << 1 << true;
    QTest::newRow("257 parentheses rejected")
        << repeated(QStringLiteral("("), 257) + "Mode" + repeated(QStringLiteral(")"), 257) << 0 << false;
    QTest::newRow("100000 parentheses rejected")
        << repeated(QStringLiteral("("), 100000) + "a" + repeated(QStringLiteral(")"), 100000) << 0 << false;
    QTest::newRow("100000 unclosed parentheses rejected") << repeated(QStringLiteral("("), 100000) << 0 << false;
    QTest::newRow("100000 nots rejected") << repeated(QStringLiteral("not "), 100000) + "a" << 0 << false;
    QTest::newRow("100000 negations rejected") << repeated(QStringLiteral("-"), 100000) + "1" << 0 << false;
    QTest::newRow("100000 bangs rejected") << repeated(QStringLiteral("!"), 100000) + "1" << 0 << false;
    QTest::newRow("long or chain rejected")
        << repeated(QStringLiteral("a"), 100000, QStringLiteral(" or ")) << 0 << false;
}

void TestLogicExpr::limits()
{
    QFETCH(QString, text);
    QFETCH(int, opcodes);
    QFETCH(bool, expected);

    DiagCapture diag;
    std::unique_ptr<LogicExpr> expr(LogicExpr::create(text));
    if (opcodes == 0) {
        QVERIFY(!expr);
        QCOMPARE(diag.out, "LogicExpr: parse error '" + text.toLocal8Bit() + "'\n");
        return;
    }
    QVERIFY(expr);
    QCOMPARE(int(expr->program().size()), opcodes);
    QCOMPARE(expr->evaluate(format.get()), expected);
    QCOMPARE(diag.out, QByteArray());
}

QTEST_GUILESS_MAIN(TestLogicExpr)
#include "tst_logicexpr.moc"
