#pragma once
#include <QString>

// A format id becomes part of a local path ("confxml/" + id + ".xml") and of a
// request path, and it reaches us from devices and value files we do not control.
// An id is usable only when it cannot leave the description folder or smuggle
// line breaks into diagnostics: it is not empty and holds no '/', no '\\', no ".."
// and no control character.
bool isSafeFormatId(const QString &id);
