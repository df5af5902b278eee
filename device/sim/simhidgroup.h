#pragma once
// Several simulated HID devices plugged in at once: the system lists the interfaces of each
// in turn, and every call on a handle goes to the device that gave the handle out. Each
// member keeps its own records and state, so one worker per member may run at the same time.
#include "device/hidbackend.h"

#include <QList>

class SimHid;

class SimHidGroup : public HidBackend
{
public:
    SimHidGroup() = default;
    SimHidGroup(const SimHidGroup &) = delete;
    SimHidGroup &operator=(const SimHidGroup &) = delete;

    // Lists `device` after the devices added before it, numbering its paths on from theirs;
    // not owned. Its interfaces are counted as they stand now, so set them up first.
    void add(SimHid &device);
    const QList<SimHid *> &members() const { return m_members; }

    QList<UsbHidInterface> enumerate() override;
    void *open(const QByteArray &path) override;
    void close(void *handle) override;
    bool manufacturer(void *handle, char16_t *units, int capacity) override;
    int setFeature(void *handle, const uchar *report, int size) override;
    int getFeature(void *handle, uchar *report, int size) override;

private:
    SimHid *holderOf(void *handle) const;

    QList<SimHid *> m_members;
    int m_nextPathNumber = 0;
};
