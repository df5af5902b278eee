#pragma once
// Writing one configuration to several devices at once. Each device has a worker of its own,
// and all of them run side by side, each taking its device through the same steps: identify
// (the software id must be the configuration's), a download kept as a backup, and the upload.
// One device failing, or not answering at all, neither stops nor slows the others: each has
// its own time limit. The command line's provision command and the window both drive this.
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class HidBackend;

// One device to write, and what to write to it.
struct ProvisionTarget {
    QString link;     // as a Device takes it
    QByteArray image; // the configuration image it is to hold
};

// How one device has fared so far, and in the end.
struct ProvisionOutcome {
    QString link;
    int result = -1; // a DeviceResult code once the device has ended, -1 before
    QString hardwareId;
    QString softwareId;
    double seconds = 0;    // from its start to its end
    QString backupPath;    // empty while no backup is kept
    QString backupError;   // why no backup could be kept, when that ended it (FileError)
    bool timedOut = false; // its time limit ended it (ProtocolError)
};

class Provisioner : public QObject
{
    Q_OBJECT
public:
    // Where a device stands; each change is signalled once, in this order, Failed possibly
    // in place of any step after Started.
    enum Stage { Started, Identified, BackedUp, Uploading, Done, Failed };
    Q_ENUM(Stage)

    static constexpr int DefaultTimeoutMs = 120000;

    // hidBackend: the HID device calls every worker uses, not owned; null for the real device.
    explicit Provisioner(HidBackend *hidBackend = nullptr, QObject *parent = nullptr);
    // Cancels what still runs and waits for it.
    ~Provisioner() override;

    // Before start: whether each device's configuration is read and kept as a backup before
    // it is written (device/backups.h), and how long each device may take before it is
    // cancelled and counted as a ProtocolError.
    void setKeepBackups(bool keep) { m_keepBackups = keep; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

    // Starts every target at once; each is written only when its software id is
    // `softwareId`, otherwise it ends Incompatible untouched. Once only.
    void start(const QList<ProvisionTarget> &targets, const QString &softwareId);
    // Asks every device still running to stop; each ends Canceled, or with what it ended with.
    void cancel();

    // Runs an event loop on the calling thread until every device has ended.
    void waitForFinished();
    bool isFinished() const { return m_ended == int(m_units.size()); }

    // In the order of the targets.
    int count() const { return int(m_units.size()); }
    Stage stage(int index) const;
    const ProvisionOutcome &outcome(int index) const;
    // The result of the first device, in target order, that did not succeed; Ok when all did.
    int firstFailure() const;

signals:
    void stageChanged(int index, Provisioner::Stage stage);
    // The progress of the device's running step (the backup read, the upload), 0 to 100.
    void progressChanged(int index, int percent);
    // Every device has ended.
    void finished();

private:
    struct Unit;

    void onStepEnded(int index);
    void onTimeLimit(int index);
    void setStage(int index, Stage stage);
    void startUpload(int index);
    void finish(int index, int result);

    HidBackend *const m_hidBackend;
    bool m_keepBackups = true;
    int m_timeoutMs = DefaultTimeoutMs;
    QString m_softwareId;
    bool m_cancelled = false;
    int m_ended = 0;
    std::vector<std::unique_ptr<Unit>> m_units;
};

// How a device ended, as the window words it: "Transfer ok." for Ok, else the result's message.
QString provisionResultText(int result);
// One line of the report, tab-separated: link, result code, hardware id, software id, seconds
// (one decimal), backup path (empty when none), provisionResultText; without a line break.
QString provisionReportLine(const ProvisionOutcome &outcome);
