#include "tree/treeloader.h"

#include "expr/logicexpr.h"
#include "format/confformat.h"
#include "format/diag.h"

#include <QCoreApplication>
#include <QDomDocument>
#include <QDomNamedNodeMap>
#include <QTextStream>

namespace {

// The text of a node as the DOM library writes it; descriptions and macro bodies keep
// exactly this form.
QString serialise(const QDomNode &node)
{
    QString text;
    QTextStream stream(&text);
    node.save(stream, 4);
    stream.flush();
    return text;
}

// Element nesting below an element, counted without recursion; stops once past the limit.
bool markupWithin(const QDomElement &element, int limit)
{
    int depth = 0;
    QDomNode node = element.firstChild();
    while (!node.isNull()) {
        if (node.isElement() && node.hasChildNodes()) {
            if (++depth > limit)
                return false;
            node = node.firstChild();
            continue;
        }
        while (node.nextSibling().isNull()) {
            node = node.parentNode();
            if (node == element)
                return true;
            --depth;
        }
        node = node.nextSibling();
    }
    return true;
}

// The DOM library writes nested markup recursively, with indentation growing at every
// level, so a paragraph or macro body nested without end would exhaust the stack.
bool serialisable(const QDomElement &element)
{
    if (markupWithin(element, TreeLoader::MaxMarkupNesting))
        return true;
    diagOut("Markup in '%s' nested too deeply\n", element.tagName().toLocal8Bit().constData());
    return false;
}

// A Desc or Var element becomes one paragraph of description text: the element renamed
// to p, without attributes, as the DOM library writes it in its place in the document
// (the indentation depends on the node before it). The element is put back as it was
// afterwards, so the caller's document is unchanged.
QString paragraph(QDomElement &element)
{
    const QString tag = element.tagName();
    const QDomNamedNodeMap attributes = element.attributes();
    QList<QPair<QString, QString>> saved;
    for (int i = 0; i < attributes.count(); ++i)
        saved.append({attributes.item(i).nodeName(), attributes.item(i).nodeValue()});

    element.setTagName(QStringLiteral("p"));
    for (const auto &attribute : std::as_const(saved))
        element.removeAttribute(attribute.first);
    const QString text = serialise(element);

    element.setTagName(tag);
    for (const auto &attribute : std::as_const(saved))
        element.setAttribute(attribute.first, attribute.second);
    return text;
}

// The compiled text of the attribute; null for none, an empty one or one that does not compile.
std::unique_ptr<LogicExpr> condition(const QDomElement &element, const char *attribute)
{
    return std::unique_ptr<LogicExpr>(LogicExpr::create(element.attribute(QLatin1String(attribute))));
}

bool isExpanded(const QDomElement &element)
{
    const QString expand = element.attribute(QStringLiteral("expand"));
    return expand == QLatin1String("true") || expand == QLatin1String("yes");
}

class GroupBuilder
{
public:
    GroupBuilder(QMap<QString, QString> &macros, QSet<QString> &usedMacros, ConfFormat *format)
        : macros(macros), usedMacros(usedMacros), format(format)
    {
    }

    std::unique_ptr<ConfRow> group(const QDomElement &element, int depth, int macroDepth);

private:
    std::unique_ptr<ConfRow> variable(QDomElement &element);
    bool define(QDomElement &def);
    bool expand(const QDomElement &use, int macroDepth, QDomDocument &expanded);
    bool substitute(const QString &name, const QString &body, const QDomElement &use, QString &out);

