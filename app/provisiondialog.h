#pragma once
// Device > Provision...: one configuration written to several devices at once, each with its
// own progress and result, the devices found on the machine to choose from, an optional
// variable numbered from device to device, and the report kept as a tab-separated file.
#include <QDialog>
#include <QMap>
#include <QString>

#include <memory>

class ConfFormat;
class HidBackend;
class Provisioner;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTreeWidget;

class ProvisionDialog : public QDialog
{
    Q_OBJECT
public:
    // shown: the format of the values in the window (null when none is loaded), whose values
    // are written unless a value file is chosen; macros: those of the shown description, for
    // reading another one. hidBackend as for Device.
    ProvisionDialog(const ConfFormat *shown, const QMap<QString, QString> &macros, HidBackend *hidBackend,
                    QWidget *parent = nullptr);
    ~ProvisionDialog() override;

    // For tests and for a value file chosen elsewhere: the values to write instead of the
    // window's. False, with the reason shown in the dialog, when the file does not load.
    bool setValueFile(const QString &path);
    // Looks for devices again; each found one is checked.
    void refreshDevices();
    // Starts the devices that are checked; false with a message box when nothing can start.
    bool startProvisioning();
    void saveReport(const QString &path);

    QTreeWidget *deviceList() const { return devices; }
    QComboBox *sequenceVariable() const { return sequence; }
    QSpinBox *sequenceStart() const { return start; }
    // While devices are written; Cancel then asks every one of them to stop.
    bool isRunning() const;
    // The report, one tab-separated line per device in list order; empty before the end.
    QString report() const;

    // While devices are written, asks every one of them to stop and stays open until they have.
    void reject() override;

private:
    void fillSequenceVariables();
    void setDeviceResult(int row);
    void finished();

    const ConfFormat *shownFormat;
    std::unique_ptr<ConfFormat> fileFormat;
    QMap<QString, QString> macros;
    HidBackend *hidBackend;
    std::unique_ptr<Provisioner> provisioner;
    QList<int> rowsStarted; // list rows of the devices started, in start order

    QLabel *valuesLabel;
    QTreeWidget *devices;
    QComboBox *sequence;
    QSpinBox *start;
    QPushButton *startButton;
    QPushButton *refreshButton;
    QPushButton *saveButton;
    QPushButton *closeButton;
};
