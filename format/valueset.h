#pragma once
// The values of a format apart from the format: what a user compares the current values
// against (the baseline of the last open, download, save or upload) and the two sides of an
// undo step. Only values are kept, never a variable's place or kind.
#include "format/confformat.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <map>

struct VarValue {
    qint32 value = 0;
    float floatValue = 0.0f;
    QString text;
    QByteArray fileData;
    qint32 fileLength = 0;

    static VarValue of(const ConfVar &var);
    void applyTo(ConfVar &var) const;
    // Equal as the device would store them: a float by its bits, a file by its used bytes,
    // only the fields of the variable's kind.
    bool sameAs(const VarValue &other, VarKind kind) const;
};

// By full variable name; structures have no value and are left out.
using ValueSet = std::map<QString, VarValue>;

ValueSet valuesOf(const ConfFormat &format);
// The named values only, those the format has.
ValueSet valuesOf(const ConfFormat &format, const QStringList &names);
// Puts the values back; names the format lacks are skipped.
void applyValues(ConfFormat &format, const ValueSet &values);
// The names, in name order, whose current value differs from `baseline`.
QStringList changedNames(const ConfFormat &format, const ValueSet &baseline);
bool isChanged(const ConfVar &var, const ValueSet &baseline);
