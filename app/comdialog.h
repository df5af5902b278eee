#pragma once
// The "Link settings" form, built on a given dialog in two steps the way a generated form is:
// setupUi creates and places the widgets, retranslateUi sets the texts (and refills the driver
// list, so a language change keeps the indices the settings store).
#include <QString>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QDialog;
class QDialogButtonBox;
class QLabel;

class Ui_COMDialog
{
public:
    QDialogButtonBox *buttonBox = nullptr;
    QLabel *label = nullptr;
    QComboBox *comboPort = nullptr;
    QLabel *label_4 = nullptr;
    QComboBox *comboDriver = nullptr;
    QCheckBox *checkReview = nullptr;
    QCheckBox *checkBackups = nullptr;

    void setupUi(QDialog *COMDialog);
    void retranslateUi(QDialog *COMDialog);
};

namespace Ui {
class COMDialog : public Ui_COMDialog
{
};
} // namespace Ui

// The settings of the writes to a device: show what an upload changes before it writes, and
// keep the device's image as a backup before every write and on every download. Both on
// unless turned off.
constexpr const char *KeyReviewBeforeUpload = "Device/ReviewBeforeUpload";
constexpr const char *KeyKeepBackups = "Device/Backups";

// The link the device commands use: the driver (an index of the driver list) and the serial port.
constexpr const char *KeyDriver = "Link/Driver";
constexpr const char *KeyPort = "Link/COMPort";
constexpr const char *DefaultPort = "COM1";

// The indices of the driver list, which are also the values of "Link/Driver".
enum LinkDriver { LinkDriverAuto = 0, LinkDriverSerial = 1, LinkDriverHid = 2 };

// Which port list entry the dialog preselects for the stored port name: the last entry that
// begins with the name and one blank (so "COM1" picks "COM1 ..." and never "COM10 ..."),
// compared case-sensitively; 0 when none does, -1 for an empty list.
int preselectedPort(const QStringList &entries, const QString &storedPort);

// What is stored of a port list entry or a typed name: the text before its first blank.
QString portNameOf(const QString &entry);
