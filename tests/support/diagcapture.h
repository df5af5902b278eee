#pragma once
// Collects the diagnostic lines printed while it lives, by the stream the window would print
// them on, and puts the previous sink back at the end.
#include "format/diag.h"

#include <QByteArray>

class DiagCapture
{
public:
    DiagCapture()
    {
        previous = setDiagSink([this](DiagStream s, const QByteArray &text) {
            (s == DiagStream::Out ? out : err) += text;
        });
    }
    ~DiagCapture() { setDiagSink(previous); }
    DiagCapture(const DiagCapture &) = delete;
    DiagCapture &operator=(const DiagCapture &) = delete;

    QByteArray out;
    QByteArray err;

private:
    DiagSink previous;
};
