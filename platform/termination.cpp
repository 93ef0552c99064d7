#include "platform/termination.h"

#ifdef Q_OS_UNIX
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_seen = 0;

extern "C" void onTerminationSignal(int sig)
{
    if (g_seen) {
        ::_exit(128 + sig);  // asked twice: no second shut-down
    }
    g_seen = 1;
    const char byte = char(sig);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[0], &byte, 1);
}
} // namespace

TerminationRequests::TerminationRequests(QObject *parent) : QObject(parent)
{
    // The handler may only write to a socket; the window hears of it through
    // the event loop.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(g_pipe[1], &byte, 1);
        emit Requested();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

TerminationRequests::~TerminationRequests()
{
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
}
#else
TerminationRequests::TerminationRequests(QObject *parent) : QObject(parent) {}
TerminationRequests::~TerminationRequests() = default;
#endif
