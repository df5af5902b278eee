#pragma once
// The worker of one device command: given one operation, it runs it on a thread of its own
// over the chosen link, signals its progress and its result, and keeps the device's
// identifiers and, for a download, the configuration image for the caller to read once it has
// ended. Each worker has links of its own, so several may run at once.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>

class HidBackend;

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
    // link: "AUTO", "HID", "HID:<path>" for the HID interface the system lists with that path,
    // or a serial port name or path. hidBackend: the HID device calls to
    // use, not owned; null for the real device through hidapi.
    explicit Device(const QString &link = QStringLiteral("AUTO"), HidBackend *hidBackend = nullptr,
                    QObject *parent = nullptr);
    // Asks a running operation to stop and waits for it, however long that takes.
    ~Device() override;

    void startIdentify();
    void startDownload();
    void startUpload(const QString &expectedSoftwareId);
    void startFirmwareUpdate(const QString &fileName);

    // Any thread: asks the running operation to stop; it ends with Canceled when it has.
    void requestCancel() { m_cancelRequested.store(true, std::memory_order_relaxed); }
    bool isCancelRequested() const { return m_cancelRequested.load(std::memory_order_relaxed); }

    // 'I' identify, 'R' download, 'W' upload, 'P' firmware update; also the serial command bytes.
    char operation() const { return m_operation; }
    QString link() const { return m_link; }
    // The last value signalled; an upload's last, partial block may take it past 100.
    int progress() const { return m_progress.load(std::memory_order_relaxed); }

    // Any thread: whether the operation has ended and signalled its result.
    bool hasResult() const { return m_hasResult.load(std::memory_order_acquire); }
    // Runs an event loop on the calling thread until the operation has signalled its result
    // (not at all when it has already, or was never started), then waits for the thread to
    // end; returns the result code. Whatever the caller connected to the worker's signals and
    // to its own objects (a progress dialog, Ctrl+C) is served by that loop.
    int waitForResult();

    // Read once the worker has ended.
    int result() const { return m_result; }
    QString hardwareId() const { return m_hardwareId; }
    QString softwareId() const { return m_softwareId; }
    QString expectedSoftwareId() const { return m_expectedSoftwareId; }
    QString firmwareFile() const { return m_firmwareFile; }
    // Download: what arrived; upload: what is sent (set before startUpload).
    const QByteArray &image() const { return m_image; }
    void setImage(const QByteArray &image) { m_image = image; }

    // For the link code on the worker thread.
    void setProgress(int value);
    void setIdentifiers(const QString &hardwareId, const QString &softwareId);

signals:
    // Emitted from the worker thread; connect across threads as usual (queued).
    void progressChanged(int value);
    // The operation's result code, emitted last, just before the thread ends.
    void resultReady(int code);

protected:
    void run() override;

private:
    void startOperation(char op);
    int runOperation();

    const QString m_link;
    HidBackend *const m_hidBackend;
    char m_operation = 0;
    // Shared with other threads while the worker runs; nothing else is.
    std::atomic<int> m_progress{0};
    std::atomic<bool> m_cancelRequested{false};
    std::atomic<bool> m_hasResult{false};
    int m_result = Ok;
    QByteArray m_image;
    QString m_hardwareId;
    QString m_softwareId;
    QString m_expectedSoftwareId;
    QString m_firmwareFile;
};

// The link of every device present, for a command that reaches all of them: each serial port
// whose port list entry names the device's adapter ("VANT USB"), as its port name, then each
// HID interface that is the device's, as "HID:<path>"; in that order. hidBackend as for Device.
QStringList deviceLinks(HidBackend *hidBackend = nullptr);

// The message the user sees for a non-zero result code (context "MainWindow").
QString deviceResultMessage(int code);

// Reads and checks a firmware file: a 32-byte header naming the hardware, the payload, and a
// CRC-16 that makes the CRC over the whole file 0. Returns Ok with the payload, FileError for a
// missing, unreadable, short or damaged file, Incompatible when the header names other hardware.
int firmwareCheck(const QString &fileName, const QString &hardwareId, QByteArray *payload);
