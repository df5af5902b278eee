#include "app/provisiondialog.h"

#include "device/device.h"
#include "device/provisioner.h"
#include "format/confformat.h"
#include "format/diag.h"
#include "format/valueassign.h"
#include "format/valueset.h"
#include "format/wholefile.h"
#include "format/xmldoc.h"
#include "tree/descriptionfile.h"

#include <QComboBox>
#include <QCoreApplication>
#include <climits>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>

namespace {

enum Column { LinkColumn, ProgressColumn, ResultColumn };

QProgressBar *progressOf(QTreeWidget *list, int row)
{
    return qobject_cast<QProgressBar *>(list->itemWidget(list->topLevelItem(row), ProgressColumn));
}

} // namespace

ProvisionDialog::ProvisionDialog(const ConfFormat *shown, const QMap<QString, QString> &macros,
                                 HidBackend *hidBackend, QWidget *parent)
    : QDialog(parent), shownFormat(shown), macros(macros), hidBackend(hidBackend)
{
    setWindowTitle(tr("Provision devices"));
    auto *grid = new QGridLayout(this);

    grid->addWidget(new QLabel(tr("Values:"), this), 0, 0);
    valuesLabel = new QLabel(this);
    valuesLabel->setObjectName(QStringLiteral("valuesLabel"));
    valuesLabel->setWordWrap(true);
    valuesLabel->setText(shown ? tr("the values in the window (%1)").arg(shown->id()) : tr("none: choose a value file"));
    grid->addWidget(valuesLabel, 0, 1);
    auto *chooseButton = new QPushButton(tr("Value &file..."), this);
    grid->addWidget(chooseButton, 0, 2);
    connect(chooseButton, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("Open file"), QString(),
                                                          tr("Configuration files (*.xml)"));
        if (!path.isEmpty())
            setValueFile(path);
    });

    devices = new QTreeWidget(this);
    devices->setObjectName(QStringLiteral("deviceList"));
    devices->setRootIsDecorated(false);
    devices->setHeaderLabels({tr("Device"), tr("Progress"), tr("Result")});
    devices->header()->setSectionResizeMode(LinkColumn, QHeaderView::ResizeToContents);
    devices->setMinimumWidth(600);
    grid->addWidget(devices, 1, 0, 1, 3);
    refreshButton = new QPushButton(tr("&Refresh"), this);
    connect(refreshButton, &QPushButton::clicked, this, &ProvisionDialog::refreshDevices);
    grid->addWidget(refreshButton, 2, 2);

    grid->addWidget(new QLabel(tr("Number devices in:"), this), 3, 0);
    sequence = new QComboBox(this);
    sequence->setObjectName(QStringLiteral("sequenceVariable"));
    grid->addWidget(sequence, 3, 1);
    start = new QSpinBox(this);
    start->setObjectName(QStringLiteral("sequenceStart"));
    start->setRange(INT_MIN, INT_MAX);
    start->setPrefix(tr("from "));
    grid->addWidget(start, 3, 2);

    auto *buttons = new QDialogButtonBox(this);
    startButton = buttons->addButton(tr("&Start"), QDialogButtonBox::ActionRole);
    saveButton = buttons->addButton(tr("Save &report..."), QDialogButtonBox::ActionRole);
    closeButton = buttons->addButton(QDialogButtonBox::Close);
    saveButton->setEnabled(false);
    connect(startButton, &QPushButton::clicked, this, &ProvisionDialog::startProvisioning);
    connect(saveButton, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, tr("Save file"), QString(),
                                                          tr("Reports (*.tsv *.txt)"));
        if (!path.isEmpty())
            saveReport(path);
    });
    connect(closeButton, &QPushButton::clicked, this, &ProvisionDialog::reject);
    grid->addWidget(buttons, 4, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    fillSequenceVariables();
    refreshDevices();
}

ProvisionDialog::~ProvisionDialog() = default;

bool ProvisionDialog::isRunning() const
{
    return provisioner && !provisioner->isFinished();
}

void ProvisionDialog::reject()
{
    // Cancel ends the devices first; the dialog closes once they have stopped.
    if (isRunning()) {
        provisioner->cancel();
        return;
    }
    QDialog::reject();
}

bool ProvisionDialog::setValueFile(const QString &path)
{
    const DiagCollector collector;
    bool ok = false;
    const QDomDocument document = loadXmlDocumentWithBackup(path, &ok);
    QString why;
    std::unique_ptr<ConfFormat> format = ok ? readDescriptionFormat(rootFormatId(document), macros, &why) : nullptr;
    if (!format || !format->loadValues(path)) {
        valuesLabel->setText(tr("%1 does not load. %2").arg(QFileInfo(path).fileName(), why));
        fileFormat.reset();
        fillSequenceVariables();
        return false;
    }
    fileFormat = std::move(format);
    valuesLabel->setText(tr("%1 (%2)").arg(QFileInfo(path).fileName(), fileFormat->id()));
    fillSequenceVariables();
    return true;
}

