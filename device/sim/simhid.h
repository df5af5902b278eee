#pragma once
// The simulated device on USB-HID: one or more HID interfaces as the system would list them,
// the device's answers to the four feature-report commands, driven by a SimDevice, and fault
// modes for the calls. It records every report it was sent and every open and close, so a
// test can check the exchange byte for byte.
#include "device/hidbackend.h"
#include "device/protocol.h"
#include "device/sim/simdevice.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

struct SimHidInterface {
    quint16 vendorId = UsbHidVendorId;
    quint16 productId = UsbHidProductId;
    QString manufacturer = QString::fromLatin1(UsbHidManufacturer); // the UTF-16 units it reports
    bool openable = true;
    bool manufacturerReadable = true;
};

enum class SimHidFaultKind {
    SetFails,     // the K-th set-feature call fails
    GetFails,     // the K-th get-feature call fails
    ShortReply,   // the K-th get-feature call returns fewer bytes than asked
    InfoRefused,  // every information request (command 0x7F) fails at set-feature
    UnplugAfter,  // after K calls of either kind every further call fails
};

struct SimHidFault {
    SimHidFaultKind kind;
    int call = 0; // counts from 1 within one open device
};

// One call the device received.
struct SimHidCall {
    enum Kind { Set, Get } kind;
    int interfaceIndex;
    QByteArray report; // set: the bytes sent; get: the bytes answered (empty when it failed)
    bool ok;
};

class SimHid : public HidBackend
{
public:
    static constexpr int ReportSize = UsbHidReportSize;
    static constexpr int DataSize = HidBlockSize;
    static constexpr char DownloadFill = char(0xFF); // beyond the stored image

    explicit SimHid(SimDevice &device);
    SimHid(const SimHid &) = delete;
    SimHid &operator=(const SimHid &) = delete;

    // What the system lists, in order; by default one matching interface.
    QList<SimHidInterface> interfaces;
    // Interface i is listed as "sim-hid-<firstPathNumber + i>". Several devices listed side by
    // side (SimHidGroup) count on from one another, so every path and every handle is one
    // device's alone.
    int firstPathNumber = 0;
    // When set, the 64 data bytes of the information answer, as given (shorter is filled up
    // with zeros); otherwise built from the device's identifiers and capacities.
    QByteArray infoData;
    QList<SimHidFault> faults;
    // Called before each set-feature or get-feature call is answered, with the call's number
    // (from 1); a test uses it to act at a given moment, e.g. to ask for a cancel.
    std::function<void(int call)> onCall;

    // The information answer the device gives now.
    QByteArray infoRecord() const;

    // Records.
    QList<SimHidCall> calls;
    QList<QByteArray> setReports() const; // the bytes of every set-feature call, failed or not
    QList<int> opened;   // interface indices, in order of opening
    QList<int> closedIndices;
    int openCount() const { return m_open; }
    // Image blocks written (command 0x80), by address, and the firmware payload received
    // (command 0x81), all as sent, fill bytes included.
    QByteArray receivedImage;
    QByteArray receivedFirmware;
    QString lastError; // a storing failure of the device model

    void clearRecords();

    // The device calls, as a worker's link makes them.
    QList<UsbHidInterface> enumerate() override;
    void *open(const QByteArray &path) override;
    void close(void *handle) override;
    bool manufacturer(void *handle, char16_t *units, int capacity) override;
    int setFeature(void *handle, const uchar *report, int size) override;
    int getFeature(void *handle, uchar *report, int size) override;

    // Whether `handle` is one this device gave out.
    bool holds(void *handle) const { return indexOf(handle) >= 0; }

private:
    void *handleOf(int index) const;
    int indexOf(void *handle) const;
    bool failsNow(SimHidFaultKind kind) const;
    int beginCall();
    bool answerSet(const QByteArray &report);
    bool hasFault(SimHidFaultKind kind) const;
    void storeWrite(QByteArray *target, int address, const QByteArray &data);

    SimDevice &m_device;
    int m_open = 0;
    int m_callNumber = 0;
    int m_setNumber = 0;
    int m_getNumber = 0;
    QByteArray m_pending; // the answer the next get-feature call returns
    bool m_firmwareReceived = false;
};
