#include "device/device.h"

#include <QCoreApplication>

Device::Device(const QString &link, QObject *parent)
    : QThread(parent), link(link)
{
}

Device::Device(QObject *parent)
    : Device(QStringLiteral("AUTO"), parent)
{
}

Device::~Device()
{
    cancelRequested.store(true, std::memory_order_relaxed);
    wait();
}

void Device::startOperation(char op)
{
    operation = op;
    progress.store(0, std::memory_order_relaxed);
    cancelRequested.store(false, std::memory_order_relaxed);
    start(QThread::InheritPriority);
}

void Device::startIdentify()
{
    startOperation('I');
}

void Device::startDownload()
{
    startOperation('R');
}

void Device::startUpload(const QString &expected)
{
    expectedSoftwareId = expected;
    startOperation('W');
}

void Device::startFirmwareUpdate(const QString &fileName)
{
    firmwareFile = fileName;
    startOperation('P');
}

QString deviceResultMessage(int code)
{
    switch (code) {
    case PortError:
        return QCoreApplication::translate("MainWindow", "COM-port error.");
    case NotFound:
        return QCoreApplication::translate("MainWindow", "Device not found.");
    case FileError:
        return QCoreApplication::translate("MainWindow", "File error.");
    case ProtocolError:
        return QCoreApplication::translate("MainWindow", "Protocol error.");
    case Canceled:
        return QCoreApplication::translate("MainWindow", "Transfer canceled.");
    case Incompatible:
        return QCoreApplication::translate("MainWindow", "Incompatible version of hardware/software.");
    default:
        return QCoreApplication::translate("MainWindow", "Unknown error.");
    }
}
