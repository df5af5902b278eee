#pragma once
// The diagnostics channel. Every fixed English line the system reports (a refused description,
// a bad image, a link that failed) is one Diagnostic: its text, a severity, the stream the
// window prints it on, and where known the file, line and column it is about.
//
// The model only reports; the front end decides where diagnostics go. With no handler installed
// they are printed unchanged on the stream they name (the window's behaviour); vant-conf-cli
// sends them all to standard error so that standard output carries only its answer, and a
// collector lets a caller read what one operation reported.
#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class QDomNode;

enum class DiagStream { Out, Err };
enum class DiagSeverity { Info, Warning, Error };

struct DiagLocation {
    QString file;
    int line = 0;   // 1-based; 0 when unknown
    int column = 0; // 1-based; 0 when unknown

    bool isKnown() const { return !file.isEmpty() || line > 0; }
    // "file:line:column", leaving out what is unknown.
    QString toString() const;
};

struct Diagnostic {
    QString text; // the whole line as printed, its line break included
    DiagSeverity severity = DiagSeverity::Info;
    DiagStream stream = DiagStream::Out;
    DiagLocation location;
    // The line exactly as formatted, for printing byte for byte; empty for a diagnostic made
    // from text, which is then printed in the local 8-bit encoding.
    QByteArray bytes;

    QByteArray printable() const { return bytes.isEmpty() ? text.toLocal8Bit() : bytes; }
};

// printf-style; the formatted text is reported unchanged (callers include the line break).
// diagOut: an informational line on standard output; diagErr: an error on standard error;
// diagOutError: an error the window prints on standard output (most load failures);
// diagOutWarning: a warning printed on standard output.
void diagOut(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void diagErr(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void diagOutError(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void diagOutWarning(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// Reports a diagnostic made by the caller. A location left unknown is filled in from the
// innermost DiagContext of the calling thread.
void diagReport(Diagnostic diagnostic);

// While alive, diagnostics reported on this thread without a location of their own are about
// this file, or this element of it. Contexts nest: an element context inherits the file of the
// one outside it.
class DiagContext
{
public:
    explicit DiagContext(const QString &file);
    explicit DiagContext(const QDomNode &node); // its line and column, when the DOM kept them
    DiagContext(int line, int column);
    ~DiagContext();
    DiagContext(const DiagContext &) = delete;
    DiagContext &operator=(const DiagContext &) = delete;

    // The location the innermost context of this thread stands for.
    static DiagLocation current();

private:
    DiagLocation location;
    DiagContext *outer;
};

// Replaces where diagnostics go; an empty function restores printing on the named stream.
// Returns the previous handler.
using DiagHandler = std::function<void(const Diagnostic &)>;
DiagHandler setDiagHandler(DiagHandler handler);

// The handler vant-conf-cli installs: every line on standard error, unchanged.
void printDiagnosticsOnStandardError(const Diagnostic &diagnostic);

// The byte-level form of a handler: the stream and the text in the local 8-bit encoding.
// Installing a sink replaces the handler; an empty sink restores printing.
using DiagSink = std::function<void(DiagStream, const QByteArray &)>;
DiagSink setDiagSink(DiagSink sink);

// Holds back what this thread reports while it lives, instead of passing it on. A reader that
// builds as it parses only knows at the end of the file whether the file is well formed; until
// then its lines are held, and then either released in order or dropped for the parse error.
class DiagHold
{
public:
    DiagHold();
    ~DiagHold(); // drops what is still held
    DiagHold(const DiagHold &) = delete;
    DiagHold &operator=(const DiagHold &) = delete;

    // Ends the hold and reports what was held, in order, as it would have been reported.
    void release();
    // Ends the hold and hands over what was held, for the caller to report after lines of its own.
    QList<Diagnostic> take();
    // Ends the hold; what was held is never reported.
    void drop();

private:
    QList<Diagnostic> held;
    DiagHold *outer;
    bool active = true;
    friend void diagReport(Diagnostic diagnostic);
};

// Collects what is reported while it lives, from any thread, and still passes every
// diagnostic on to the handler that was installed before it.
class DiagCollector
{
public:
    DiagCollector();
    ~DiagCollector();
    DiagCollector(const DiagCollector &) = delete;
    DiagCollector &operator=(const DiagCollector &) = delete;

    QList<Diagnostic> diagnostics() const;

private:
    struct State;
    std::unique_ptr<State> state;
};
