#include "device/sim/simhid.h"

#include <cstring>

namespace {

constexpr uchar WriteImageCommand = HidCommand::Write + HidImageBlock;
constexpr uchar WriteFirmwareCommand = HidCommand::Write + HidFirmwareBlock;

constexpr char PathStem[] = "sim-hid-";
constexpr int PathStemLength = sizeof PathStem - 1;

QByteArray idField(const QByteArray &id)
{
    QByteArray field = id.left(HidIdFieldSize);
    field.append(QByteArray(HidIdFieldSize - field.size(), '\0'));
    return field;
}

void appendLe32(QByteArray *bytes, qint32 value)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes->append(char(quint32(value) >> shift));
}

} // namespace

SimHid::SimHid(SimDevice &device)
    : interfaces{SimHidInterface()}, m_device(device)
{
}

QByteArray SimHid::infoRecord() const
{
    QByteArray data;
    if (!infoData.isEmpty()) {
        data = infoData.left(DataSize);
    } else {
        data = idField(m_device.softwareId) + idField(m_device.hardwareId);
        appendLe32(&data, m_device.imageCapacity);
        appendLe32(&data, m_device.firmwareCapacity);
    }
    data.append(QByteArray(DataSize - data.size(), '\0'));
    return data;
}

QList<QByteArray> SimHid::setReports() const
{
    QList<QByteArray> reports;
    for (const SimHidCall &call : calls) {
        if (call.kind == SimHidCall::Set)
            reports.append(call.report);
    }
    return reports;
}

void SimHid::clearRecords()
{
    calls.clear();
    opened.clear();
    closedIndices.clear();
    receivedImage.clear();
    receivedFirmware.clear();
    lastError.clear();
}

QList<UsbHidInterface> SimHid::enumerate()
{
    QList<UsbHidInterface> list;
    for (int i = 0; i < interfaces.size(); ++i) {
        const SimHidInterface &sim = interfaces[i];
        list.append({QByteArray(PathStem) + QByteArray::number(firstPathNumber + i), sim.vendorId, sim.productId});
    }
    return list;
}

void *SimHid::open(const QByteArray &path)
{
    if (!path.startsWith(PathStem))
        return nullptr;
    bool ok = false;
    const int index = path.mid(PathStemLength).toInt(&ok) - firstPathNumber;
    if (!ok || index < 0 || index >= interfaces.size() || !interfaces[index].openable)
        return nullptr;
    opened.append(index);
    ++m_open;
    // A fresh connection: the device starts its counts and transfers anew.
    m_callNumber = m_setNumber = m_getNumber = 0;
    m_pending.clear();
    receivedImage.clear();
    receivedFirmware.clear();
    m_firmwareReceived = false;
    return handleOf(index);
}

// The handle of the interface with path number n: n + 1, so that no handle is null.
void *SimHid::handleOf(int index) const
{
    return reinterpret_cast<void *>(quintptr(firstPathNumber + index) + 1);
}

int SimHid::indexOf(void *handle) const
{
    const qintptr index = qintptr(reinterpret_cast<quintptr>(handle)) - 1 - firstPathNumber;
    return index >= 0 && index < interfaces.size() ? int(index) : -1;
}

void SimHid::close(void *handle)
{
    const int index = indexOf(handle);
    if (index < 0)
        return;
    closedIndices.append(index);
    --m_open;
    // Nothing marks the end of a firmware update but the program letting go of the device.
    if (m_firmwareReceived) {
        QString error;
        if (!m_device.storeFirmware(receivedFirmware, &error))
            lastError = error;
        m_firmwareReceived = false;
    }
}

bool SimHid::manufacturer(void *handle, char16_t *units, int capacity)
{
    const int index = indexOf(handle);
    if (index < 0 || capacity <= 0 || !interfaces[index].manufacturerReadable)
        return false;
    const QString &text = interfaces[index].manufacturer;
    const int count = int(qMin<qsizetype>(text.size(), capacity - 1));
    for (int i = 0; i < count; ++i)
        units[i] = text.at(i).unicode();
    units[count] = 0;
    return true;
}

