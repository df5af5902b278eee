// The writes that replace what a device holds (upload, restore, firmware update) and the
// download: the device's image is read and kept as a backup first, and an upload shows what
// it will change before anything is written.
#include "app/mainwindow.h"
#include "app/reviewdialog.h"
#include "app/provisiondialog.h"
#include "app/comdialog.h"
#include "app/transferlock.h"

#include "device/backups.h"
#include "device/device.h"
#include "format/confformat.h"
#include "format/diag.h"
#include "format/formatid.h"
#include "format/valuediff.h"
#include "format/wholefile.h"
#include "tree/descriptionfile.h"
#include "tree/ui/conftree.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QSettings>

namespace {

// The values of an image; false with the reason when it does not unpack.
bool imageValues(ConfFormat &format, const QByteArray &image, ValueSet *values, QString *why)
{
    const DiagCollector collector;
    if (!format.unpack(reinterpret_cast<const uchar *>(image.constData()), int(image.size()))) {
        const QList<Diagnostic> reported = collector.diagnostics();
        *why = QCoreApplication::translate("MainWindow", "the configuration does not unpack (%1).")
                   .arg(reported.isEmpty() ? QString() : reported.last().text.trimmed());
        return false;
    }
    *values = valuesOf(format);
    return true;
}

} // namespace

bool MainWindow::keepBackups() const
{
    return settings->value(QLatin1String(KeyKeepBackups), true).toBool();
}

bool MainWindow::reviewUploads() const
{
    return settings->value(QLatin1String(KeyReviewBeforeUpload), true).toBool();
}

bool MainWindow::keepBackup(const Device &worker, QString *error)
{
    // A new device holds no configuration: nothing to lose, and its first upload must not be
    // refused for want of a backup.
    if (worker.image().isEmpty()) {
        diagOut("The device holds no configuration, no backup kept\n");
        return true;
    }
    const QString path = backups::store(worker.hardwareId(), worker.softwareId(),
                                        backups::imageProper(worker.image()), error);
    if (path.isEmpty()) {
        diagOutWarning("Backup not kept: %s\n", qPrintable(*error));
        return false;
    }
    diagOut("Backup kept: %s\n", qPrintable(path));
    return true;
}

bool MainWindow::confirmUpload(const Device &worker, const QByteArray &toWrite, const QString &toWriteId)
{
    QList<ValueDifference> differences;
    QString why;
    if (worker.softwareId() != toWriteId) {
        why = tr("the device has the configuration of %1, the values to be written are of %2.")
                  .arg(worker.softwareId(), toWriteId);
    } else if (const std::unique_ptr<ConfFormat> format = readDescriptionFormat(toWriteId, tree->macros, &why)) {
        ValueSet onDevice;
        ValueSet written;
        if (imageValues(*format, worker.image(), &onDevice, &why) && imageValues(*format, toWrite, &written, &why))
            differences = valueDifferences(*format, onDevice, written);
    }
    ReviewDialog review(differences, why, this);
    return review.exec() == QDialog::Accepted;
}

// Reads the device on `worker` as the settings ask, before a write: keeps the backup and, for
// an upload of `toWrite`, shows the review. True when the write may go ahead; a read that
// failed with backups on has been reported and writes nothing.
bool MainWindow::prepareWrite(Device &worker, const QByteArray *toWrite, const QString &toWriteId)
{
    const bool backup = keepBackups();
    const bool review = toWrite && reviewUploads();
    if (!backup && !review)
        return true;
    const int code = devRunOn(worker, [](Device &d) { d.startDownload(); }, backup);
    if (code != Ok) {
        if (backup)
            return false;
        ReviewDialog dialog({}, tr("the device's configuration could not be read: %1").arg(deviceResultMessage(code)),
                            this);
        return dialog.exec() == QDialog::Accepted;
    }
    QString error;
    if (backup && !keepBackup(worker, &error)) {
        QMessageBox::critical(this, tr("Error"), tr("The backup could not be kept: %1\nNothing was written.").arg(error));
        return false;
    }
    return !review || confirmUpload(worker, *toWrite, toWriteId);
}

