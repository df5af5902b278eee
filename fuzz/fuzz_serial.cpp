// libFuzzer target: arbitrary device bytes on the serial link, through the identification,
// download and upload exchanges. The device says each piece of the input in turn; when they
// run out it is gone, so every run ends without waiting on the clock.
#include "fuzz/fuzz_common.h"
#include "fuzz/fuzz_devicebytes.h"

#include "device/device.h"
#include "device/seriallink.h"
#include "device/serialprotocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    quietDiagnostics();
    const DeviceScript script = deviceScript(data, size);

    SerialLink link;
    link.openScripted(script.pieces);
    Device device(QStringLiteral("fuzz"));
    int result = ProtocolError;
    switch (script.operation) {
    case 0:
        result = serialIdentify(link, device);
        break;
    case 1:
        result = serialDownload(link, device);
        break;
    case 2:
        // Expected software id empty: a device that names none may be written to.
        device.setImage(QByteArray(300, '\x5A'));
        result = serialUpload(link, device);
        break;
    }
    FUZZ_CHECK(result >= Ok && result <= Incompatible);
    FUZZ_CHECK(device.hardwareId().size() <= IdentifyTextMax && device.softwareId().size() <= IdentifyTextMax);
    if (script.operation == 1 && result == Ok) {
        FUZZ_CHECK(device.image().size() % BlockDataSize == 0);
        FUZZ_CHECK(device.image().size() <= ImageCapacity);
    }
    // However the device answers, an upload of 300 bytes sends a bounded number of bytes.
    if (script.operation == 2)
        FUZZ_CHECK(link.scriptedWritten().size() < 64 * 1024);
    return 0;
}
