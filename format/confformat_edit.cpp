#include "format/confformat.h"

// Value editors: placeholder until the editor dialogs land.
bool ConfFormat::edit(QWidget *, int, const QString &) { return false; }
bool ConfFormat::editVar(QWidget *, ConfVar *, const QString &) { return false; }
