#include "format/diag.h"

#include <QDomNode>
#include <QMutex>

#include <cstdarg>
#include <cstdio>
#include <memory>

namespace {

// One channel for the whole process, as for Qt's own message handler: the front end installs
// its handler once, and reports come from the GUI thread and from device workers alike.
QMutex channelMutex;
DiagHandler currentHandler;
DiagSink currentSink;

thread_local DiagContext *innermostContext = nullptr;
thread_local DiagHold *innermostHold = nullptr;

QByteArray format(const char *fmt, va_list ap)
{
    va_list copy;
    va_copy(copy, ap);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n < 0)
        return QByteArray();
    QByteArray text(n, '\0');
    std::vsnprintf(text.data(), size_t(n) + 1, fmt, ap);
    return text;
}

void print(const Diagnostic &d, FILE *f)
{
    const QByteArray bytes = d.printable();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), f);
    std::fflush(f);
}

void report(DiagSeverity severity, DiagStream stream, const char *fmt, va_list ap)
{
    Diagnostic d;
    d.bytes = format(fmt, ap);
    // Callers format names and texts in their local 8-bit form, so that is how they are read.
    d.text = QString::fromLocal8Bit(d.bytes);
    d.severity = severity;
    d.stream = stream;
    diagReport(std::move(d));
}

} // namespace

QString DiagLocation::toString() const
{
    QString text = file;
    if (line > 0) {
        if (!text.isEmpty())
            text += QLatin1Char(':');
        text += QString::number(line);
        if (column > 0)
            text += QLatin1Char(':') + QString::number(column);
    }
    return text;
}

void diagReport(Diagnostic d)
{
    if (!d.location.isKnown())
        d.location = DiagContext::current();
    if (innermostHold) {
        innermostHold->held.append(std::move(d));
        return;
    }
    QMutexLocker lock(&channelMutex);
    if (currentSink) {
        currentSink(d.stream, d.printable());
        return;
    }
    if (currentHandler) {
        currentHandler(d);
        return;
    }
    print(d, d.stream == DiagStream::Out ? stdout : stderr);
}

void diagOut(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    report(DiagSeverity::Info, DiagStream::Out, fmt, ap);
    va_end(ap);
}

void diagErr(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    report(DiagSeverity::Error, DiagStream::Err, fmt, ap);
    va_end(ap);
}

void diagOutError(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    report(DiagSeverity::Error, DiagStream::Out, fmt, ap);
    va_end(ap);
}

void diagOutWarning(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    report(DiagSeverity::Warning, DiagStream::Out, fmt, ap);
    va_end(ap);
}

DiagContext::DiagContext(const QString &file)
    : outer(innermostContext)
{
    location.file = file;
    innermostContext = this;
}

DiagContext::DiagContext(const QDomNode &node)
    : DiagContext(node.lineNumber(), node.columnNumber())
{
}

DiagContext::DiagContext(int line, int column)
    : outer(innermostContext)
{
    location.file = outer ? outer->location.file : QString();
    location.line = line > 0 ? line : 0;
    location.column = line > 0 && column > 0 ? column : 0;
    // An element the DOM has no position for says no more than the context around it.
    if (location.line == 0 && outer)
        location = outer->location;
    innermostContext = this;
}

DiagContext::~DiagContext()
{
    innermostContext = outer;
}

DiagLocation DiagContext::current()
{
    return innermostContext ? innermostContext->location : DiagLocation();
}

DiagHandler setDiagHandler(DiagHandler handler)
{
    QMutexLocker lock(&channelMutex);
    DiagHandler previous = std::move(currentHandler);
    currentHandler = std::move(handler);
    currentSink = nullptr;
    return previous;
}

void printDiagnosticsOnStandardError(const Diagnostic &d)
{
    print(d, stderr);
}

DiagSink setDiagSink(DiagSink sink)
{
    QMutexLocker lock(&channelMutex);
    DiagSink previous = std::move(currentSink);
    currentSink = std::move(sink);
    return previous;
}

DiagHold::DiagHold()
    : outer(innermostHold)
{
    innermostHold = this;
}

DiagHold::~DiagHold()
{
    drop();
}

void DiagHold::drop()
{
    if (!active)
        return;
    active = false;
    // Holds nest like scopes; one ended early is skipped over by the ones inside it.
    if (innermostHold == this)
        innermostHold = outer;
    held.clear();
}

QList<Diagnostic> DiagHold::take()
{
    QList<Diagnostic> lines = std::move(held);
    drop();
    return lines;
}

void DiagHold::release()
{
    for (const Diagnostic &d : take())
        diagReport(d);
}

struct DiagCollector::State {
    QMutex mutex;
    QList<Diagnostic> collected;
    DiagHandler previousHandler;
    DiagSink previousSink;
};

DiagCollector::DiagCollector()
    : state(std::make_unique<State>())
{
    State *s = state.get();
    QMutexLocker lock(&channelMutex);
    s->previousHandler = std::move(currentHandler);
    s->previousSink = std::move(currentSink);
    currentSink = nullptr;
    // Called with the channel locked, so what was installed before is called the same way.
    currentHandler = [s](const Diagnostic &d) {
        {
            QMutexLocker own(&s->mutex);
            s->collected.append(d);
        }
        if (s->previousSink)
            s->previousSink(d.stream, d.printable());
        else if (s->previousHandler)
            s->previousHandler(d);
        else
            print(d, d.stream == DiagStream::Out ? stdout : stderr);
    };
}

DiagCollector::~DiagCollector()
{
    {
        QMutexLocker lock(&channelMutex);
        currentHandler = std::move(state->previousHandler);
        currentSink = std::move(state->previousSink);
    }
}

QList<Diagnostic> DiagCollector::diagnostics() const
{
    QMutexLocker lock(&state->mutex);
    return state->collected;
}
