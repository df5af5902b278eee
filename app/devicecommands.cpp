// The Device menu: identify, download, upload and firmware update, each with one worker that
// runs on its own thread while the window waits with a progress dialog, and the link settings.
#include "app/comdialog.h"
#include "app/mainwindow.h"

#include "device/device.h"
#include "device/hidbackend.h"
#include "device/portlist.h"
#include "app/messagespane.h"
#include "format/confformat.h"
#include "format/diag.h"
#include "tree/ui/conftree.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QLabel>
#include <QSettings>

#include <memory>

namespace {

const char *const KeyDriver = "Link/Driver";
const char *const KeyPort = "Link/COMPort";
const char *const DefaultPort = "COM1";

// The result of a worker whose thread never ran: no result code of the link, so the user
// is told "Unknown error." rather than a success.
const int WorkerNeverRan = -1;

// One device command at a time (or the link settings, which list the ports the command may be
// about to open): the window's choice, since a second transfer started from it would only
// fight the first for the same device. The progress dialog is modal to the window, which keeps
// the menus and shortcuts out of reach; this flag also turns away anything that reaches a slot
// during the wait (an action triggered from code, or a key after Cancel has hidden the dialog).
class TransferLock
{
public:
    explicit TransferLock(bool &running)
        : running(running), owner(!running)
    {
        running = true;
    }
    ~TransferLock()
    {
        if (owner)
            running = false;
    }
    TransferLock(const TransferLock &) = delete;
    TransferLock &operator=(const TransferLock &) = delete;

    bool acquired() const { return owner; }

private:
    bool &running;
    const bool owner;
};

} // namespace

Device *MainWindow::devCreate()
{
    const int driver = settings->value(KeyDriver, LinkDriverAuto).toInt();
    if (driver == LinkDriverAuto)
        return new Device(QStringLiteral("AUTO"), hidBackend, this);
    if (driver == LinkDriverSerial)
        return new Device(settings->value(KeyPort, QString::fromLatin1(DefaultPort)).toString(), hidBackend, this);
    return new Device(QStringLiteral("HID"), hidBackend, this);
}

int MainWindow::devWait(Device *worker)
{
    QProgressDialog progress(this);
    progress.setWindowTitle(tr("Transfer"));
    progress.setRange(0, 100);
    progress.setMinimumDuration(0);
    // Cancel must stay reported until the worker ends, and the dialog must not vanish when an
    // upload's last partial block takes the value to the maximum.
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.setWindowModality(Qt::WindowModal);

    connect(worker, &Device::progressChanged, &progress,
            [&progress](int value) { progress.setValue(qBound(0, value, 100)); });
    // Escape, closing the dialog and its button all come here; the worker ends when it can.
    connect(&progress, &QProgressDialog::canceled, worker, [worker] { worker->requestCancel(); });
    progress.setValue(qBound(0, worker->progress(), 100));
    worker->waitForResult();
    return worker->isFinished() ? worker->result() : WorkerNeverRan;
}

void MainWindow::devError(int code)
{
    if (code == Canceled)
        QMessageBox::information(this, tr("Information"), deviceResultMessage(code));
    else
        QMessageBox::critical(this, tr("Error"), deviceResultMessage(code));
}

QString MainWindow::linkText() const
{
    const int driver = settings->value(KeyDriver, LinkDriverAuto).toInt();
    if (driver == LinkDriverAuto)
        return tr("automatic");
    if (driver == LinkDriverSerial)
        return settings->value(KeyPort, QString::fromLatin1(DefaultPort)).toString();
    return QStringLiteral("USB-HID");
}

std::unique_ptr<Device> MainWindow::devRun(const std::function<void(Device &)> &start)
{
    const DiagCollector collector;
    // Disabled rather than silently turned away while the transfer runs.
    setDeviceCommandsEnabled(false);
    std::unique_ptr<Device> worker(devCreate());
    start(*worker);
    const int code = devWait(worker.get());
    setDeviceCommandsEnabled(true);
    if (worker->isFinished() && !worker->softwareId().isEmpty())
        statusDevice->setText(tr("Device: %1, %2").arg(worker->hardwareId(), worker->softwareId()));
    showMessages(collector.diagnostics(), code != Ok);
    if (code == Ok)
        return worker;
    devError(code);
    return nullptr;
}

