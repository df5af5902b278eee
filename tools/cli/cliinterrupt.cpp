#include "tools/cli/cliinterrupt.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The write end of the pipe that carries Ctrl+C from the signal handler into the event loop;
// -1 while nothing waits. A signal handler can reach nothing but a global.
volatile std::sig_atomic_t interruptFd = -1;

void onInterrupt(int)
{
    const int fd = interruptFd;
    if (fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
}

} // namespace

InterruptToCancel::InterruptToCancel(QObject *context, std::function<void()> cancel)
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_pipe[0] = m_pipe[1] = -1;
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, context, [this, cancel = std::move(cancel)] {
        char byte;
        while (::read(m_pipe[0], &byte, 1) > 0) {
        }
        cancel();
    });
    interruptFd = m_pipe[1];
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &m_previous);
}

InterruptToCancel::~InterruptToCancel()
{
    if (m_pipe[0] < 0)
        return;
    sigaction(SIGINT, &m_previous, nullptr);
    interruptFd = -1;
    m_notifier.reset();
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}
