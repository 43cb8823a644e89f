// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A loopback port held for as long as this lives: bound with SO_REUSEADDR but never listening. The system
// gives it to no one asking for a free port, a connection to it is refused, and a broker told to listen on
// it still can; so a broker keeps its port while it is stopped and started again beside other tests.
class ReservedPort
{
public:
    ReservedPort();
    ~ReservedPort();
    ReservedPort(const ReservedPort&) = delete;
    ReservedPort& operator=(const ReservedPort&) = delete;

    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};
