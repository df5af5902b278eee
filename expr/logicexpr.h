#pragma once
// A compiled enabled/visible condition: a short postfix program over signed 32-bit integers.
#include <QString>
#include <QStringList>

class ConfFormat;

class LogicExpr
{
public:
    // Null for an empty text (no message) and for a text that does not compile
    // (after the parse-error line).
    static LogicExpr *create(const QString &text);

    // True when the program's result is not 0; changes nothing.
    bool evaluate(const ConfFormat *format) const;

    // The names the condition mentions, as written, each once, in first-use order.
    const QStringList &variables() const { return vars; }
    const QString &source() const { return text; }

private:
    explicit LogicExpr(const QString &text);
    // Implementation details (scanner, parser, program, literal table, name list)
    // are declared by the implementation.
    QString text;
    QStringList vars;
};
