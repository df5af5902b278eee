// libFuzzer target: arbitrary bytes as a description's Format element, and the same
// bytes as an image for every format that builds.
#include "fuzz/fuzz_common.h"

#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    quietDiagnostics();

    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QDomDocument doc;
    if (!doc.setContent(bytes))
        return 0;
    QDomElement format = doc.documentElement();
    if (format.tagName() != QLatin1String("Format"))
        format = format.firstChildElement(QStringLiteral("Format"));
    std::unique_ptr<ConfFormat> conf(ConfFormat::create(QStringLiteral("fuzz"), format));
    if (!conf)
        return 0;

    // The input itself as an image: any length, any header, any CRC.
    conf->unpack(data, int(size));
    for (const auto &entry : conf->vars())
        conf->varText(&entry.second);
    // Whatever the values are now, their image has the announced size and unpacks.
    const QByteArray image = conf->pack();
    FUZZ_CHECK(image.size() == conf->imageSize());
    FUZZ_CHECK(conf->unpack(reinterpret_cast<const uchar *>(image.constData()), int(image.size())));
    return 0;
}
