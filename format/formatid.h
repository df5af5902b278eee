#pragma once
#include <QByteArray>
#include <QString>

// A format id becomes part of a local path ("confxml/" + id + ".xml") and of a
// request path, and it reaches us from devices and value files we do not control.
// An id is usable only when it cannot leave the description folder or smuggle
// line breaks into diagnostics: it is not empty and holds no '/', no '\\', no ".."
// and no control character.
bool isSafeFormatId(const QString &id);

// Where the description of a format id lives: in "confxml/" of the working directory unless
// a lookup was set; the window, the command-line tool and the download all look there.
QString descriptionPath(const QString &id);

// A front end that must not change its working directory (the command-line tool, whose
// arguments are relative to it) names the description folder this way instead. The lookup runs
// once, when a description path is first needed, so commands that need none touch nothing.
void setDescriptionFolderLookup(QString (*lookup)());

// The text as UTF-8 with control characters written as \xNN, so that a refused id (or
// any text from outside) stays on one diagnostic line.
QByteArray printableForDiagnostics(const QString &text);
