#pragma once
// Developer diagnostics: fixed English lines on standard output or standard error.
// They are never shown to the user. Tests may install a sink to read them.
#include <QByteArray>
#include <functional>

enum class DiagStream { Out, Err };

// printf-style; the formatted text is written unchanged (callers include the line break).
void diagOut(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void diagErr(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// Replaces where diagnostics go; an empty function restores stdout/stderr.
// Returns the previous sink.
using DiagSink = std::function<void(DiagStream, const QByteArray &)>;
DiagSink setDiagSink(DiagSink sink);
