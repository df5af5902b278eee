#include "app/comdialog.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>

void Ui_COMDialog::setupUi(QDialog *COMDialog)
{
    if (COMDialog->objectName().isEmpty())
        COMDialog->setObjectName(QString::fromUtf8("COMDialog"));
    COMDialog->resize(337, 103);

    buttonBox = new QDialogButtonBox(COMDialog);
    buttonBox->setObjectName(QString::fromUtf8("buttonBox"));
    buttonBox->setGeometry(QRect(10, 70, 321, 32));
    buttonBox->setOrientation(Qt::Horizontal);
    buttonBox->setStandardButtons(QDialogButtonBox::Cancel | QDialogButtonBox::Ok);

    label = new QLabel(COMDialog);
    label->setObjectName(QString::fromUtf8("label"));
    label->setGeometry(QRect(10, 43, 81, 16));

    comboPort = new QComboBox(COMDialog);
    comboPort->setObjectName(QString::fromUtf8("comboPort"));
    comboPort->setGeometry(QRect(90, 40, 241, 22));
    comboPort->setEditable(true);

    label_4 = new QLabel(COMDialog);
    label_4->setObjectName(QString::fromUtf8("label_4"));
    label_4->setGeometry(QRect(10, 13, 81, 16));

    comboDriver = new QComboBox(COMDialog);
    comboDriver->setObjectName(QString::fromUtf8("comboDriver"));
    comboDriver->setGeometry(QRect(90, 10, 111, 22));

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
