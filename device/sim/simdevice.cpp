#include "device/sim/simdevice.h"

#include <QFile>
#include <QSaveFile>

namespace {

enum class Params { None, Block, Ms, BlockMs };

struct ModeInfo {
    const char *name;
    FaultKind kind;
    Params params;
};

const ModeInfo modes[] = {
    {"silence", FaultKind::Silence, Params::None},
    {"garbage-before-id", FaultKind::GarbageBeforeId, Params::None},
    {"stx-no-etx", FaultKind::StxNoEtx, Params::None},
    {"empty-etx", FaultKind::EmptyEtx, Params::None},
    {"long-id", FaultKind::LongId, Params::None},
    {"nak-block", FaultKind::NakBlock, Params::Block},
    {"can-block", FaultKind::CanBlock, Params::Block},
    {"repeat-block", FaultKind::RepeatBlock, Params::Block},
    {"wrong-number", FaultKind::WrongNumber, Params::Block},
    {"bad-checksum", FaultKind::BadChecksum, Params::Block},
    {"truncate-block", FaultKind::TruncateBlock, Params::Block},
    {"unplug-after", FaultKind::UnplugAfter, Params::Block},
    {"eot-first", FaultKind::EotFirst, Params::None},
    {"extra-block", FaultKind::ExtraBlock, Params::None},
    {"no-start-nak", FaultKind::NoStartNak, Params::None},
    {"delay-id", FaultKind::DelayId, Params::Ms},
    {"delay-first-block", FaultKind::DelayFirstBlock, Params::Ms},
    {"delay-block", FaultKind::DelayBlock, Params::BlockMs},
    {"delay-ack", FaultKind::DelayAck, Params::BlockMs},
    {"delay-start-nak", FaultKind::DelayStartNak, Params::Ms},
};

bool parseNumber(const QString &text, int min, int max, int *value)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok || v < min || v > max)
        return false;
    *value = v;
    return true;
}

} // namespace

bool SimFaults::add(const QString &mode, QString *error)
{
    const QStringList parts = mode.split(QLatin1Char(':'));
    const ModeInfo *info = nullptr;
    for (const ModeInfo &m : modes) {
        if (parts.first() == QLatin1String(m.name))
            info = &m;
    }
    if (!info) {
        *error = QStringLiteral("unknown fault mode '%1'").arg(mode);
        return false;
    }
    const int wanted = info->params == Params::None ? 0 : info->params == Params::BlockMs ? 2 : 1;
    if (parts.size() - 1 != wanted) {
        static const char *const forms[] = {"", ":K", ":MS", ":K:MS"};
        *error = QStringLiteral("fault mode '%1' takes the form %2%3")
                     .arg(mode, parts.first(), QLatin1String(forms[int(info->params)]));
        return false;
    }
    Fault fault{info->kind, 0, 0};
    // Block 0 only means something for unplugging: right at the command letter.
    const int minBlock = info->kind == FaultKind::UnplugAfter ? 0
                         : info->kind == FaultKind::RepeatBlock ? 2 // block 1 has no predecessor
                                                                : 1;
    if (info->params == Params::Block || info->params == Params::BlockMs) {
        if (!parseNumber(parts.at(1), minBlock, 1 << 20, &fault.block)) {
            *error = QStringLiteral("fault mode '%1': block number must be %2 or more")
                         .arg(mode).arg(minBlock);
            return false;
        }
    }
    if (info->params == Params::Ms || info->params == Params::BlockMs) {
        if (!parseNumber(parts.last(), 0, MaxDelayMs, &fault.ms)) {
            *error = QStringLiteral("fault mode '%1': delay must be 0 to %2 ms").arg(mode).arg(MaxDelayMs);
            return false;
        }
    }
    m_faults.append(fault);
    return true;
}

bool SimFaults::has(FaultKind kind) const
{
    for (const Fault &f : m_faults) {
        if (f.kind == kind)
            return true;
    }
    return false;
}

bool SimFaults::atBlock(FaultKind kind, int block) const
{
    for (const Fault &f : m_faults) {
        if (f.kind == kind && f.block == block)
            return true;
    }
    return false;
}

int SimFaults::delayMs(FaultKind kind, int block) const
{
    int total = 0;
    for (const Fault &f : m_faults) {
        if (f.kind == kind && f.block == block)
            total += f.ms;
    }
    return total;
}

int SimFaults::unplugAfter() const
{
    int at = -1;
    for (const Fault &f : m_faults) {
        if (f.kind == FaultKind::UnplugAfter && (at < 0 || f.block < at))
            at = f.block;
    }
    return at;
}

bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    if (file.write(data) != data.size() || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

bool SimDevice::loadImage(QByteArray *image, QString *error) const
{
    if (imagePath.isEmpty()) {
        *image = m_image;
        return true;
    }
    QFile file(imagePath);
    if (!file.exists()) {
        image->clear();
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(imagePath, file.errorString());
        return false;
    }
    // Read at most one byte past the capacity: enough to tell the file is too big.
    QByteArray data = file.read(qint64(imageCapacity) + 1);
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("cannot read %1: %2").arg(imagePath, file.errorString());
        return false;
    }
    if (data.size() > imageCapacity) {
        *error = QStringLiteral("image %1 is larger than the device holds (%2 bytes)")
                     .arg(imagePath).arg(imageCapacity);
        return false;
    }
    *image = data;
    return true;
}

QByteArray SimDevice::imageFromReceived(const QByteArray &received)
{
    if (received.size() < 2)
        return received;
    const int n = uchar(received.at(0)) | (uchar(received.at(1)) << 8);
    if (n + 4 <= received.size())
        return received.left(n + 4);
    return received;
}

bool SimDevice::storeImage(const QByteArray &received, QString *error)
{
    const QByteArray image = imageFromReceived(received);
    // What a later download could not serve is not stored either.
    if (image.size() > imageCapacity) {
        *error = QStringLiteral("received image of %1 bytes, the device holds %2").arg(image.size()).arg(imageCapacity);
        return false;
    }
    if (!imagePath.isEmpty() && !writeFileAtomically(imagePath, image, error))
        return false;
    m_image = image;
    return true;
}

bool SimDevice::storeFirmware(const QByteArray &payload, QString *error)
{
    if (!firmwarePath.isEmpty() && !writeFileAtomically(firmwarePath, payload, error))
        return false;
    m_firmware = payload;
    return true;
}

QByteArray SimDevice::identificationText() const
{
    QByteArray text = hardwareId + '\n' + softwareId;
    if (faults.has(FaultKind::LongId)) {
        // Digits make it easy to see where a receiver cut the text.
        while (text.size() < SimFaults::LongIdLength)
            text.append(char('0' + text.size() % 10));
        text.truncate(SimFaults::LongIdLength);
    }
    return text;
}
