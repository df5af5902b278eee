#pragma once
// Ctrl+C during a command that waits in an event loop: the signal handler may do next to
// nothing, so it writes one byte into a pipe, and the loop turns that into a cancel request.
#include <QObject>

#include <csignal>
#include <functional>
#include <memory>

class QSocketNotifier;

// Turns Ctrl+C into `cancel` (called in the event loop, on `context`'s thread) for as long as it
// lives; the previous handling of SIGINT comes back when it ends.
class InterruptToCancel
{
public:
    InterruptToCancel(QObject *context, std::function<void()> cancel);
    ~InterruptToCancel();
    InterruptToCancel(const InterruptToCancel &) = delete;
    InterruptToCancel &operator=(const InterruptToCancel &) = delete;

private:
    int m_pipe[2];
    struct sigaction m_previous {};
    std::unique_ptr<QSocketNotifier> m_notifier;
};
