// libFuzzer target: arbitrary device answers on USB-HID, through the information request,
// the download and the upload. Each get-feature call is answered by the next piece of the
// input: as many bytes as the piece holds (a short answer), or a failed call for a piece of
// length 255; set-feature calls succeed.
#include "fuzz/fuzz_common.h"
#include "fuzz/fuzz_devicebytes.h"

#include "device/device.h"
#include "device/hidbackend.h"
#include "device/hidlink.h"
#include "device/protocol.h"

#include <cstring>

namespace {

class ScriptedHid : public HidBackend
{
public:
    explicit ScriptedHid(const QList<QByteArray> &answers) : m_answers(answers) {}

    QList<UsbHidInterface> enumerate() override
    {
        return {UsbHidInterface{QByteArrayLiteral("fuzz"), UsbHidVendorId, UsbHidProductId}};
    }
    void *open(const QByteArray &) override { return this; }
    void close(void *) override {}
    bool manufacturer(void *, char16_t *units, int capacity) override
    {
        const char16_t name[] = u"VANT";
        std::memcpy(units, name, sizeof name < size_t(capacity) * 2 ? sizeof name : size_t(capacity) * 2);
        return true;
    }
    int setFeature(void *, const uchar *, int size) override { return size; }
    int getFeature(void *, uchar *report, int size) override
    {
        if (m_answers.isEmpty())
            return -1; // the device is gone
        const QByteArray answer = m_answers.takeFirst();
        if (answer.size() == 255)
            return -1;
        const int n = int(qMin<qsizetype>(answer.size(), size));
        std::memcpy(report, answer.constData(), size_t(n));
        return n;
    }

private:
    QList<QByteArray> m_answers;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    quietDiagnostics();
    const DeviceScript script = deviceScript(data, size);

    ScriptedHid backend(script.pieces);
    HidLink link(backend);
    Device device(QStringLiteral("HID"), &backend);
    FUZZ_CHECK(link.find());
    if (!link.readInfo())
        return 0;
    device.setIdentifiers(QString::fromLatin1(link.info().hardwareId), QString::fromLatin1(link.info().softwareId));
    int result = Ok;
    if (script.operation == 1) {
        result = hidDownload(link, device);
        FUZZ_CHECK(device.image().size() % HidBlockSize == 0);
        FUZZ_CHECK(device.image().size() <= ImageCapacity);
    } else if (script.operation == 2) {
        device.setImage(QByteArray(300, '\x5A'));
        result = hidUpload(link, device);
    }
    FUZZ_CHECK(result >= Ok && result <= Incompatible);
    link.release();
    return 0;
}
