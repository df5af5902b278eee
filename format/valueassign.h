#pragma once
// Taking a typed value into a variable. The window's editors and `vant-conf-cli set` both go
// through these functions, so a text one of them accepts the other accepts too, and a refusal
// gives the same reason in both.
#include <QString>

class ConfFormat;
struct ConfVar;

// What becomes of a text longer than a string variable holds. A dialog refuses it, so nothing
// typed is lost unseen; the command line cuts it, as value files always have.
enum class LongText { Refuse, Cut };

// Sets the variable from text as its editor takes it: an item text for a select or bool, a
// whole number within min..max, "H:M", a dotted address, a decimal number ("." or ",") within
// the float range, a string the encoding can store, "@PATH" for a file's contents. False,
// with a one-line reason in *reason and the variable unchanged, when the text is refused;
// a structure refuses every text.
bool assignValueText(const ConfFormat &format, ConfVar &var, const QString &text, QString *reason,
                     LongText longText = LongText::Refuse);

// The text an editor starts from, which assignValueText reads back as the same value: the
// number without its unit, the item text, "09:05", the dotted address, the string itself.
// Empty for a file and a structure.
QString editableText(const ConfFormat &format, const ConfVar &var);

// Replaces a file variable's contents by the file at path, when it is a regular file that
// fits the slot. False, with the reason in *reason and the variable unchanged, otherwise.
bool assignFileContents(ConfVar &var, const QString &path, QString *reason);

// The range an integer or float is held to, with its unit: "10 to 5000 rpm", a float's bounds
// with its digits ("-10.00 to 10.00 V"). Empty for the other kinds and for selects.
QString rangeText(const ConfVar &var);

// "at most 15 characters" for a string, "at most 98 bytes" for a file; empty otherwise.
QString lengthLimitText(const ConfVar &var);