    QMap<QString, QString> &macros;
    QSet<QString> &usedMacros;
    ConfFormat *format;
    qint64 expandedChars = 0;
};

std::unique_ptr<ConfRow> GroupBuilder::group(const QDomElement &element, int depth, int macroDepth)
{
    if (depth > TreeLoader::MaxGroupNesting) {
        diagOut("Group nesting too deep\n");
        return nullptr;
    }

    auto row = ConfRow::group(element.hasAttribute(QStringLiteral("name"))
                                  ? element.attribute(QStringLiteral("name"))
                                  : QCoreApplication::translate("ConfTree", "Unnamed"));
    row->setDesc(QStringLiteral(""));
    row->setSource(DiagContext::current().line, DiagContext::current().column);
    row->setStartExpanded(isExpanded(element));
    row->setConditions(condition(element, "enabled"), condition(element, "visible"));

    for (QDomNode node = element.firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (!node.isElement())
            continue;
        QDomElement child = node.toElement();
        // What goes wrong in a macro's expansion is reported at the element that used it.
        // The children of a macro-made group live in the expansion's own document, whose
        // lines are those of the macro text, so they stay at the element that used it.
        const DiagContext where(macroDepth > 0 ? 0 : child.lineNumber(), child.columnNumber());
        if (child.tagName() == QLatin1String("Def")) {
            if (!define(child))
                return nullptr;
            continue;
        }

        // A macro use stands for its expansion, which lives in a document of its own;
        // that document has to outlive the handling of the element.
        QDomDocument expanded;
        int childMacroDepth = macroDepth;
        if (child.hasAttribute(QStringLiteral("template"))) {
            const QString usedAs = child.tagName();
            if (!expand(child, macroDepth, expanded))
                return nullptr;
            child = expanded.documentElement();
            child.setTagName(usedAs);
            ++childMacroDepth;
        }

        const QString name = child.tagName();
        if (name == QLatin1String("Desc")) {
            if (!serialisable(child))
                return nullptr;
            row->appendDesc(paragraph(child));
        } else if (name == QLatin1String("Group")) {
            std::unique_ptr<ConfRow> sub = group(child, depth + 1, childMacroDepth);
            if (!sub)
                return nullptr;
            row->addChild(std::move(sub));
        } else if (name == QLatin1String("Var")) {
            std::unique_ptr<ConfRow> var = variable(child);
            if (!var)
                return nullptr;
            row->addChild(std::move(var));
        }
    }
    return row;
}

std::unique_ptr<ConfRow> GroupBuilder::variable(QDomElement &element)
{
    if (!element.hasAttribute(QStringLiteral("var"))) {
        diagOut("No 'var' attribute\n");
        return nullptr;
    }
    const QString varName = element.attribute(QStringLiteral("var"));
    const int id = format->idOf(varName);
    if (id < 0) {
        diagOut("Variable '%s' not found\n", varName.toLocal8Bit().constData());
        return nullptr;
    }
    const QString label = element.hasAttribute(QStringLiteral("name"))
                              ? element.attribute(QStringLiteral("name"))
                              : varName;
    if (!serialisable(element))
        return nullptr;

    auto row = ConfRow::variable(label, id);
    row->setVarName(varName);
    row->setSource(DiagContext::current().line, DiagContext::current().column);
    // Taken before the paragraph, which strips the element's attributes while it is written.
    std::unique_ptr<LogicExpr> enabled = condition(element, "enabled");
    std::unique_ptr<LogicExpr> visible = condition(element, "visible");
    row->setDesc(paragraph(element));
    row->setConditions(std::move(enabled), std::move(visible));
    return row;
}

// The macro text is the Def element without its template attribute, written in its place
// in the document; the attribute is put back afterwards.
bool GroupBuilder::define(QDomElement &def)
{
    if (!serialisable(def))
        return false;
    const QString name = def.attribute(QStringLiteral("template"));
    const bool named = def.hasAttribute(QStringLiteral("template"));
    def.removeAttribute(QStringLiteral("template"));
    macros.insert(name, serialise(def));
    if (named)
        def.setAttribute(QStringLiteral("template"), name);
    return true;
}

bool GroupBuilder::expand(const QDomElement &use, int macroDepth, QDomDocument &expanded)
{
    const QString name = use.attribute(QStringLiteral("template"));
    const auto it = macros.constFind(name);
    if (it == macros.constEnd()) {
        diagOut("Macro '%s' not found !\n", name.toLocal8Bit().constData());
        return false;
    }
    usedMacros.insert(name);
    if (macroDepth >= TreeLoader::MaxMacroNesting) {
        diagOut("Macro '%s' nested too deeply\n", name.toLocal8Bit().constData());
        return false;
    }

    QString text;
    if (!substitute(name, it.value(), use, text))
        return false;

    QString message;
    int line = 0;
    int column = 0;
    if (!expanded.setContent(text, &message, &line, &column)) {
        diagErr("Parse error for macro %s: %s. At line %d, column %d.\n", name.toLocal8Bit().constData(),
                message.toLocal8Bit().constData(), line, column);
        return false;
    }
    return true;
}

// Replaces each %param% of the body by the value of the using element's attribute of that
// name (other than template), in one left-to-right pass: a value is inserted as it is and never searched again,
// so the result does not depend on the order of the attributes. References without a
// matching attribute stay as written.
bool GroupBuilder::substitute(const QString &name, const QString &body, const QDomElement &use, QString &out)
{
    const QDomNamedNodeMap attributes = use.attributes();
    QMap<QString, QString> params;
    for (int i = 0; i < attributes.count(); ++i) {
        const QDomNode attribute = attributes.item(i);
        if (attribute.nodeName() != QLatin1String("template"))
            params.insert(attribute.nodeName(), attribute.nodeValue());
    }

    const qint64 budget = TreeLoader::MaxExpandedChars - expandedChars;
    out.clear();
    qsizetype pos = 0;
    while (pos < body.size()) {
        const qsizetype open = body.indexOf(QLatin1Char('%'), pos);
        const qsizetype close = open < 0 ? -1 : body.indexOf(QLatin1Char('%'), open + 1);
        if (close < 0) {
            out += QStringView(body).mid(pos);
            break;
        }
        const auto param = params.constFind(body.mid(open + 1, close - open - 1));
        if (param != params.constEnd()) {
            out += QStringView(body).mid(pos, open - pos);
            out += param.value();
            pos = close + 1;
        } else {
            // The closing sign may open the next reference.
            out += QStringView(body).mid(pos, close - pos);
            pos = close;
        }
        if (out.size() > budget)
            break;
    }
    if (out.size() > budget) {
        diagOut("Macro '%s' expands beyond %d characters\n", name.toLocal8Bit().constData(),
                int(TreeLoader::MaxExpandedChars));
        out.clear();
        return false;
    }
    expandedChars += out.size();
    return true;
}

} // namespace

std::unique_ptr<ConfRow> TreeLoader::loadGroup(const QDomElement &element, ConfFormat *format)
{
    GroupBuilder builder(macros, usedMacros, format);
    return builder.group(element, 0, 0);
}
