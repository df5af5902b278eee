#include "expr/logicexpr.h"

#include "format/confformat.h"
#include "format/diag.h"

#include <climits>

namespace {

bool isDigit(QChar c)
{
    // Literals are converted as decimal ASCII numbers, so only those digits start one.
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isIdentChar(QChar c)
{
    return c.isLetter() || isDigit(c) || c == QLatin1Char('[') || c == QLatin1Char(']')
        || c == QLatin1Char('.') || c == QLatin1Char('_');
}

int keyword(const QString &word)
{
    const QString w = word.toLower();
    if (w == QLatin1String("and"))
        return LogicExpr::TokAnd;
    if (w == QLatin1String("or"))
        return LogicExpr::TokOr;
    if (w == QLatin1String("not"))
        return LogicExpr::TokNot;
    if (w == QLatin1String("ne") || w == QLatin1String("noteq"))
        return LogicExpr::TokNe;
    if (w == QLatin1String("gt"))
        return LogicExpr::TokGt;
    if (w == QLatin1String("ge"))
        return LogicExpr::TokGe;
    if (w == QLatin1String("lt"))
        return LogicExpr::TokLt;
    if (w == QLatin1String("le"))
        return LogicExpr::TokLe;
    return LogicExpr::TokIdent;
}

} // namespace

LogicExpr::LogicExpr(const QString &text)
    : text(text)
{
}

LogicExpr *LogicExpr::create(const QString &text, bool quiet)
{
    if (text.isEmpty())
        return nullptr;

    auto *expr = new LogicExpr(text);
    bool ok = expr->parseOr() && expr->scan() == TokEnd;
    if (ok && expr->stackDepth != 1)
        ok = false; // cannot happen for a program the grammar accepted; keeps evaluate safe
    if (!ok) {
        delete expr;
        if (!quiet)
            diagOutError("LogicExpr: parse error '%s'\n", text.toLocal8Bit().constData());
        return nullptr;
    }
    for (const QString &name : std::as_const(expr->names)) {
        if (!expr->vars.contains(name))
            expr->vars.append(name);
    }
    return expr;
}

int LogicExpr::scan()
{
    if (backKind != -1) {
        const int kind = backKind;
        token = backToken;
        backKind = -1;
        return kind;
    }

    const int length = int(text.size());
    while (pos < length && text.at(pos) == QLatin1Char(' '))
        ++pos;
    if (pos >= length)
        return TokEnd;

    const QChar c = text.at(pos++);
    const bool nextIsEq = pos < length && text.at(pos) == QLatin1Char('=');
    switch (c.unicode()) {
    case '!':
        if (nextIsEq) {
            ++pos;
            return TokNe;
        }
        return TokNot;
    case '&':
        return TokAnd;
    case '|':
        return TokOr;
    case '=':
        return TokEq;
    case '-':
        return TokNeg;
    case '(':
        return TokLParen;
    case ')':
        return TokRParen;
    case '<':
        if (nextIsEq) {
            ++pos;
            return TokLe;
        }
        return TokLt;
    case '>':
        if (nextIsEq) {
            ++pos;
            return TokGe;
        }
        return TokGt;
    default:
        break;
    }

    --pos;
    const int start = pos;
    if (isDigit(c)) {
        while (pos < length && isDigit(text.at(pos)))
            ++pos;
        token = text.mid(start, pos - start);
        return TokNumber;
    }
    if (c.isLetter()) {
        while (pos < length && isIdentChar(text.at(pos)))
            ++pos;
        token = text.mid(start, pos - start);
        return keyword(token);
    }
    return TokError;
}

void LogicExpr::pushBack(int kind)
{
    backKind = kind;
    backToken = token;
}

bool LogicExpr::emitOp(int opcode)
{
    if (progCount >= MaxProgram)
        return false;
    if (opcode == TokNumber || opcode == TokIdent) {
        if (stackDepth >= MaxStack)
            return false;
        ++stackDepth;
    } else if (opcode != TokNot && opcode != TokNeg) {
        // binary operator: two values in, one out
        if (stackDepth < 2)
            return false;
        --stackDepth;
    } else if (stackDepth < 1) {
        return false;
    }
    prog[progCount++] = quint8(opcode);
    return true;
}

bool LogicExpr::parseOr()
{
    if (!parseAnd())
        return false;
    const int kind = scan();
    if (kind == TokOr)
        return parseOr() && emitOp(TokOr);
    pushBack(kind);
    return true;
}

bool LogicExpr::parseAnd()
{
    if (!parseComparison())
        return false;
    const int kind = scan();
    if (kind == TokAnd)
        return parseAnd() && emitOp(TokAnd);
    pushBack(kind);
    return true;
}

bool LogicExpr::parseComparison()
{
    if (!parseUnary())
        return false;
    const int kind = scan();
    if (kind >= TokEq && kind <= TokLe)
        return parseComparison() && emitOp(kind);
    pushBack(kind);
    return true;
}

bool LogicExpr::parseUnary()
{
    const int kind = scan();
    if (kind == TokNot || kind == TokNeg) {
        if (nesting >= MaxNesting)
            return false;
        ++nesting;
        const bool ok = parseUnary() && emitOp(kind);
        --nesting;
        return ok;
    }
    pushBack(kind);
    return parsePrimary();
}

bool LogicExpr::parsePrimary()
{
    switch (scan()) {
    case TokLParen: {
        if (nesting >= MaxNesting)
            return false;
        ++nesting;
        const bool ok = parseOr() && scan() == TokRParen;
        --nesting;
        return ok;
    }
    case TokNumber: {
        if (literalCount >= MaxLiterals)
            return false;
        bool fits = false;
        const int value = token.toInt(&fits, 10);
        if (!emitOp(TokNumber))
            return false;
        literals[literalCount++] = fits ? value : 0;
        return true;
    }
    case TokIdent:
        if (!emitOp(TokIdent))
            return false;
        names.append(token);
        return true;
    default:
        return false;
    }
}

bool LogicExpr::evaluate(const ConfFormat *format) const
{
    qint32 stack[MaxStack];
    int sp = 0;
    int literal = 0;
    int name = 0;

    for (int i = 0; i < progCount; ++i) {
        const int op = prog[i];
        switch (op) {
        case TokNumber:
            stack[sp++] = literals[literal++];
            break;
        case TokIdent:
            stack[sp++] = format ? format->intValue(names.at(name)) : 0;
            ++name;
            break;
        case TokNot:
            stack[sp - 1] = stack[sp - 1] == 0 ? 1 : 0;
            break;
        case TokNeg:
            if (stack[sp - 1] != INT_MIN)
                stack[sp - 1] = -stack[sp - 1];
            break;
        default: {
            const qint32 b = stack[--sp];
            const qint32 a = stack[sp - 1];
            bool r = false;
            switch (op) {
            case TokOr: r = a != 0 || b != 0; break;
            case TokAnd: r = a != 0 && b != 0; break;
            case TokEq: r = a == b; break;
            case TokNe: r = a != b; break;
            case TokGt: r = a > b; break;
            case TokGe: r = a >= b; break;
            case TokLt: r = a < b; break;
            case TokLe: r = a <= b; break;
            default: break;
            }
            stack[sp - 1] = r ? 1 : 0;
            break;
        }
        }
    }
    return sp > 0 && stack[sp - 1] != 0;
}
