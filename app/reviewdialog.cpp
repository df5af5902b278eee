#include "app/reviewdialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QDialogButtonBox *uploadButtons(QDialog *dialog, const QString &acceptText, QPushButton **accept = nullptr)
{
    auto *buttons = new QDialogButtonBox(dialog);
    QPushButton *button = buttons->addButton(acceptText, QDialogButtonBox::AcceptRole);
    if (accept)
        *accept = button;
    buttons->addButton(QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

QTreeWidget *listOf(QWidget *parent, const QStringList &headers)
{
    auto *list = new QTreeWidget(parent);
    list->setRootIsDecorated(false);
    list->setHeaderLabels(headers);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list->setMinimumWidth(560);
    return list;
}

} // namespace

ReviewDialog::ReviewDialog(const QList<ValueDifference> &differences, const QString &why, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Review upload"));
    auto *layout = new QVBoxLayout(this);
    text = new QLabel(this);
    text->setWordWrap(true);
    text->setObjectName(QStringLiteral("reviewSummary"));
    layout->addWidget(text);
    rows = listOf(this, {tr("Name"), tr("On the device"), tr("To be written")});
    rows->setObjectName(QStringLiteral("reviewList"));
    for (const ValueDifference &d : differences)
        new QTreeWidgetItem(rows, {d.name, d.first, d.second});
    layout->addWidget(rows);
    QString acceptText = tr("Upload");
    if (!why.isEmpty()) {
        text->setText(tr("The values on the device cannot be compared: %1").arg(why));
        rows->hide();
        acceptText = tr("Upload anyway");
    } else if (differences.isEmpty()) {
        text->setText(tr("The device already holds these values."));
        rows->hide();
    } else {
        text->setText(tr("Values that will change on the device: %1").arg(differences.size()));
    }
    layout->addWidget(uploadButtons(this, acceptText));
}

BackupChooser::BackupChooser(const QString &hardwareId, const QList<Entry> &entries, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Restore backup"));
    auto *layout = new QVBoxLayout(this);
    auto *text = new QLabel(entries.isEmpty() ? tr("There are no backups of the device %1.").arg(hardwareId)
                                              : tr("Backups of the device %1, newest first:").arg(hardwareId),
                            this);
    text->setWordWrap(true);
    layout->addWidget(text);
    rows = listOf(this, {tr("Taken"), tr("Software ID"), tr("Values that differ from the device")});
    rows->setObjectName(QStringLiteral("backupList"));
    for (const Entry &e : entries) {
        new QTreeWidgetItem(rows, {QLocale().toString(e.backup.taken.toLocalTime(), QLocale::ShortFormat),
                                   e.backup.softwareId, e.differences});
    }
    if (!entries.isEmpty())
        rows->setCurrentItem(rows->topLevelItem(0));
    layout->addWidget(rows);
    QPushButton *restore = nullptr;
    QDialogButtonBox *buttons = uploadButtons(this, tr("Restore"), &restore);
    restore->setEnabled(!entries.isEmpty());
    connect(rows, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    layout->addWidget(buttons);
}

int BackupChooser::chosen() const
{
    QTreeWidgetItem *item = rows->currentItem();
    return item ? rows->indexOfTopLevelItem(item) : -1;
}