void ProvisionDialog::fillSequenceVariables()
{
    sequence->clear();
    sequence->addItem(tr("(none)"));
    const ConfFormat *format = fileFormat ? fileFormat.get() : shownFormat;
    if (!format)
        return;
    for (const auto &[name, var] : format->vars()) {
        if (var.kind == KindInt && var.items.isEmpty())
            sequence->addItem(name);
    }
}

void ProvisionDialog::refreshDevices()
{
    if (isRunning())
        return;
    devices->clear();
    for (const QString &link : deviceLinks(hidBackend)) {
        auto *item = new QTreeWidgetItem(devices, {link});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(LinkColumn, Qt::Checked);
        auto *bar = new QProgressBar(devices);
        bar->setRange(0, 100);
        bar->setValue(0);
        devices->setItemWidget(item, ProgressColumn, bar);
    }
}

bool ProvisionDialog::startProvisioning()
{
    if (isRunning())
        return false;
    ConfFormat *format = fileFormat ? fileFormat.get() : const_cast<ConfFormat *>(shownFormat);
    if (!format) {
        QMessageBox::warning(this, tr("Warning"), tr("No configuration to upload."));
        return false;
    }
    QList<int> rows;
    for (int i = 0; i < devices->topLevelItemCount(); ++i) {
        if (devices->topLevelItem(i)->checkState(LinkColumn) == Qt::Checked)
            rows << i;
    }
    if (rows.isEmpty()) {
        QMessageBox::warning(this, tr("Warning"), tr("No device is chosen."));
        return false;
    }
    // Every image is made, and every numbered value checked, before any device is touched.
    const QString sequenceName = sequence->currentIndex() > 0 ? sequence->currentText() : QString();
    const ValueSet kept = valuesOf(*format);
    QList<ProvisionTarget> targets;
    for (int i = 0; i < rows.size(); ++i) {
        if (!sequenceName.isEmpty()) {
            ConfVar *var = format->varByName(sequenceName);
            QString why;
            if (!var || !assignValueText(*format, *var, QString::number(qlonglong(start->value()) + i), &why)) {
                applyValues(*format, kept);
                QMessageBox::critical(this, tr("Error"),
                                      tr("%1 for device %2: %3").arg(sequenceName).arg(i + 1).arg(why));
                return false;
            }
        }
        targets.append({devices->topLevelItem(rows[i])->text(LinkColumn), format->pack()});
    }
    applyValues(*format, kept);

    rowsStarted = rows;
    provisioner = std::make_unique<Provisioner>(hidBackend);
    connect(provisioner.get(), &Provisioner::progressChanged, this, [this](int index, int percent) {
        if (QProgressBar *bar = progressOf(devices, rowsStarted[index]))
            bar->setValue(qBound(0, percent, 100));
    });
    connect(provisioner.get(), &Provisioner::stageChanged, this, [this](int index, Provisioner::Stage) {
        setDeviceResult(index);
    });
    connect(provisioner.get(), &Provisioner::finished, this, &ProvisionDialog::finished);
    startButton->setEnabled(false);
    refreshButton->setEnabled(false);
    saveButton->setEnabled(false);
    closeButton->setText(tr("Cancel"));
    for (int row = 0; row < devices->topLevelItemCount(); ++row)
        devices->topLevelItem(row)->setText(ResultColumn, QString());
    provisioner->start(targets, format->id());
    return true;
}

void ProvisionDialog::setDeviceResult(int index)
{
    QTreeWidgetItem *item = devices->topLevelItem(rowsStarted[index]);
    const ProvisionOutcome &outcome = provisioner->outcome(index);
    QString text;
    switch (provisioner->stage(index)) {
    case Provisioner::Started:
        text = tr("started");
        break;
    case Provisioner::Identified:
        text = tr("identified: %1, %2").arg(outcome.hardwareId, outcome.softwareId);
        break;
    case Provisioner::BackedUp:
        text = tr("backed up");
        break;
    case Provisioner::Uploading:
        text = tr("uploading");
        break;
    case Provisioner::Done:
    case Provisioner::Failed:
        text = provisionResultText(outcome.result);
        if (QProgressBar *bar = progressOf(devices, rowsStarted[index]); bar && outcome.result == Ok)
            bar->setValue(100);
        break;
    }
    item->setText(ResultColumn, text);
}

void ProvisionDialog::finished()
{
    startButton->setEnabled(true);
    refreshButton->setEnabled(true);
    saveButton->setEnabled(true);
    closeButton->setText(tr("Close"));
}

QString ProvisionDialog::report() const
{
    if (!provisioner || !provisioner->isFinished())
        return QString();
    QStringList lines;
    for (int i = 0; i < provisioner->count(); ++i)
        lines << provisionReportLine(provisioner->outcome(i));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void ProvisionDialog::saveReport(const QString &path)
{
    QString error;
    if (!writeWholeFile(path, report().toUtf8(), &error))
        QMessageBox::critical(this, tr("Error"), tr("Error saving file.") + QLatin1Char('\n') + error);
}
