#pragma once
// A compiled enabled/visible condition: a short postfix program over signed 32-bit integers.
#include <QByteArray>
#include <QString>
#include <QStringList>

class ConfFormat;

class LogicExpr
{
public:
    // Token kinds of the scanner. 1..10 double as operator opcodes, 13 and 14 as the opcodes
    // that push a literal and a variable value.
    enum Token {
        TokError = 0,
        TokNot = 1,
        TokNeg = 2,
        TokOr = 3,
        TokAnd = 4,
        TokEq = 5,
        TokNe = 6,
        TokGt = 7,
        TokGe = 8,
        TokLt = 9,
        TokLe = 10,
        TokLParen = 11,
        TokRParen = 12,
        TokNumber = 13,
        TokIdent = 14,
        TokEnd = 15,
    };

    // The program is a fixed array; every binary operator consumes two values, so 64 opcodes
    // never need more than 32 literals or 32 stack entries.
    enum { MaxProgram = 64, MaxLiterals = 32, MaxStack = 32 };
    // Parentheses and unary operators recurse in the parser; far deeper than any real
    // condition, far shallower than the call stack.
    enum { MaxNesting = 256 };

    // Null for an empty text (no message) and for a text that does not compile
    // (after the parse-error line).
    // quiet: no parse-error line, for a text the program made up itself.
    static LogicExpr *create(const QString &text, bool quiet = false);

    // True when the program's result is not 0; changes nothing. A null format counts
    // as one without variables.
    bool evaluate(const ConfFormat *format) const;

    // The names the condition mentions, as written, each once, in first-use order.
    const QStringList &variables() const { return vars; }
    const QString &source() const { return text; }
    // The compiled opcodes in program order.
    QByteArray program() const { return QByteArray(reinterpret_cast<const char *>(prog), progCount); }

private:
    explicit LogicExpr(const QString &text);

    int scan();
    void pushBack(int kind);
    bool emitOp(int opcode);
    bool parseOr();
    bool parseAnd();
    bool parseComparison();
    bool parseUnary();
    bool parsePrimary();

    QString text;
    int pos = 0;
    int backKind = -1;
    QString token;
    QString backToken;
    quint8 prog[MaxProgram] = {};
    quint8 progCount = 0;
    QStringList names;
    qint32 literals[MaxLiterals] = {};
    int literalCount = 0;
    QStringList vars;

    // Compile-time bookkeeping only: values the program will hold on the stack at this
    // point, and the current depth of parentheses and unary operators.
    int stackDepth = 0;
    int nesting = 0;
};
