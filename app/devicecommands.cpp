// The Device menu: identify, download, upload and firmware update, each with one worker that
// runs on its own thread while the window waits with a progress dialog, and the link settings.
#include "app/comdialog.h"
#include "app/mainwindow.h"
#include "app/transferlock.h"

#include "device/device.h"
#include "device/hidbackend.h"
#include "device/portlist.h"
#include "app/messagespane.h"
#include "format/confformat.h"
#include "format/diag.h"
#include "tree/ui/conftree.h"

#include <QCheckBox>
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

// The result of a worker whose thread never ran: no result code of the link, so the user
// is told "Unknown error." rather than a success.
const int WorkerNeverRan = -1;

} // namespace

void MainWindow::runDeviceCommand(DeviceCommand command)
{
    switch (command) {
    case DeviceCommand::Identify:
        identifyDevice();
        break;
    case DeviceCommand::Download:
        downloadFromDevice();
        break;
    case DeviceCommand::Upload:
        uploadToDevice();
        break;
    case DeviceCommand::Firmware:
        updateFirmware();
        break;
    case DeviceCommand::Restore:
        restoreBackup();
        break;
    case DeviceCommand::Provision:
        provisionDevices();
        break;
    case DeviceCommand::LinkSettings:
        editLinkSettings();
        break;
    }
}

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

int MainWindow::devRunOn(Device &worker, const std::function<void(Device &)> &start, bool reportFailure)
{
    const DiagCollector collector;
    // Disabled rather than silently turned away while the transfer runs.
    setDeviceCommandsEnabled(false);
    start(worker);
    const int code = devWait(&worker);
    setDeviceCommandsEnabled(true);
    if (worker.isFinished() && !worker.softwareId().isEmpty())
        statusDevice->setText(tr("Device: %1, %2").arg(worker.hardwareId(), worker.softwareId()));
    showMessages(collector.diagnostics(), code != Ok && reportFailure);
    if (code != Ok && reportFailure)
        devError(code);
    return code;
}

std::unique_ptr<Device> MainWindow::devRun(const std::function<void(Device &)> &start)
{
    std::unique_ptr<Device> worker(devCreate());
    return devRunOn(*worker, start) == Ok ? std::move(worker) : nullptr;
}

void MainWindow::identifyDevice()
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

void MainWindow::downloadFromDevice()
{
    const TransferLock lock(transferRunning);
    if (!lock.acquired())
        return;
    const std::unique_ptr<Device> worker = devRun([](Device &d) { d.startDownload(); });
    if (!worker)
        return;
    const DiagCollector collector;
    // What the device holds is kept whatever becomes of it here; a backup that cannot be
    // written is a warning in the messages, the values still arrive.
    QString error;
    if (keepBackups())
        keepBackup(*worker, &error);
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

void MainWindow::editLinkSettings()
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

    ui.checkReview->setChecked(reviewUploads());
    ui.checkBackups->setChecked(keepBackups());

    if (dialog.exec() != QDialog::Accepted)
        return;
    settings->setValue(KeyDriver, ui.comboDriver->currentIndex());
    settings->setValue(QLatin1String(KeyReviewBeforeUpload), ui.checkReview->isChecked());
    settings->setValue(QLatin1String(KeyKeepBackups), ui.checkBackups->isChecked());
    settings->setValue(KeyPort, portNameOf(ui.comboPort->currentText()));
    updateTitleAndStatus();
}
