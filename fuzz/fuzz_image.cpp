// libFuzzer target: arbitrary bytes as a configuration image of a format with every kind.
#include "fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    quietDiagnostics();
    static const std::unique_ptr<ConfFormat> format = allKindsFormat();
    FUZZ_CHECK(format);
    if (size > size_t(INT_MAX))
        return 0;
    if (!format->unpack(data, int(size)))
        return 0;
    for (const auto &entry : format->vars())
        format->varText(&entry.second);
    // An image that unpacks is packed back to an image that unpacks to the same bytes again.
    const QByteArray once = format->pack();
    FUZZ_CHECK(once.size() == format->imageSize());
    FUZZ_CHECK(format->unpack(reinterpret_cast<const uchar *>(once.constData()), int(once.size())));
    FUZZ_CHECK(format->pack() == once);
    return 0;
}
