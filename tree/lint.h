#pragma once
// Checking a description file the way the configurator reads it, without stopping at the
// first fault: every reason the window would refuse the file, and the mistakes that load
// but show up only as a row nobody can use. The loaders themselves decide what is a fault;
// lint repairs the document after each one (a stand-in for a bad variable, the element
// taken out) and reads it again, so the rest of the file is checked as well.
#include "format/diag.h"

#include <QList>
#include <QString>

struct LintFinding {
    DiagLocation location; // the element at fault, as the DOM placed it (the end of its start tag)
    DiagSeverity severity = DiagSeverity::Error; // Error or Warning
    QString code;    // stable kebab-case name of the kind of finding
    QString message; // for a fault, the loader's own line without its line break
};

// Error codes: the file does not read or parse, the root, Format and Tree elements as a whole,
// one element of the Format, one of the Tree, a condition that does not compile, and the stop
// after MaxLintFaults faults.
namespace LintCode {
inline const QString XmlError = QStringLiteral("xml-error");
inline const QString DescriptionError = QStringLiteral("description-error");
inline const QString FormatError = QStringLiteral("format-error");
inline const QString TreeError = QStringLiteral("tree-error");
inline const QString BadCondition = QStringLiteral("bad-condition");
inline const QString TooManyErrors = QStringLiteral("too-many-errors");
// Warnings.
inline const QString UnknownVariable = QStringLiteral("unknown-variable");     // a condition names a missing variable
inline const QString ConstantCondition = QStringLiteral("constant-condition"); // a condition names no variable at all
inline const QString UnusedVariable = QStringLiteral("unused-variable");       // no row shows the variable
inline const QString MinAboveMax = QStringLiteral("min-above-max");            // the editor's range is upside down
inline const QString FloatWithoutMin = QStringLiteral("float-without-min");    // 0 and negatives cannot be set
inline const QString EmptyItems = QStringLiteral("empty-items");               // every item text is empty
inline const QString UnusedMacro = QStringLiteral("unused-macro");             // a Def nobody uses
inline const QString StructRow = QStringLiteral("struct-row");                 // a row names a structure
} // namespace LintCode

// Every fault costs one more reading of the whole file; a file this broken is not worth more.
constexpr int MaxLintFaults = 100;

// The findings for the description file at path, in file order; its root id must match the
// file name, as for a description looked up by format id. Diagnostics the loaders report on
// the way are turned into findings, not passed on.
QList<LintFinding> lintDescriptionFile(const QString &path);
