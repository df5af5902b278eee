#include "format/diag.h"

#include <QMutex>
#include <cstdarg>
#include <cstdio>

namespace {
QMutex sinkMutex;
DiagSink currentSink;

void emitText(DiagStream stream, const char *fmt, va_list ap)
{
    va_list copy;
    va_copy(copy, ap);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n < 0)
        return;
    QByteArray text(n, '\0');
    std::vsnprintf(text.data(), size_t(n) + 1, fmt, ap);

    QMutexLocker lock(&sinkMutex);
    if (currentSink) {
        currentSink(stream, text);
        return;
    }
    FILE *f = stream == DiagStream::Out ? stdout : stderr;
    std::fwrite(text.constData(), 1, size_t(text.size()), f);
    std::fflush(f);
}
} // namespace

void diagOut(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    emitText(DiagStream::Out, fmt, ap);
    va_end(ap);
}

void diagErr(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    emitText(DiagStream::Err, fmt, ap);
    va_end(ap);
}

DiagSink setDiagSink(DiagSink sink)
{
    QMutexLocker lock(&sinkMutex);
    DiagSink previous = std::move(currentSink);
    currentSink = std::move(sink);
    return previous;
}
