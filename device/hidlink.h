#pragma once
// The USB-HID link: finding the device among the present HID interfaces through a backend,
// holding it, and the information request, image and firmware blocks exchanged as feature
// reports; then the download, upload and firmware update built on them. One link belongs to
// one worker and is used on that worker's thread only.
#include "device/protocol.h"

#include <QByteArray>
#include <QList>

class Device;
class HidBackend;
struct UsbHidInterface;

// The device's answer to the information request, identifiers cleaned.
struct DeviceInfo {
    char softwareId[HidIdFieldSize];
    char hardwareId[HidIdFieldSize];
    qint32 imageCapacity;
    qint32 firmwareCapacity;
};

class HidLink
{
public:
    explicit HidLink(HidBackend &backend);
    ~HidLink(); // releases the device
    HidLink(const HidLink &) = delete;
    HidLink &operator=(const HidLink &) = delete;

    // Finds the first present interface that matches and keeps it open; false (after "Can't
    // open USB device") when there is none.
    bool find();
    // The same for the one interface listed with that path: false when it is not present or
    // is not the device's.
    bool findPath(const QByteArray &path);
    // The paths of every present interface that matches, in the system's order; none is left
    // open.
    QList<QByteArray> matchingPaths();
    // Closes the device if one is held.
    void release();
    bool isOpen() const { return m_handle != nullptr; }

    // Sends `buffer` as a feature report; false after "\nusbhidSetReport failed".
    bool setReport(const uchar *buffer, int size);
    // Reads a feature report with ID 0 into `buffer`; false after "\nusbhidGetReport failed".
    bool getReport(uchar *buffer, int size);

    bool readInfo();
    bool readBlock(int address, uchar *destination);
    bool writeBlock(int kind, int address, const uchar *source);

    // What the last successful information request returned.
    const DeviceInfo &info() const { return m_info; }

private:
    // Opens a listed interface when it is the device's; null otherwise.
    void *openMatching(const UsbHidInterface &candidate);
    bool findFirst(const QByteArray *path);
    void setHeader(uchar command, int address);
    bool request(uchar command, int address);
    bool manufacturerMatches(void *handle);

    HidBackend &m_backend;
    void *m_handle = nullptr;
    uchar m_report[UsbHidReportSize] = {};
    DeviceInfo m_info = {};
};

// The manufacturer string in 8 bits: each unit up to 0xFF is that byte, any other is '?'.
QByteArray usbhidManufacturer8Bit(const char16_t *units);

// Ends an identifier at byte 15 and at the first byte that is not printable, non-blank ASCII.
void hidCleanId(char *field);

int hidDownload(HidLink &link, Device &device);
int hidUpload(HidLink &link, Device &device);
int hidFirmware(HidLink &link, Device &device);

// Runs the operation of `device` over the device that link.find() opened, releases the
// device, and returns the result code.
int runHidConnection(HidLink &link, Device &device);
