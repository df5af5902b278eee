#pragma once
// Why a row is greyed or hidden, in words a user can act on: the condition as written, the
// value each variable it names has now (with its item text for a select), and the parts of
// the condition that are false. Shown in the description pane and the row's tooltip.
#include <QString>
#include <QStringList>

class ConfFormat;
class ConfRow;
class LogicExpr;

// "Mode = 1 (Heat), Locked = 0": every variable the condition names, in first-use order.
QString conditionValues(const LogicExpr &condition, const ConfFormat *format);

// The smallest parts of a false condition that make it false, as written: for "a and b" the
// false ones of a and b, for "a or b" those of both, looking inside parentheses. Empty when
// the condition holds.
QStringList falseParts(const QString &condition, const ConfFormat *format);

// One line per condition of the row that does not hold now, e.g. "Enabled when: Mode = 2 and
// not Locked. Now: Mode = 1 (Heat), Locked = 0. False: Mode = 2."; empty when the row is
// enabled and shown.
QStringList whyLines(const ConfRow &row, const ConfFormat *format);
