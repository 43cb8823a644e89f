// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/SignalWatch.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr int Caught[] = {SIGTERM, SIGINT, SIGHUP};

// The write end for the handler, which can reach nothing else safely.
volatile sig_atomic_t s_writeEnd = -1;

extern "C" void onSignal(int number)
{
    const int saved = errno;
    const char byte = static_cast<char>(number);
    if (s_writeEnd >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(s_writeEnd, &byte, 1);
    }
    errno = saved;
}

void setHandler(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : Caught)
        sigaction(number, &action, nullptr);
}
} // namespace

SignalWatch::SignalWatch(QObject* parent) : QObject(parent)
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    s_writeEnd = m_pipe[1];
    setHandler(onSignal);
}

SignalWatch::~SignalWatch()
{
    setHandler(SIG_DFL);
    s_writeEnd = -1;
    m_notifier.reset();
    for (int fd : m_pipe)
        if (fd >= 0)
            ::close(fd);
}

void SignalWatch::deliver()
{
    if (m_pipe[0] < 0 || m_notifier)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SignalWatch::readPipe);
    readPipe();
}

void SignalWatch::readPipe()
{
    char bytes[16];
    ssize_t count;
    while ((count = ::read(m_pipe[0], bytes, sizeof bytes)) > 0)
        for (ssize_t i = 0; i < count; ++i) {
            if (bytes[i] == SIGHUP)
                emit reloadRequested();
            else
                emit stopRequested();
        }
}