void MainWindow::devID()
{
    const TransferLock lock(transferRunning);
    if (!lock.acquired())
        return;
    const std::unique_ptr<Device> worker = devRun([](Device &d) { d.startIdentify(); });
    if (!worker)
        return;
    // One pass over the text, so a '%' in an identifier is shown as it is.
    QMessageBox::information(this, tr("Information"),
                             tr("Hardware ID: %1\nSoftware ID: %2").arg(worker->hardwareId(), worker->softwareId()));
}

void MainWindow::devDownload()
{
    const TransferLock lock(transferRunning);
    if (!lock.acquired())
        return;
    const std::unique_ptr<Device> worker = devRun([](Device &d) { d.startDownload(); });
    if (!worker)
        return;
    const DiagCollector collector;
    const QByteArray &image = worker->image();
    bool described = false;
    const bool unpacked = tree->loadWithDescription(
        worker->softwareId(), tr("Download"),
        [&] { return tree->format->unpack(reinterpret_cast<const uchar *>(image.constData()), int(image.size())); },
        &described);
    if (!described) {
        showMessages(collector.diagnostics(), true);
        QMessageBox::critical(this, tr("Error"), tr("Can't get device descriptor.\nNo Internet connection ?"));
        return;
    }
    // The values are in the tree before the box that reports them.
    tree->updateValues();
    tree->updateExpr();
    showMessages(collector.diagnostics(), !unpacked);
    if (unpacked) {
        tree->setBaseline();
        setShownName(worker->softwareId());
        QMessageBox::information(this, tr("Information"), tr("Transfer ok."));
    } else {
        QMessageBox::critical(this, tr("Error"), tr("Binary data format error."));
    }
}

void MainWindow::devUpload()
{
    const TransferLock lock(transferRunning);
    if (!lock.acquired())
        return;
    if (!tree->format) {
        QMessageBox::warning(this, tr("Warning"), tr("No configuration to upload."));
        return;
    }
    // The worker's image buffer holds what a device can hold; a larger description would be
    // packed past its end.
    if (tree->format->imageSize() > ImageCapacity) {
        QMessageBox::critical(this, tr("Error"), tr("Configuration too large for the device."));
        return;
    }
    const QByteArray image = tree->format->pack();
    const QString id = tree->formatId;
    if (devRun([&](Device &d) {
            d.setImage(image);
            d.startUpload(id);
        })) {
        tree->setBaseline(); // the device now holds these values
        QMessageBox::information(this, tr("Information"), tr("Transfer ok."));
    }
}

void MainWindow::devFirmware()
{
    const TransferLock lock(transferRunning);
    if (!lock.acquired())
        return;
    const QString fileName =
        QFileDialog::getOpenFileName(this, tr("Open file"), QString(), tr("Firmware files (*.fw)"));
    if (fileName.isEmpty())
        return;
    if (devRun([&](Device &d) { d.startFirmwareUpdate(fileName); }))
        QMessageBox::information(this, tr("Information"), tr("Transfer ok."));
}

void MainWindow::devCOMport()
{
    // One thing at a time (see TransferLock): no port list while a command may be opening a port.
    if (transferRunning)
        return;
    QDialog dialog(this);
    Ui::COMDialog ui;
    ui.setupUi(&dialog);
    ui.comboDriver->setCurrentIndex(settings->value(KeyDriver, LinkDriverAuto).toInt());

    const QStringList ports = comListPorts();
    const QString stored = settings->value(KeyPort, QString::fromLatin1(DefaultPort)).toString();
    ui.comboPort->clear();
    for (const QString &entry : ports)
        ui.comboPort->addItem(entry);
    const int preselected = preselectedPort(ports, stored);
    if (preselected >= 0)
        ui.comboPort->setCurrentIndex(preselected);

    if (dialog.exec() != QDialog::Accepted)
        return;
    settings->setValue(KeyDriver, ui.comboDriver->currentIndex());
    settings->setValue(KeyPort, portNameOf(ui.comboPort->currentText()));
    updateTitleAndStatus();
}
