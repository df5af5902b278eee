#pragma once
#include <QByteArray>
#include <QString>

// A format id becomes part of a local path ("confxml/" + id + ".xml") and of a
// request path, and it reaches us from devices and value files we do not control.
// An id is usable only when it cannot leave the description folder or smuggle
// line breaks into diagnostics: it is not empty and holds no '/', no '\\', no ".."
// and no control character.
bool isSafeFormatId(const QString &id);

// Where the description of a format id lives, relative to the working directory; the
// window, the command-line tool and the download all look there.
QString descriptionPath(const QString &id);

// The text as UTF-8 with control characters written as \xNN, so that a refused id (or
// any text from outside) stays on one diagnostic line.
QByteArray printableForDiagnostics(const QString &text);
