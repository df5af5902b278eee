// The Device menu: identify, download, upload and firmware update, each with one worker that
// runs on its own thread while the window waits with a progress dialog, and the link settings.
#include "app/comdialog.h"
#include "app/mainwindow.h"

#include "device/device.h"
#include "device/serialport.h"
#include "format/confformat.h"
#include "tree/ui/conftree.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSettings>
#include <QThread>

#include <memory>

namespace {

const char *const KeyDriver = "Link/Driver";
const char *const KeyPort = "Link/COMPort";
const char *const DefaultPort = "COM1";

// How often the wait shows the progress and passes a Cancel press on.
const unsigned long WaitPollMs = 50;

// The result of a worker whose thread never ran: no result code of the link, so the user
// is told "Unknown error." rather than a success.
const int WorkerNeverRan = -1;

// The link layer keeps one port, one HID handle and one port list for the whole process, so
// only one device command (or the link settings, which rebuild the port list) may run at a
// time. The progress dialog is modal to the window, which keeps the menus and shortcuts out
// of reach; this flag also turns away anything that reaches a slot during the wait (an
// action triggered from code, or a key after Cancel has hidden the dialog).
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
        return new Device(this);
    if (driver == LinkDriverSerial)
        return new Device(settings->value(KeyPort, QString::fromLatin1(DefaultPort)).toString(), this);
    return new Device(QStringLiteral("HID"), this);
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

    while (worker->isRunning()) {
        progress.setValue(qBound(0, worker->progress.load(std::memory_order_relaxed), 100));
        if (progress.wasCanceled())
            worker->cancelRequested.store(true, std::memory_order_relaxed);
        QCoreApplication::processEvents();
        QThread::msleep(WaitPollMs);
    }
    return worker->isFinished() ? worker->result : WorkerNeverRan;
}

void MainWindow::devError(int code)
{
    if (code == Canceled)
        QMessageBox::information(this, tr("Information"), deviceResultMessage(code));
    else
        QMessageBox::critical(this, tr("Error"), deviceResultMessage(code));
}

void MainWindow::devID()
{
    const TransferLock lock(transferRunning);
    if (!lock.acquired())
        return;
    const std::unique_ptr<Device> worker(devCreate());
    worker->startIdentify();
    const int code = devWait(worker.get());
    if (code != Ok) {
        devError(code);
        return;
    }
    // One pass over the text, so a '%' in an identifier is shown as it is.
    QMessageBox::information(this, tr("Information"),
                             tr("Hardware ID: %1\nSoftware ID: %2").arg(worker->hardwareId, worker->softwareId));
}

void MainWindow::devDownload()
{
    const TransferLock lock(transferRunning);
    if (!lock.acquired())
        return;
    const std::unique_ptr<Device> worker(devCreate());
    worker->startDownload();
    const int code = devWait(worker.get());
    if (code != Ok) {
        devError(code);
        return;
    }
    if (!tree->loadFormat(worker->softwareId)) {
        QMessageBox::critical(this, tr("Error"), tr("Can't get device descriptor.\nNo Internet connection ?"));
        return;
    }
    if (tree->format->unpack(worker->image, worker->imageLength))
        QMessageBox::information(this, tr("Information"), tr("Transfer ok."));
    else
        QMessageBox::critical(this, tr("Error"), tr("Binary data format error."));
    tree->updateValues();
    tree->updateExpr();
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
    const std::unique_ptr<Device> worker(devCreate());
    worker->imageLength = tree->format->pack(worker->image);
    worker->startUpload(tree->formatId);
    const int code = devWait(worker.get());
    if (code != Ok)
        devError(code);
    else
        QMessageBox::information(this, tr("Information"), tr("Transfer ok."));
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
    const std::unique_ptr<Device> worker(devCreate());
    worker->startFirmwareUpdate(fileName);
    const int code = devWait(worker.get());
    if (code != Ok)
        devError(code);
    else
        QMessageBox::information(this, tr("Information"), tr("Transfer ok."));
}

void MainWindow::devCOMport()
{
    // The port list below is the serial layer's, which a running worker may be reading.
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
}
