// libFuzzer target: the first line of the input as a condition, compiled and evaluated over
// values taken from the rest of the input.
#include "expr/logicexpr.h"
#include "fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    quietDiagnostics();
    static const std::unique_ptr<ConfFormat> format = allKindsFormat();
    FUZZ_CHECK(format);
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype lineEnd = bytes.indexOf('\n');
    const QString text = QString::fromUtf8(lineEnd < 0 ? bytes : bytes.left(lineEnd));
    if (lineEnd >= 0) {
        // Whatever the rest is, as an image; when it does not unpack the values stay.
        const QByteArray rest = bytes.mid(lineEnd + 1);
        format->unpack(reinterpret_cast<const uchar *>(rest.constData()), int(rest.size()));
    }
    const std::unique_ptr<LogicExpr> expr(LogicExpr::create(text));
    if (!expr)
        return 0;
    const bool first = expr->evaluate(format.get());
    // A compiled condition is a pure function of the values.
    FUZZ_CHECK(expr->evaluate(format.get()) == first);
    for (const QString &name : expr->variables())
        format->varByName(name);
    return 0;
}
