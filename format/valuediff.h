#pragma once
// Comparing two sets of values of one format, as `diff`, the upload review and the list of
// backups show it: one entry per variable whose values differ, with the text of each side.
#include "format/valueset.h"

#include <QList>
#include <QString>

struct ValueDifference {
    QString name;
    QString first;
    QString second;
};

// Two values are the same when their value-file texts are equal, floats when their
// single-precision values are (0 and -0 are one value, and so are two NaNs). The texts are
// those the property tree shows, unless those are equal although the values are not (a
// float shown with fewer digits, a file of the same length): then the value-file texts.
// In name order; structures and names missing from either set are left out.
QList<ValueDifference> valueDifferences(const ConfFormat &format, const ValueSet &first, const ValueSet &second);
