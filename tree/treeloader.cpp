#include "tree/treeloader.h"

#include "expr/logicexpr.h"
#include "format/confformat.h"
#include "format/diag.h"

#include <QCoreApplication>
#include "format/xmlsource.h"

#include <QXmlStreamReader>
#include <functional>

namespace {

// The compiled text of the attribute; null for none, an empty one or one that does not compile.
std::unique_ptr<LogicExpr> condition(const XmlElement &element, const char *attribute)
{
    return std::unique_ptr<LogicExpr>(LogicExpr::create(element.attribute(QLatin1String(attribute))));
}

bool isExpanded(const XmlElement &element)
{
    const QString expand = element.attribute(QLatin1String("expand"));
    return expand == QLatin1String("true") || expand == QLatin1String("yes");
}

// A Desc or Var element becomes one paragraph of description text: the element renamed to p,
// without attributes, as the DOM library writes it in its place in the document.
const MarkupForm ParagraphForm{QStringLiteral("p"), false, QLatin1String()};
// A macro's text is its Def element without the template attribute, written in its place.
const MarkupForm MacroForm{QString(), true, QLatin1String("template")};

// A macro use stands for its expansion, a document of its own, read from its text.
struct Expansion {
    QString name;
    QString text;
    std::unique_ptr<QXmlStreamReader> reader;
    std::unique_ptr<StreamXmlSource> source;
    XmlElement root;
};

class GroupBuilder
{
public:
    GroupBuilder(QMap<QString, QString> &macros, QSet<QString> &usedMacros, ConfFormat *format)
        : macros(macros), usedMacros(usedMacros), format(format)
    {
    }

    std::unique_ptr<ConfRow> group(XmlElement &element, int depth, int macroDepth);

private:
    std::unique_ptr<ConfRow> variable(XmlElement &element);
    bool child(ConfRow &row, XmlElement &element, int depth, int macroDepth);
    bool readExpansion(Expansion &expanded, const std::function<bool()> &use);
    bool define(XmlElement &def);
    bool expand(const XmlElement &use, int macroDepth, Expansion &expanded);
    bool substitute(const QString &name, const QString &body, const XmlElement &use, QString &out);

