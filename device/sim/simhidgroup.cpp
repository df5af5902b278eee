#include "device/sim/simhidgroup.h"

#include "device/sim/simhid.h"

void SimHidGroup::add(SimHid &device)
{
    device.firstPathNumber = m_nextPathNumber;
    m_nextPathNumber += int(device.interfaces.size());
    m_members.append(&device);
}

SimHid *SimHidGroup::holderOf(void *handle) const
{
    for (SimHid *member : m_members) {
        if (member->holds(handle))
            return member;
    }
    return nullptr;
}

QList<UsbHidInterface> SimHidGroup::enumerate()
{
    QList<UsbHidInterface> list;
    for (SimHid *member : m_members)
        list += member->enumerate();
    return list;
}

void *SimHidGroup::open(const QByteArray &path)
{
    // Only the member that listed the path opens it; the others do not record the attempt.
    for (SimHid *member : m_members) {
        for (const UsbHidInterface &listed : member->enumerate()) {
            if (listed.path == path)
                return member->open(path);
        }
    }
    return nullptr;
}

void SimHidGroup::close(void *handle)
{
    if (SimHid *member = holderOf(handle))
        member->close(handle);
}

bool SimHidGroup::manufacturer(void *handle, char16_t *units, int capacity)
{
    SimHid *member = holderOf(handle);
    return member && member->manufacturer(handle, units, capacity);
}

int SimHidGroup::setFeature(void *handle, const uchar *report, int size)
{
    SimHid *member = holderOf(handle);
    return member ? member->setFeature(handle, report, size) : -1;
}

int SimHidGroup::getFeature(void *handle, uchar *report, int size)
{
    SimHid *member = holderOf(handle);
    return member ? member->getFeature(handle, report, size) : -1;
}
