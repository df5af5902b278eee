#pragma once
// One device command at a time (or the link settings, which list the ports the command may be
// about to open): the window's choice, since a second transfer started from it would only
// fight the first for the same device. The progress dialog is modal to the window, which keeps
// the menus and shortcuts out of reach; this flag also turns away anything that reaches a slot
// during the wait (an action triggered from code, or a key after Cancel has hidden the dialog).
class TransferLock
{
public:
    explicit TransferLock(bool &running)
        : running(running), owner(!running)
    {
        running = true;
    }
    ~TransferLock()
    {
        if (owner)
            running = false;
    }
    TransferLock(const TransferLock &) = delete;
    TransferLock &operator=(const TransferLock &) = delete;

    bool acquired() const { return owner; }

private:
    bool &running;
    const bool owner;
};
