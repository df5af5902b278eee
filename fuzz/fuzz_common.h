#pragma once
// Shared by the fuzz targets: quiet diagnostics, and a small format with every kind of
// variable to unpack images and evaluate conditions against.
#include "format/confformat.h"
#include "format/diag.h"

#include <QByteArray>
#include <QDomDocument>

#include <memory>

// Found faults are crashes and sanitizer reports; the system's own lines are noise here.
inline void quietDiagnostics()
{
    static const bool quiet = [] {
        setDiagHandler([](const Diagnostic &) {});
        return true;
    }();
    (void)quiet;
}

// Every kind, an array, a nested structure and a pad, in 58 bytes of data.
constexpr char AllKindsFormat[] =
    "<Format encoding='CP1251'>"
    "<bool name='on'/><byte name='mode' select='a|b|c'/><word name='w' min='-5' max='500'/>"
    "<dword name='d'/><hhmm name='t'/><ip name='addr'/><float name='f' format='3' min='-1e6' max='1e6'/>"
    "<string name='s' size='9'/><file name='logo' size='10'/><pad size='3'/>"
    "<struct name='ch[2]'><byte name='k'/><struct name='in'><word name='v'/></struct></struct>"
    "</Format>";

inline std::unique_ptr<ConfFormat> allKindsFormat()
{
    QDomDocument doc;
    doc.setContent(QByteArray(AllKindsFormat));
    return std::unique_ptr<ConfFormat>(ConfFormat::create(QStringLiteral("FUZZ"), doc.documentElement()));
}

// A fault the sanitizers cannot see: an invariant of the target that does not hold.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            __builtin_trap();                                                                      \
    } while (false)