bool MainWindow::uploadImage(const QByteArray &image, const QString &id, const std::function<void()> &onWritten)
{
    const DiagCollector collector;
    std::unique_ptr<Device> worker(devCreate());
    if (!prepareWrite(*worker, &image, id)) {
        showMessages(collector.diagnostics(), false);
        return false;
    }
    const bool written = devRunOn(*worker, [&](Device &d) {
        d.setImage(image);
        d.startUpload(id);
    }) == Ok;
    showMessages(collector.diagnostics(), !written);
    if (!written)
        return false;
    if (onWritten)
        onWritten();
    QMessageBox::information(this, tr("Information"), tr("Transfer ok."));
    return true;
}

void MainWindow::uploadToDevice()
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
    // The device now holds these values: the marks are gone before the box reports it.
    uploadImage(tree->format->pack(), tree->formatId, [this] { tree->setBaseline(); });
}

void MainWindow::updateFirmware()
{
    const TransferLock lock(transferRunning);
    if (!lock.acquired())
        return;
    const QString fileName =
        QFileDialog::getOpenFileName(this, tr("Open file"), QString(), tr("Firmware files (*.fw)"));
    if (fileName.isEmpty())
        return;
    const DiagCollector collector;
    std::unique_ptr<Device> worker(devCreate());
    if (!prepareWrite(*worker, nullptr, QString())) {
        showMessages(collector.diagnostics(), false);
        return;
    }
    const bool written = devRunOn(*worker, [&](Device &d) { d.startFirmwareUpdate(fileName); }) == Ok;
    showMessages(collector.diagnostics(), !written);
    if (written)
        QMessageBox::information(this, tr("Information"), tr("Transfer ok."));
}

void MainWindow::restoreBackup()
{
    const TransferLock lock(transferRunning);
    if (!lock.acquired())
        return;
    const DiagCollector collector;
    const std::unique_ptr<Device> reader = devRun([](Device &d) { d.startDownload(); });
    if (!reader)
        return;
    const QString hardwareId = reader->hardwareId();
    const QString softwareId = reader->softwareId();
    QString why;
    const std::unique_ptr<ConfFormat> format = readDescriptionFormat(softwareId, tree->macros, &why);
    ValueSet onDevice;
    const bool compared = format && imageValues(*format, reader->image(), &onDevice, &why);

    QList<BackupChooser::Entry> entries;
    QList<QByteArray> images;
    for (const backups::Backup &backup : backups::list(hardwareId)) {
        QByteArray image;
        QString error;
        readFileStart(backup.path, ImageCapacity, &image, &error);
        ValueSet values;
        QString unused;
        const bool counted = compared && backup.softwareId == backups::safeName(softwareId)
            && imageValues(*format, image, &values, &unused);
        entries.append({backup, counted ? QString::number(valueDifferences(*format, onDevice, values).size())
                                        : QString()});
        images.append(image);
    }
    BackupChooser chooser(hardwareId, entries, this);
    const int chosen = chooser.exec() == QDialog::Accepted ? chooser.chosen() : -1;
    if (chosen < 0) {
        showMessages(collector.diagnostics(), false);
        return;
    }
    // The device checks the software id of what it is sent; a backup of another software
    // (from before a firmware update) is refused there, after the review has said so.
    const QString backupId = entries[chosen].backup.softwareId == backups::safeName(softwareId)
                                 ? softwareId : entries[chosen].backup.softwareId;
    const QByteArray image = images[chosen];
    if (!backups::isWholeImage(image)) {
        QMessageBox::critical(this, tr("Error"), tr("The backup is damaged: %1").arg(entries[chosen].backup.path));
        return;
    }
    uploadImage(image, backupId);
}

void MainWindow::provisionDevices()
{
    const TransferLock lock(transferRunning);
    if (!lock.acquired())
        return;
    ProvisionDialog dialog(tree->format, tree->macros, hidBackend, this);
    setDeviceCommandsEnabled(false);
    dialog.exec();
    setDeviceCommandsEnabled(true);
}
