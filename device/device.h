#pragma once
// The worker of one device command: given one operation, it runs it on a thread of its own
// over the chosen link and leaves the result code, the device's identifiers and, for a
// download, the configuration image behind.
#include <QByteArray>
#include <QString>
#include <QThread>

#include <atomic>

// The largest configuration image a device holds: 128 serial blocks, 256 HID blocks.
constexpr int ImageCapacity = 16384;

enum DeviceResult {
    Ok = 0,
    PortError,
    NotFound,
    FileError,
    ProtocolError,
    Canceled,
    Incompatible,
};

class Device : public QThread
{
    Q_OBJECT
public:
    // link: "AUTO", "HID", or a serial port name or path.
    explicit Device(const QString &link, QObject *parent = nullptr);
    explicit Device(QObject *parent = nullptr); // link "AUTO"
    // Asks a running operation to stop and waits for it, however long that takes.
    ~Device() override;

    void startIdentify();
    void startDownload();
    void startUpload(const QString &expectedSoftwareId);
    void startFirmwareUpdate(const QString &fileName);

    // 'I' identify, 'R' download, 'W' upload, 'P' firmware update; also the serial command bytes.
    char operation = 0;
    // Shared with the GUI thread while the worker runs; nothing else is.
    std::atomic<qint32> progress{0};
    std::atomic<bool> cancelRequested{false};
    qint32 result = Ok;
    uchar image[ImageCapacity] = {};
    qint32 imageLength = 0;
    QString hardwareId;
    QString softwareId;
    QString expectedSoftwareId;
    QString firmwareFile;
    const QString link;

    bool canceled() const { return cancelRequested.load(std::memory_order_relaxed); }
    void setProgress(qint32 value) { progress.store(value, std::memory_order_relaxed); }

protected:
    void run() override;

private:
    void startOperation(char op);
};

// The message the user sees for a non-zero result code (context "MainWindow").
QString deviceResultMessage(int code);

// Reads and checks a firmware file: a 32-byte header naming the hardware, the payload, and a
// CRC-16 that makes the CRC over the whole file 0. Returns Ok with the payload, FileError for a
// missing, unreadable, short or damaged file, Incompatible when the header names other hardware.
int firmwareCheck(const QString &fileName, const QString &hardwareId, QByteArray *payload);
