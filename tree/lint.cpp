#include "tree/lint.h"

#include "expr/logicexpr.h"
#include "format/confformat.h"
#include "format/formatid.h"
#include "format/xmldoc.h"
#include "tree/confrow.h"
#include "tree/descriptionfile.h"
#include "tree/treeloader.h"

#include <QDomDocument>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QSet>

#include <algorithm>
#include <limits>

namespace {

// How many names of one declaration a finding lists before it only counts the rest.
constexpr int MaxNamesListed = 3;

// The loaders' lines are what lint collects; none of them reaches the front end on the way.
class Silenced
{
public:
    Silenced()
        : previousSink(setDiagSink(DiagSink())), previousHandler(setDiagHandler([](const Diagnostic &) {}))
    {
    }
    ~Silenced()
    {
        setDiagHandler(previousHandler);
        if (previousSink)
            setDiagSink(previousSink);
    }
    Silenced(const Silenced &) = delete;
    Silenced &operator=(const Silenced &) = delete;

private:
    DiagSink previousSink;
    DiagHandler previousHandler;
};

// Elements are found again by the position the DOM gave them, which is what a diagnostic
// carries; no two start tags end at the same place.
qint64 positionKey(int line, int column)
{
    return (qint64(line) << 32) | quint32(column);
}

QString lineText(const Diagnostic &d)
{
    return d.text.trimmed();
}

QString quotedNames(QStringList names)
{
    const int more = int(names.size()) - MaxNamesListed;
    if (more > 0)
        names = names.mid(0, MaxNamesListed);
    QString text = QLatin1Char('\'') + names.join(QLatin1String("', '")) + QLatin1Char('\'');
    if (more > 0)
        text += QStringLiteral(" and %1 more").arg(more);
    return text;
}

class Linter
{
public:
    Linter(const QString &path, const QDomDocument &document);
    QList<LintFinding> run();

private:
    DiagLocation at(int line, int column) const { return DiagLocation{path, line, column}; }
    DiagLocation at(const QDomNode &node) const { return at(qMax(0, node.lineNumber()), qMax(0, node.columnNumber())); }
    void indexElements(const QDomElement &element);
    void add(const DiagLocation &where, DiagSeverity severity, const QString &code, const QString &message);
    void warn(const DiagLocation &where, const QString &code, const QString &message);

    bool repair(DescriptionError error, const QList<Diagnostic> &said);
    void standIn(QDomElement &element);

    // A variable whose declaration was at fault has been reported; what its stand-in lacks is not news.
    bool faulty(const ConfVar &var) const { return repairs.contains(positionKey(var.declLine, var.declColumn)); }
    void checkLoaded(const Description &description);
    void checkVariables(const ConfFormat &format);
    void checkRows(const ConfRow &row, const ConfFormat &format, QSet<QString> &shown);
    void checkCondition(const LogicExpr *condition, const char *which, const ConfRow &row, const ConfFormat &format);
    void checkShown(const ConfFormat &format, const QSet<QString> &shown);
    void checkMacros(const QDomElement &tree);

