#pragma once
// The raw calls to a HID device, behind one interface: hidapi for the real device, the
// simulated device for demos and tests. A worker is handed the backend it talks through; none
// is chosen for the whole process, so two workers may use two different ones at once.
#include <QByteArray>
#include <QList>

// One present HID interface, as the system lists it.
struct UsbHidInterface {
    QByteArray path;
    quint16 vendorId = 0;
    quint16 productId = 0;
};

class HidBackend
{
public:
    virtual ~HidBackend() = default;

    virtual QList<UsbHidInterface> enumerate() = 0;
    // A handle is whatever open returns, null meaning the interface could not be opened.
    virtual void *open(const QByteArray &path) = 0;
    virtual void close(void *handle) = 0;
    // Fills `units` with the manufacturer string, zero-terminated within `capacity` units.
    virtual bool manufacturer(void *handle, char16_t *units, int capacity) = 0;
    // Byte 0 of the report is its ID. Both return the bytes transferred, -1 on failure.
    virtual int setFeature(void *handle, const uchar *report, int size) = 0;
    virtual int getFeature(void *handle, uchar *report, int size) = 0;
};

// The real device, through hidapi's hidraw backend. Holds nothing of its own: every handle it
// gives out is hidapi's.
class HidapiBackend : public HidBackend
{
public:
    QList<UsbHidInterface> enumerate() override;
    void *open(const QByteArray &path) override;
    void close(void *handle) override;
    bool manufacturer(void *handle, char16_t *units, int capacity) override;
    int setFeature(void *handle, const uchar *report, int size) override;
    int getFeature(void *handle, uchar *report, int size) override;
};