bool SimHid::failsNow(SimHidFaultKind kind) const
{
    const int number = kind == SimHidFaultKind::SetFails ? m_setNumber
                       : kind == SimHidFaultKind::UnplugAfter ? m_callNumber
                                                              : m_getNumber;
    for (const SimHidFault &fault : faults) {
        if (fault.kind != kind)
            continue;
        if (kind == SimHidFaultKind::UnplugAfter ? number > fault.call : number == fault.call)
            return true;
    }
    return false;
}

bool SimHid::hasFault(SimHidFaultKind kind) const
{
    for (const SimHidFault &fault : faults) {
        if (fault.kind == kind)
            return true;
    }
    return false;
}

int SimHid::beginCall()
{
    ++m_callNumber;
    if (onCall)
        onCall(m_callNumber);
    return m_callNumber;
}

int SimHid::setFeature(void *handle, const uchar *report, int size)
{
    const int index = indexOf(handle);
    if (index < 0 || size <= 0)
        return -1;
    ++m_setNumber;
    beginCall();
    const QByteArray bytes(reinterpret_cast<const char *>(report), size);
    bool ok = size == ReportSize && !failsNow(SimHidFaultKind::SetFails)
              && !failsNow(SimHidFaultKind::UnplugAfter)
              && !(uchar(bytes.at(HidCommandOffset)) == HidCommand::Info
                   && hasFault(SimHidFaultKind::InfoRefused));
    m_pending.clear();
    if (ok)
        ok = answerSet(bytes);
    calls.append({SimHidCall::Set, index, bytes, ok});
    return ok ? size : -1;
}

bool SimHid::answerSet(const QByteArray &report)
{
    const uchar command = uchar(report.at(HidCommandOffset));
    const int address = uchar(report.at(HidAddressOffset)) | uchar(report.at(HidAddressOffset + 1)) << 8
                        | uchar(report.at(HidAddressOffset + 2)) << 16;
    const QByteArray data = report.mid(HidDataOffset);
    const QByteArray header = report.left(HidDataOffset);
    switch (command) {
    case HidCommand::Info:
        m_pending = header + infoRecord();
        return true;
    case HidCommand::ReadImage: {
        QByteArray image;
        if (!m_device.loadImage(&image, &lastError))
            return false;
        QByteArray block = image.mid(address, DataSize);
        block.append(QByteArray(DataSize - block.size(), DownloadFill));
        m_pending = header + block;
        return true;
    }
    case WriteImageCommand: {
        storeWrite(&receivedImage, address, data);
        // The image is stored once all the bytes its size header announces have arrived.
        if (receivedImage.size() < 2)
            return true;
        const int announced = uchar(receivedImage.at(0)) | uchar(receivedImage.at(1)) << 8;
        if (address + DataSize < announced + 4 || address >= announced + 4)
            return true;
        return m_device.storeImage(receivedImage, &lastError);
    }
    case WriteFirmwareCommand:
        storeWrite(&receivedFirmware, address, data);
        m_firmwareReceived = true;
        return true;
    default:
        return false; // the device stalls on a command it does not know
    }
}

void SimHid::storeWrite(QByteArray *target, int address, const QByteArray &data)
{
    if (target->size() < address + data.size())
        target->append(QByteArray(address + data.size() - target->size(), '\0'));
    std::memcpy(target->data() + address, data.constData(), size_t(data.size()));
}

int SimHid::getFeature(void *handle, uchar *report, int size)
{
    const int index = indexOf(handle);
    if (index < 0 || size <= 0)
        return -1;
    ++m_getNumber;
    beginCall();
    // Only a request that expects an answer leaves one; it is given once.
    const QByteArray answer = m_pending;
    m_pending.clear();
    const bool ok = size == ReportSize && !answer.isEmpty() && report[0] == 0
                    && !failsNow(SimHidFaultKind::GetFails) && !failsNow(SimHidFaultKind::UnplugAfter);
    if (!ok) {
        calls.append({SimHidCall::Get, index, QByteArray(), false});
        return -1;
    }
    const int length = failsNow(SimHidFaultKind::ShortReply) ? size / 2 : size;
    std::memcpy(report, answer.constData(), size_t(length));
    report[0] = 0;
    calls.append({SimHidCall::Get, index, answer.left(length), true});
    return length;
}
