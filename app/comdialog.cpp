#include "app/comdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>

void Ui_COMDialog::setupUi(QDialog *COMDialog)
{
    if (COMDialog->objectName().isEmpty())
        COMDialog->setObjectName(QString::fromUtf8("COMDialog"));
    COMDialog->resize(337, 103);

    // Created in the order of a generated form, which is also the tab order; placed by a grid
    // rather than at fixed places, so longer labels and a large font still fit.
    buttonBox = new QDialogButtonBox(COMDialog);
    buttonBox->setObjectName(QString::fromUtf8("buttonBox"));
    buttonBox->setOrientation(Qt::Horizontal);
    buttonBox->setStandardButtons(QDialogButtonBox::Cancel | QDialogButtonBox::Ok);

    label = new QLabel(COMDialog);
    label->setObjectName(QString::fromUtf8("label"));

    comboPort = new QComboBox(COMDialog);
    comboPort->setObjectName(QString::fromUtf8("comboPort"));
    comboPort->setEditable(true);

    label_4 = new QLabel(COMDialog);
    label_4->setObjectName(QString::fromUtf8("label_4"));

    comboDriver = new QComboBox(COMDialog);
    comboDriver->setObjectName(QString::fromUtf8("comboDriver"));

    checkReview = new QCheckBox(COMDialog);
    checkReview->setObjectName(QString::fromUtf8("checkReview"));
    checkBackups = new QCheckBox(COMDialog);
    checkBackups->setObjectName(QString::fromUtf8("checkBackups"));

    auto *grid = new QGridLayout(COMDialog);
    grid->addWidget(label_4, 0, 0);
    grid->addWidget(comboDriver, 0, 1, Qt::AlignLeft);
    grid->addWidget(label, 1, 0);
    grid->addWidget(comboPort, 1, 1);
    grid->addWidget(checkReview, 2, 0, 1, 2);
    grid->addWidget(checkBackups, 3, 0, 1, 2);
    grid->addWidget(buttonBox, 4, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    retranslateUi(COMDialog);

    QObject::connect(buttonBox, &QDialogButtonBox::accepted, COMDialog, &QDialog::accept);
    QObject::connect(buttonBox, &QDialogButtonBox::rejected, COMDialog, &QDialog::reject);
    QMetaObject::connectSlotsByName(COMDialog);
}

void Ui_COMDialog::retranslateUi(QDialog *COMDialog)
{
    COMDialog->setWindowTitle(QCoreApplication::translate("COMDialog", "Link settings"));
    label->setText(QCoreApplication::translate("COMDialog", "COM-port:"));
    label_4->setText(QCoreApplication::translate("COMDialog", "Driver:"));
    checkReview->setText(QCoreApplication::translate("COMDialog", "Review the changes before an upload"));
    checkBackups->setText(
        QCoreApplication::translate("COMDialog", "Keep a backup of the device's configuration before each write"));
    comboDriver->clear();
    comboDriver->insertItems(0, QStringList()
                                    << QCoreApplication::translate("COMDialog", "Auto")
                                    << QCoreApplication::translate("COMDialog", "USB-Serial")
                                    << QCoreApplication::translate("COMDialog", "USB-HID"));
}

int preselectedPort(const QStringList &entries, const QString &storedPort)
{
    if (entries.isEmpty())
        return -1;
    const QString prefix = storedPort + QLatin1Char(' ');
    int chosen = 0;
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i).startsWith(prefix, Qt::CaseSensitive))
            chosen = i;
    }
    return chosen;
}

QString portNameOf(const QString &entry)
{
    const qsizetype blank = entry.indexOf(QLatin1Char(' '));
    return blank < 0 ? entry : entry.left(blank);
}
