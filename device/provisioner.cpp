#include "device/provisioner.h"

#include <QCoreApplication>

#include "device/backups.h"
#include "device/device.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

struct Provisioner::Unit {
    ProvisionTarget target;
    std::unique_ptr<Device> device;
    ProvisionOutcome outcome;
    Stage stage = Started;
    QElapsedTimer clock;
    QTimer limit;
    bool timedOut = false;
};

Provisioner::Provisioner(HidBackend *hidBackend, QObject *parent)
    : QObject(parent), m_hidBackend(hidBackend)
{
}

Provisioner::~Provisioner()
{
    // All at once, so that the workers wind down together rather than one after another.
    cancel();
}

void Provisioner::start(const QList<ProvisionTarget> &targets, const QString &softwareId)
{
    if (!m_units.empty())
        return;
    m_softwareId = softwareId;
    for (const ProvisionTarget &target : targets) {
        auto unit = std::make_unique<Unit>();
        unit->target = target;
        unit->outcome.link = target.link;
        unit->device = std::make_unique<Device>(target.link, m_hidBackend);
        m_units.push_back(std::move(unit));
    }
    for (int i = 0; i < count(); ++i) {
        Unit &unit = *m_units[size_t(i)];
        // Both arrive queued from the worker's thread, after the worker has moved on: the
        // step's result is read from the worker itself.
        connect(unit.device.get(), &Device::resultReady, this, [this, i] { onStepEnded(i); });
        connect(unit.device.get(), &Device::progressChanged, this,
                [this, i](int value) { emit progressChanged(i, qBound(0, value, 100)); });
        unit.limit.setSingleShot(true);
        unit.limit.setTimerType(Qt::PreciseTimer);
        connect(&unit.limit, &QTimer::timeout, this, [this, i] { onTimeLimit(i); });
        unit.limit.start(m_timeoutMs);
        unit.clock.start();
        emit stageChanged(i, Started);
        unit.device->startIdentify();
    }
    if (targets.isEmpty())
        emit finished();
}

void Provisioner::cancel()
{
    m_cancelled = true;
    for (const std::unique_ptr<Unit> &unit : m_units)
        unit->device->requestCancel();
}

void Provisioner::onTimeLimit(int index)
{
    Unit &unit = *m_units[size_t(index)];
    unit.timedOut = true;
    unit.device->requestCancel();
    // A worker whose thread never ran has no result to come.
    if (!unit.device->isRunning() && !unit.device->hasResult())
        finish(index, ProtocolError);
}

void Provisioner::setStage(int index, Stage stage)
{
    m_units[size_t(index)]->stage = stage;
    emit stageChanged(index, stage);
}

void Provisioner::startUpload(int index)
{
    Unit &unit = *m_units[size_t(index)];
    setStage(index, Uploading);
    unit.device->setImage(unit.target.image);
    unit.device->startUpload(m_softwareId);
}

void Provisioner::onStepEnded(int index)
{
    Unit &unit = *m_units[size_t(index)];
    if (unit.stage == Done || unit.stage == Failed)
        return;
    // The signal comes just before the thread ends, and a thread still running cannot be
    // started again.
    Device &device = *unit.device;
    device.wait();
    // A limit or a cancel that came between two steps reached no worker: the next step
    // starts with a fresh request.
    if (unit.timedOut)
        return finish(index, ProtocolError);
    if (device.result() != Ok)
        return finish(index, device.result());
    if (m_cancelled)
        return finish(index, Canceled);

    switch (device.operation()) {
    case 'I':
        unit.outcome.hardwareId = device.hardwareId();
        unit.outcome.softwareId = device.softwareId();
        if (device.softwareId() != m_softwareId)
            return finish(index, Incompatible);
        setStage(index, Identified);
        if (!m_keepBackups)
            return startUpload(index);
        device.startDownload();
        return;
    case 'R': {
        // What is kept is named by what the download identified, in case another device has
        // taken the link's place since.
        unit.outcome.backupPath = backups::store(device.hardwareId(), device.softwareId(),
                                                 backups::imageProper(device.image()), &unit.outcome.backupError);
        if (unit.outcome.backupPath.isEmpty())
            return finish(index, FileError);
        setStage(index, BackedUp);
        return startUpload(index);
    }
    default:
        return finish(index, Ok);
    }
}

void Provisioner::finish(int index, int result)
{
    Unit &unit = *m_units[size_t(index)];
    unit.limit.stop();
    unit.outcome.result = result;
    unit.outcome.timedOut = unit.timedOut;
    unit.outcome.seconds = unit.clock.nsecsElapsed() / 1e9;
    ++m_ended;
    setStage(index, result == Ok ? Done : Failed);
    if (isFinished())
        emit finished();
}

void Provisioner::waitForFinished()
{
    if (isFinished())
        return;
    QEventLoop loop;
    connect(this, &Provisioner::finished, &loop, &QEventLoop::quit);
    loop.exec();
}

Provisioner::Stage Provisioner::stage(int index) const
{
    return m_units[size_t(index)]->stage;
}

const ProvisionOutcome &Provisioner::outcome(int index) const
{
    return m_units[size_t(index)]->outcome;
}

int Provisioner::firstFailure() const
{
    for (const std::unique_ptr<Unit> &unit : m_units) {
        if (unit->outcome.result != Ok)
            return unit->outcome.result;
    }
    return Ok;
}

QString provisionResultText(int result)
{
    return result == Ok ? QCoreApplication::translate("MainWindow", "Transfer ok.") : deviceResultMessage(result);
}

QString provisionReportLine(const ProvisionOutcome &o)
{
    return QStringList{o.link, QString::number(o.result), o.hardwareId, o.softwareId,
                       QString::number(o.seconds, 'f', 1), o.backupPath, provisionResultText(o.result)}
        .join(QLatin1Char('\t'));
}
