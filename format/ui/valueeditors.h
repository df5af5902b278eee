#pragma once
// The value editors of the property tree: one modal dialog per kind of variable, seeded with
// the current value and storing what the user accepts. The rules for typed text are the
// format's own (format/valueassign.h); these functions only ask, show the limits and the
// reasons of a refusal.
class ConfFormat;
struct ConfVar;
class QString;
class QWidget;

namespace editors {

// Edits the variable of that id, with the row's label as the prompt. True when a new value
// was stored; false when the user cancelled, the text did not read (after an error box) or
// no variable has that id (after a diagnostic line).
bool edit(QWidget *parent, ConfFormat &format, int id, const QString &label);
// The same for a variable of the format; a structure has no editor.
bool editVar(QWidget *parent, ConfFormat &format, ConfVar *var, const QString &label);

} // namespace editors
