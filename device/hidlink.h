#pragma once
// The HID form of each device operation: the information request, image and firmware blocks,
// and the download, upload and firmware update built on them. Worker thread only.
#include "device/usbhid.h"

class Device;

// Bytes 1-4 of a report: the 24-bit address, then the command byte.
constexpr int HidAddressOffset = 1;
constexpr int HidCommandOffset = 4;
constexpr int HidDataOffset = 5;
constexpr int HidBlockSize = 64;
// The highest address the report can carry, plus one.
constexpr int HidAddressLimit = 1 << 24;
constexpr int HidIdFieldSize = 16;

namespace HidCommand {
constexpr uchar Info = 0x7F;
constexpr uchar ReadImage = 0x00;
constexpr uchar Write = 0x80; // plus the kind
} // namespace HidCommand

enum HidBlockKind { HidImageBlock = 0, HidFirmwareBlock = 1 };

// The device's answer to the information request, identifiers cleaned.
struct DeviceInfo {
    char softwareId[HidIdFieldSize];
    char hardwareId[HidIdFieldSize];
    qint32 imageCapacity;
    qint32 firmwareCapacity;
};

// Process-wide, like the device handle: the one report buffer, and what the last successful
// information request returned.
extern uchar hidReport[UsbHidReportSize];
extern DeviceInfo hidInfo;

// Ends an identifier at byte 15 and at the first byte that is not printable, non-blank ASCII.
void hidCleanId(char *field);

bool hidReadInfo();
bool hidReadBlock(int address, uchar *destination);
bool hidWriteBlock(int kind, int address, const uchar *source);

int hidDownload(Device *device);
int hidUpload(Device *device);
int hidFirmware(Device *device);
