#include "device/device.h"

#include <QCoreApplication>
#include <QEventLoop>

Device::Device(const QString &link, HidBackend *hidBackend, QObject *parent)
    : QThread(parent), m_link(link), m_hidBackend(hidBackend)
{
}

Device::~Device()
{
    requestCancel();
    wait();
}

void Device::startOperation(char op)
{
    m_operation = op;
    m_progress.store(0, std::memory_order_relaxed);
    m_cancelRequested.store(false, std::memory_order_relaxed);
    m_hasResult.store(false, std::memory_order_relaxed);
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
    m_expectedSoftwareId = expected;
    startOperation('W');
}

void Device::startFirmwareUpdate(const QString &fileName)
{
    m_firmwareFile = fileName;
    startOperation('P');
}

void Device::setProgress(int value)
{
    if (m_progress.exchange(value, std::memory_order_relaxed) != value)
        emit progressChanged(value);
}

void Device::setIdentifiers(const QString &hardwareId, const QString &softwareId)
{
    m_hardwareId = hardwareId;
    m_softwareId = softwareId;
}

void Device::run()
{
    m_result = runOperation();
    // Set before the signal: a waiter that looks after this point does not wait, one that
    // looked before gets the signal.
    m_hasResult.store(true, std::memory_order_release);
    emit resultReady(m_result);
}

int Device::waitForResult()
{
    if (isRunning() && !hasResult()) {
        QEventLoop loop;
        connect(this, &Device::resultReady, &loop, &QEventLoop::quit, Qt::QueuedConnection);
        if (!hasResult())
            loop.exec();
    }
    wait();
    return m_result;
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