    QString path;
    QDomDocument doc;
    QHash<qint64, QDomElement> elements;
    QHash<qint64, int> repairs;
    QList<LintFinding> findings;
    QSet<QString> reported;
    QSet<QString> usedMacros;
    int faults = 0;
    // A group or a macro use taken out of the tree took its rows with it, so which variables
    // no row shows can no longer be told.
    bool rowsLost = false;
};

Linter::Linter(const QString &path, const QDomDocument &document)
    : path(path), doc(document)
{
    indexElements(doc.documentElement());
}

// The reader has already refused documents nested deeper than MaxXmlDepth.
void Linter::indexElements(const QDomElement &element)
{
    if (element.lineNumber() > 0)
        elements.insert(positionKey(element.lineNumber(), element.columnNumber()), element);
    for (QDomElement e = element.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        indexElements(e);
}

void Linter::add(const DiagLocation &where, DiagSeverity severity, const QString &code, const QString &message)
{
    // A macro used once makes several rows at the place of its use, which may say the same.
    const QString key = where.toString() + QLatin1Char(' ') + code + QLatin1Char(' ') + message;
    if (reported.contains(key))
        return;
    reported.insert(key);
    findings.append(LintFinding{where, severity, code, message});
}

void Linter::warn(const DiagLocation &where, const QString &code, const QString &message)
{
    add(where, DiagSeverity::Warning, code, message);
}

QList<LintFinding> Linter::run()
{
    const QDomElement root = doc.documentElement();
    // Descriptions are looked up as "confxml/" + id + ".xml", so the file name gives the id.
    QString expectedId = QFileInfo(path).completeBaseName();
    for (;;) {
        if (faults >= MaxLintFaults) {
            add(at(root), DiagSeverity::Error, LintCode::TooManyErrors,
                QStringLiteral("More than %1 errors; the rest of the file was not checked").arg(MaxLintFaults));
            break;
        }
        DiagCollector collector;
        TreeLoader loader;
        Description description;
        const DescriptionError error = readDescription(doc, expectedId, loader, &description);
        const QList<Diagnostic> said = collector.diagnostics();
        // A use taken out after a fault still counts for its macro.
        usedMacros.unite(loader.usedMacros);
        if (error == DescriptionError::None) {
            // What the loaders still report on a description they accept is a condition
            // that does not compile, which leaves its row without the condition.
            for (const Diagnostic &d : said)
                add(d.location, DiagSeverity::Error, LintCode::BadCondition, lineText(d));
            if (!expectedId.isNull() && !isSafeFormatId(description.id))
                add(at(root), DiagSeverity::Error, LintCode::DescriptionError,
                    QStringLiteral("Bad format id '%1'")
                        .arg(QString::fromUtf8(printableForDiagnostics(description.id))));
            checkLoaded(description);
            break;
        }
        if (said.isEmpty())
            break;
        if (error == DescriptionError::BadId) {
            add(said.last().location, DiagSeverity::Error, LintCode::DescriptionError, lineText(said.last()));
            ++faults;
            expectedId = QString(); // the rest is read as if the name were right
            continue;
        }
        if (error == DescriptionError::NoTree) {
            add(said.last().location, DiagSeverity::Error, LintCode::DescriptionError, lineText(said.last()));
            // The format loaded; without rows, only its variables can be checked.
            const std::unique_ptr<ConfFormat> format(
                ConfFormat::create(description.id, root.firstChildElement(QStringLiteral("Format"))));
            if (format)
                checkVariables(*format);
            break;
        }
        if (!repair(error, said))
            break;
    }
    std::stable_sort(findings.begin(), findings.end(), [](const LintFinding &a, const LintFinding &b) {
        return std::make_pair(a.location.line, a.location.column) < std::make_pair(b.location.line, b.location.column);
    });
    return findings;
}

// Reports the fault that stopped the loader and changes the document so that the next reading
// gets past it. False when nothing can be changed, which ends the checking.
bool Linter::repair(DescriptionError error, const QList<Diagnostic> &said)
{
    // The line of a rejected Format or Tree element names the cause just before the summary
    // ("Error loading format"), which adds nothing.
    const bool inner = error == DescriptionError::FormatRejected || error == DescriptionError::TreeRejected;
    const Diagnostic &cause = inner && said.size() >= 2 ? said.at(said.size() - 2) : said.last();
    const QString code = error == DescriptionError::FormatRejected ? LintCode::FormatError
                         : error == DescriptionError::TreeRejected ? LintCode::TreeError
                                                                   : LintCode::DescriptionError;
    const qint64 key = positionKey(cause.location.line, cause.location.column);
    int &tries = repairs[key];
    if (tries == 0) {
        add(cause.location, DiagSeverity::Error, code, lineText(cause));
        ++faults;
    }
    ++tries;
    QDomElement element = elements.value(key);
    QDomElement root = doc.documentElement();
    // Only what stands inside the Format or the Tree is changed for a fault found inside them.
    if (cause.location.line <= 0 || element.isNull() || element == root || tries > 2
        || (inner && element.parentNode() == root))
        return false;

    if (error == DescriptionError::FormatRejected && tries == 1) {
        standIn(element);
    } else if (error == DescriptionError::TreeBeforeFormat && tries == 1
               && !element.nextSiblingElement(QStringLiteral("Format")).isNull()) {
        // Read after the Format, the tree is checked against it.
        root.insertAfter(element, element.nextSiblingElement(QStringLiteral("Format")));
    } else {
        const bool inFormat = error == DescriptionError::FormatRejected || error == DescriptionError::DuplicateFormat;
        const bool plainRow =
            element.tagName() == QLatin1String("Var") && !element.hasAttribute(QStringLiteral("template"));
        if (!inFormat && !plainRow)
            rowsLost = true;
        element.parentNode().removeChild(element);
    }
    return true;
}

// A variable the reader refused becomes a plain byte of the same name, so that the rows and
// conditions naming it are still checked. When the name itself is at fault, the stand-in is
// refused as well and the element is taken out.
void Linter::standIn(QDomElement &element)
{
    element.setTagName(QStringLiteral("byte"));
    const QDomNamedNodeMap attributes = element.attributes();
    QStringList names;
    for (int i = 0; i < attributes.count(); ++i)
        names << attributes.item(i).nodeName();
    for (const QString &name : std::as_const(names)) {
        if (name != QLatin1String("name"))
            element.removeAttribute(name);
    }
    while (element.hasChildNodes())
        element.removeChild(element.firstChild());
}

void Linter::checkLoaded(const Description &description)
{
    const ConfFormat &format = *description.format;
    checkVariables(format);
    QSet<QString> shown;
    checkRows(*description.top, format, shown);
    if (!rowsLost)
        checkShown(format, shown);
    checkMacros(doc.documentElement().firstChildElement(QStringLiteral("Tree")));
}

// Settings of one declaration, reported once for it even when it makes an array.
void Linter::checkVariables(const ConfFormat &format)
{
    QSet<QPair<qint64, QString>> said;
    const auto warnOnce = [&](const ConfVar &var, const QString &code, const QString &message) {
        const QPair<qint64, QString> key(positionKey(var.declLine, var.declColumn), code);
        if (!said.contains(key)) {
            said.insert(key);
            warn(at(var.declLine, var.declColumn), code, message);
        }
    };
    for (const auto &[name, var] : format.vars()) {
        if (faulty(var))
            continue;
        const QString minAboveMax = QStringLiteral("min %1 of '%2' is greater than its max %3");
        if (var.kind == KindInt && var.items.isEmpty() && var.min > var.max)
            warnOnce(var, LintCode::MinAboveMax, minAboveMax.arg(var.min).arg(name).arg(var.max));
        if (var.kind == KindFloat && var.floatMin > var.floatMax)
            warnOnce(var, LintCode::MinAboveMax,
                     minAboveMax.arg(double(var.floatMin)).arg(name).arg(double(var.floatMax)));
        // The reader's default is the smallest positive single, not the most negative value.
        if (var.kind == KindFloat && var.floatMin == std::numeric_limits<float>::min())
            warnOnce(var, LintCode::FloatWithoutMin,
                     QStringLiteral("float '%1' has no min, so its editor cannot set 0 or a negative value").arg(name));
        if (var.kind == KindInt && !var.items.isEmpty()
            && std::all_of(var.items.cbegin(), var.items.cend(), [](const QString &item) { return item.isEmpty(); }))
            warnOnce(var, LintCode::EmptyItems, QStringLiteral("every item of '%1' is empty").arg(name));
    }
}

void Linter::checkRows(const ConfRow &row, const ConfFormat &format, QSet<QString> &shown)
{
    checkCondition(row.enabledCondition(), "enabled", row, format);
    checkCondition(row.visibleCondition(), "visible", row, format);
    if (!row.isGroup()) {
        shown.insert(row.varName());
        const ConfVar *var = format.varByName(row.varName());
        if (var && var->kind == KindStruct) {
            const QString member = format.nameOf(row.varId());
            warn(at(row.sourceLine(), row.sourceColumn()), LintCode::StructRow,
                 member.isEmpty() ? QStringLiteral("row names structure '%1', which holds no value").arg(row.varName())
                                  : QStringLiteral("row names structure '%1', so it shows and edits its member '%2'")
                                        .arg(row.varName(), member));
        }
    }
    for (int i = 0; i < row.childCount(); ++i)
        checkRows(*row.child(i), format, shown);
}

void Linter::checkCondition(const LogicExpr *condition, const char *which, const ConfRow &row,
                            const ConfFormat &format)
{
    if (!condition)
        return;
    const DiagLocation where = at(row.sourceLine(), row.sourceColumn());
    if (condition->variables().isEmpty()) {
        warn(where, LintCode::ConstantCondition,
             QStringLiteral("%1 condition '%2' names no variable, so it never changes")
                 .arg(QLatin1String(which), condition->source()));
        return;
    }
    for (const QString &name : condition->variables()) {
        if (!format.varByName(name))
            warn(where, LintCode::UnknownVariable,
                 QStringLiteral("%1 condition '%2' names '%3', which the format does not have (it reads as 0)")
                     .arg(QLatin1String(which), condition->source(), name));
    }
}

// Structures are not shown themselves, and a row naming one does not show its members, which
// count by their full names.
void Linter::checkShown(const ConfFormat &format, const QSet<QString> &shown)
{
    QMap<qint64, QList<const ConfVar *>> byDeclaration;
    for (const auto &[name, var] : format.vars()) {
        if (var.kind != KindStruct && !shown.contains(name) && !faulty(var))
            byDeclaration[positionKey(var.declLine, var.declColumn)].append(&var);
    }
    for (QList<const ConfVar *> &vars : byDeclaration) {
        // Array elements in index order rather than name order (which puts t[10] before t[2]).
        std::sort(vars.begin(), vars.end(), [](const ConfVar *a, const ConfVar *b) { return a->offset < b->offset; });
        QStringList names;
        for (const ConfVar *var : std::as_const(vars))
            names << var->name;
        const DiagLocation where = at(vars.first()->declLine, vars.first()->declColumn);
        warn(where, LintCode::UnusedVariable,
             names.size() == 1 ? QStringLiteral("variable %1 is not shown by any row").arg(quotedNames(names))
                               : QStringLiteral("variables %1 are not shown by any row").arg(quotedNames(names)));
    }
}

// Definitions stand in the tree and its groups, and inside other definitions.
void collectDefinitions(const QDomElement &parent, QList<QDomElement> &defs)
{
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        if (e.tagName() == QLatin1String("Def")) {
            defs.append(e);
            collectDefinitions(e, defs);
        } else if (e.tagName() == QLatin1String("Group") && !e.hasAttribute(QStringLiteral("template"))) {
            collectDefinitions(e, defs);
        }
    }
}

void Linter::checkMacros(const QDomElement &tree)
{
    QList<QDomElement> defs;
    collectDefinitions(tree, defs);
    for (const QDomElement &def : std::as_const(defs)) {
        const QString name = def.attribute(QStringLiteral("template"));
        if (!usedMacros.contains(name))
            warn(at(def), LintCode::UnusedMacro, QStringLiteral("macro '%1' is defined but never used").arg(name));
    }
}

} // namespace

QList<LintFinding> lintDescriptionFile(const QString &path)
{
    const Silenced silenced;
    const DiagContext file(path);
    QDomDocument document;
    {
        DiagCollector collector;
        bool ok = false;
        document = loadXmlDocument(path, &ok);
        if (!ok) {
            QList<LintFinding> findings;
            for (const Diagnostic &d : collector.diagnostics())
                findings.append(LintFinding{d.location, DiagSeverity::Error, LintCode::XmlError, lineText(d)});
            return findings;
        }
    }
    return Linter(path, document).run();
}
