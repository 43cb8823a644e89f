// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QHostAddress>

// Wrong passwords by address: after FreeTries wrong ones in a row, that address waits before its next try is
// checked, the wait doubling with each further wrong try up to MaxWaitSeconds. A right password clears it. Holds
// at most MaxAddresses, forgetting the one whose last try is oldest, so a flood of addresses cannot fill memory.
class LoginThrottle
{
public:
    static constexpr int FreeTries = 5;
    static constexpr double FirstWaitSeconds = 1.0;
    static constexpr double MaxWaitSeconds = 300.0;
    static constexpr int MaxAddresses = 1024;

    // Seconds until the address may try again; 0 when it may now. now: seconds of a clock that never goes back.
    double waitSeconds(const QHostAddress& from, double now) const;
    void failed(const QHostAddress& from, double now);
    void succeeded(const QHostAddress& from);

private:
    struct Tries
    {
        int wrong = 0;
        double last = 0.0;
    };
    QHash<QHostAddress, Tries> m_tries;
};
