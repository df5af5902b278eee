// The File menu: value files in and out, and the binary image out.
#include "app/mainwindow.h"

#include "format/confformat.h"
#include "format/diag.h"
#include "format/wholefile.h"
#include "tree/ui/conftree.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

// The suffix is added only when the name lacks it in every letter case, so "A.XML"
// stays as typed.
QString withSuffix(const QString &name, const QString &suffix)
{
    return name.toLower().endsWith(suffix) ? name : name + suffix;
}

} // namespace

void MainWindow::fileOpen()
{
    // A value file names its description; an image (a saved binary, a backup) holds values
    // of the description shown.
    const QString fileName = QFileDialog::getOpenFileName(
        this, tr("Open file"), QString(), tr("Configuration files (*.xml)") + QStringLiteral(";;") + tr("Binary files (*.bin)"));
    if (fileName.isEmpty())
        return;
    const DiagCollector collector;
    const bool image = fileName.endsWith(QLatin1String(".bin"), Qt::CaseInsensitive);
    const bool opened = image ? tree->openImageFile(fileName) : tree->openConfFile(fileName);
    tree->updateValues();
    tree->updateExpr();
    const QList<Diagnostic> reported = collector.diagnostics();
    showMessages(reported, !opened);
    if (opened) {
        setShownName(QFileInfo(fileName).fileName());
        return;
    }
    // The lines that say what was wrong, where, as the box's details.
    QStringList details;
    for (const Diagnostic &d : reported)
        details << (d.location.isKnown() ? d.location.toString() + QStringLiteral(": ") : QString()) + d.text.trimmed();
    QMessageBox box(QMessageBox::Critical, tr("Error"), tr("Error loading file."), QMessageBox::Ok, this);
    box.setDetailedText(details.join(QLatin1Char('\n')));
    box.exec();
}

void MainWindow::fileSave()
{
    if (!tree->format) {
        QMessageBox::warning(this, tr("Warning"), tr("No configuration to save."));
        return;
    }
    QString fileName = QFileDialog::getSaveFileName(this, tr("Save file"), QString(),
                                                    tr("Configuration files (*.xml)"));
    if (fileName.isEmpty())
        return;
    fileName = withSuffix(fileName, QStringLiteral(".xml"));
    if (!tree->format->saveValues(fileName)) {
        QMessageBox::critical(this, tr("Error"), tr("Error saving file."));
        return;
    }
    tree->setBaseline();
    setShownName(QFileInfo(fileName).fileName());
}

void MainWindow::fileSaveBin()
{
    if (!tree->format) {
        QMessageBox::warning(this, tr("Warning"), tr("No configuration to save."));
        return;
    }
    QString fileName = QFileDialog::getSaveFileName(this, tr("Save file"), QString(),
                                                    tr("Binary files (*.bin)"));
    if (fileName.isEmpty())
        return;
    fileName = withSuffix(fileName, QStringLiteral(".bin"));
    // The buffer is as large as the image, so every description that loads can be saved.
    QByteArray image(tree->format->imageSize(), '\0');
    const int length = tree->format->pack(reinterpret_cast<uchar *>(image.data()));
    image.truncate(length);
    if (!writeWholeFile(fileName, image)) {
        QMessageBox::critical(this, tr("Error"), tr("Error saving file."));
        return;
    }
    tree->setBaseline();
    setShownName(QFileInfo(fileName).fileName());
}