    QMap<QString, QString> &macros;
    QSet<QString> &usedMacros;
    ConfFormat *format;
    qint64 expandedChars = 0;
};

std::unique_ptr<ConfRow> GroupBuilder::group(XmlElement &element, int depth, int macroDepth)
{
    if (depth > TreeLoader::MaxGroupNesting) {
        diagOut("Group nesting too deep\n");
        return nullptr;
    }

    auto row = ConfRow::group(element.hasAttribute(QLatin1String("name"))
                                  ? element.attribute(QLatin1String("name"))
                                  : QCoreApplication::translate("ConfTree", "Unnamed"));
    row->setDesc(QStringLiteral(""));
    row->setSource(DiagContext::current().line, DiagContext::current().column);
    row->setStartExpanded(isExpanded(element));
    row->setConditions(condition(element, "enabled"), condition(element, "visible"));

    const bool built = element.source->forEachChild(element, [&](XmlElement &used) {
        // What goes wrong in a macro's expansion is reported at the element that used it.
        // The children of a macro-made group live in the expansion's own document, whose
        // lines are those of the macro text, so they stay at the element that used it.
        const DiagContext where(macroDepth > 0 ? 0 : used.line, used.column);
        if (used.tag == QLatin1String("Def"))
            return define(used);

        if (!used.hasAttribute(QLatin1String("template")))
            return child(*row, used, depth, macroDepth);
        Expansion expanded;
        if (!expand(used, macroDepth, expanded))
            return false;
        expanded.root.tag = used.tag;
        return readExpansion(expanded, [&] { return child(*row, expanded.root, depth, macroDepth + 1); });
    });
    return built ? std::move(row) : nullptr;
}

// A Desc, Group or Var element (or a macro's expansion standing for one) into the group's row.
bool GroupBuilder::child(ConfRow &row, XmlElement &element, int depth, int macroDepth)
{
    const QString &name = element.tag;
    if (name == QLatin1String("Desc")) {
        QString paragraph;
        if (!element.source->writeMarkup(element, ParagraphForm, TreeLoader::MaxMarkupNesting, &paragraph))
            return false;
        row.appendDesc(paragraph);
    } else if (name == QLatin1String("Group")) {
        std::unique_ptr<ConfRow> sub = group(element, depth + 1, macroDepth);
        if (!sub)
            return false;
        row.addChild(std::move(sub));
    } else if (name == QLatin1String("Var")) {
        std::unique_ptr<ConfRow> var = variable(element);
        if (!var)
            return false;
        row.addChild(std::move(var));
    }
    return true;
}

// An expansion is read once, and used as it is read. Whether its text parses is known only at
// its end, so until then what its use reports is held, and the macros it defines are taken
// back when it turns out not to parse: then only the parse error is said, as if the text had
// been parsed before any of it was used.
bool GroupBuilder::readExpansion(Expansion &expanded, const std::function<bool()> &use)
{
    const QMap<QString, QString> macrosBefore = macros;
    const QSet<QString> usedBefore = usedMacros;
    DiagHold hold;
    const bool used = !expanded.source->failed() && use();
    expanded.source->readToEnd();
    if (!expanded.source->failed()) {
        hold.release();
        return used;
    }
    hold.drop();
    macros = macrosBefore;
    usedMacros = usedBefore;
    diagErr("Parse error for macro %s: %s. At line %d, column %d.\n", expanded.name.toLocal8Bit().constData(),
            expanded.source->errorString().toLocal8Bit().constData(), expanded.source->errorLine(),
            expanded.source->errorColumn());
    return false;
}

std::unique_ptr<ConfRow> GroupBuilder::variable(XmlElement &element)
{
    if (!element.hasAttribute(QLatin1String("var"))) {
        diagOut("No 'var' attribute\n");
        return nullptr;
    }
    const ConfVar *var = format->varByName(element.attribute(QLatin1String("var")));
    if (!var) {
        diagOut("Variable '%s' not found\n", element.attribute(QLatin1String("var")).toLocal8Bit().constData());
        return nullptr;
    }
    // The format's own copy of the name, so that the row shares it rather than holding another.
    const QString &varName = var->name;
    const int id = var->offset;
    const QString label = element.hasAttribute(QLatin1String("name")) ? element.attribute(QLatin1String("name"))
                                                                      : varName;
    QString paragraph;
    // Most rows say a line or two; one allocation holds them.
    paragraph.reserve(96);
    if (!element.source->writeMarkup(element, ParagraphForm, TreeLoader::MaxMarkupNesting, &paragraph))
        return nullptr;

    auto row = ConfRow::variable(label, id);
    row->setVarName(varName);
    row->setSource(DiagContext::current().line, DiagContext::current().column);
    row->setConditions(condition(element, "enabled"), condition(element, "visible"));
    row->setDesc(paragraph);
    return row;
}

bool GroupBuilder::define(XmlElement &def)
{
    QString text;
    if (!def.source->writeMarkup(def, MacroForm, TreeLoader::MaxMarkupNesting, &text))
        return false;
    macros.insert(def.attribute(QLatin1String("template")), text);
    return true;
}

bool GroupBuilder::expand(const XmlElement &use, int macroDepth, Expansion &expanded)
{
    const QString name = use.attribute(QLatin1String("template"));
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

    if (!substitute(name, it.value(), use, expanded.text))
        return false;

    expanded.name = name;
    expanded.reader = std::make_unique<QXmlStreamReader>(expanded.text);
    expanded.reader->setNamespaceProcessing(false);
    expanded.source = std::make_unique<StreamXmlSource>(*expanded.reader, nullptr);
    // A text that fails before its element is read no further; readExpansion reports it.
    expanded.source->readRoot(&expanded.root);
    return true;
}

// Replaces each %param% of the body by the value of the using element's attribute of that
// name (other than template), in one left-to-right pass: a value is inserted as it is and never searched again,
// so the result does not depend on the order of the attributes. References without a
// matching attribute stay as written.
bool GroupBuilder::substitute(const QString &name, const QString &body, const XmlElement &use, QString &out)
{
    QMap<QString, QString> params;
    for (const auto &attribute : use.attributes) {
        if (attribute.first != QLatin1String("template"))
            params.insert(attribute.first, attribute.second);
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

std::unique_ptr<ConfRow> TreeLoader::loadGroup(XmlElement &element, ConfFormat *format)
{
    GroupBuilder builder(macros, usedMacros, format);
    return builder.group(element, 0, 0);
}

std::unique_ptr<ConfRow> TreeLoader::loadGroup(const QDomElement &element, ConfFormat *format)
{
    DomXmlSource source;
    XmlElement top = source.element(element);
    return loadGroup(top, format);
}
