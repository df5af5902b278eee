#include "tree/why.h"

#include "expr/logicexpr.h"
#include "format/confformat.h"
#include "tree/confrow.h"

#include <QCoreApplication>

#include <memory>

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('[') || c == QLatin1Char(']') || c == QLatin1Char('.')
        || c == QLatin1Char('_');
}

// The text cut at every operator of the given kind that stands outside parentheses: "or"
// and "|", or "and" and "&", as the condition scanner reads them (keywords in any case).
QStringList splitTopLevel(const QString &text, const QString &keyword, QChar symbol)
{
    QStringList parts;
    int depth = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')')) {
            --depth;
        } else if (depth == 0 && c == symbol) {
            parts << text.mid(start, i - start);
            start = ++i;
            continue;
        } else if (isWordChar(c)) {
            qsizetype end = i;
            while (end < text.size() && isWordChar(text.at(end)))
                ++end;
            if (depth == 0 && text.mid(i, end - i).compare(keyword, Qt::CaseInsensitive) == 0) {
                parts << text.mid(start, i - start);
                start = end;
            }
            i = end;
            continue;
        }
        ++i;
    }
    parts << text.mid(start);
    for (QString &part : parts)
        part = part.trimmed();
    return parts;
}

// The text without one pair of parentheses around all of it; as it was otherwise.
QString unwrapped(const QString &text)
{
    if (!text.startsWith(QLatin1Char('(')) || !text.endsWith(QLatin1Char(')')))
        return text;
    int depth = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('('))
            ++depth;
        else if (text.at(i) == QLatin1Char(')') && --depth == 0 && i != text.size() - 1)
            return text; // "(a) and (b)": the first pair closes early
    }
    return text.mid(1, text.size() - 2).trimmed();
}

// Whether a part of a condition holds; a part that does not compile on its own (it cannot,
// being cut at operators of the lowest binding) counts as holding, so it is not blamed.
bool holds(const QString &part, const ConfFormat *format)
{
    const std::unique_ptr<LogicExpr> expr(LogicExpr::create(part, true));
    return !expr || expr->evaluate(format);
}

void collectFalse(const QString &text, const ConfFormat *format, int depth, QStringList *out)
{
    const QString inner = unwrapped(text);
    if (depth < LogicExpr::MaxNesting) {
        const QStringList alternatives = splitTopLevel(inner, QStringLiteral("or"), QLatin1Char('|'));
        if (alternatives.size() > 1) {
            for (const QString &part : alternatives)
                collectFalse(part, format, depth + 1, out);
            return;
        }
        const QStringList conjuncts = splitTopLevel(inner, QStringLiteral("and"), QLatin1Char('&'));
        if (conjuncts.size() > 1) {
            for (const QString &part : conjuncts) {
                if (!holds(part, format))
                    collectFalse(part, format, depth + 1, out);
            }
            return;
        }
        if (inner != text) {
            collectFalse(inner, format, depth + 1, out);
            return;
        }
    }
    out->append(text);
}

} // namespace

QString conditionValues(const LogicExpr &condition, const ConfFormat *format)
{
    QStringList shown;
    for (const QString &name : condition.variables()) {
        const qint32 value = format ? format->intValue(name) : 0;
        QString entry = name + QStringLiteral(" = ") + QString::number(value);
        const ConfVar *var = format ? format->varByName(name) : nullptr;
        if (!var)
            entry += QLatin1Char(' ') + QCoreApplication::translate("ConfRow", "(no such variable)");
        else if (var->kind == KindInt && value >= 0 && value < var->items.size())
            entry += QStringLiteral(" (") + var->items.at(value) + QLatin1Char(')');
        shown << entry;
    }
    return shown.join(QStringLiteral(", "));
}

QStringList falseParts(const QString &condition, const ConfFormat *format)
{
    QStringList parts;
    if (!holds(condition, format))
        collectFalse(condition.trimmed(), format, 0, &parts);
    return parts;
}

QStringList whyLines(const ConfRow &row, const ConfFormat *format)
{
    QStringList lines;
    const auto explain = [&](const LogicExpr *condition, const char *heading) {
        if (!condition || condition->evaluate(format))
            return;
        QString line = QCoreApplication::translate("ConfRow", heading).arg(condition->source());
        const QString values = conditionValues(*condition, format);
        if (!values.isEmpty())
            line += QLatin1Char(' ') + QCoreApplication::translate("ConfRow", "Now: %1.").arg(values);
        const QStringList parts = falseParts(condition->source(), format);
        if (!parts.isEmpty() && !(parts.size() == 1 && parts.first() == condition->source().trimmed()))
            line += QLatin1Char(' ') + QCoreApplication::translate("ConfRow", "False: %1.").arg(parts.join(QStringLiteral("; ")));
        lines << line;
    };
    explain(row.enabledCondition(), QT_TRANSLATE_NOOP("ConfRow", "Enabled when: %1."));
    explain(row.visibleCondition(), QT_TRANSLATE_NOOP("ConfRow", "Shown when: %1."));
    return lines;
}
