#pragma once
// The dialogs of the writes that replace what a device holds: the review of what an upload
// changes, and the choice of a backup to put back.
#include "device/backups.h"
#include "format/valuediff.h"

#include <QDialog>
#include <QList>
#include <QString>

class QLabel;
class QTreeWidget;

// What an upload would change: every variable whose value on the device differs from the
// value to be written, and the buttons Upload and Cancel. When the device's values could
// not be compared, `why` says so and the upload button reads "Upload anyway".
class ReviewDialog : public QDialog
{
    Q_OBJECT
public:
    ReviewDialog(const QList<ValueDifference> &differences, const QString &why, QWidget *parent = nullptr);

    QTreeWidget *list() const { return rows; }
    QLabel *summary() const { return text; }

private:
    QTreeWidget *rows;
    QLabel *text;
};

// The backups of one device, newest first, each with the time it was taken (local time) and
// how many values differ from the device now (empty when that cannot be told).
class BackupChooser : public QDialog
{
    Q_OBJECT
public:
    struct Entry {
        backups::Backup backup;
        QString differences;
    };
    BackupChooser(const QString &hardwareId, const QList<Entry> &entries, QWidget *parent = nullptr);

    QTreeWidget *list() const { return rows; }
    // The chosen entry's index; -1 while none is chosen.
    int chosen() const;

private:
    QTreeWidget *rows;
};
