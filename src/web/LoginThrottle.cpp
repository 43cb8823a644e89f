// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/LoginThrottle.h"

#include <algorithm>
#include <cmath>

double LoginThrottle::waitSeconds(const QHostAddress& from, double now) const
{
    const auto found = m_tries.constFind(from);
    if (found == m_tries.constEnd() || found->wrong < FreeTries)
        return 0.0;
    const double wait = std::min(std::ldexp(FirstWaitSeconds, found->wrong - FreeTries), MaxWaitSeconds);
    return std::max(0.0, found->last + wait - now);
}

void LoginThrottle::failed(const QHostAddress& from, double now)
{
    if (!m_tries.contains(from) && m_tries.size() >= MaxAddresses) {
        const auto oldest =
            std::min_element(m_tries.constKeyValueBegin(), m_tries.constKeyValueEnd(),
                             [](const auto& a, const auto& b) { return a.second.last < b.second.last; });
        m_tries.remove(oldest->first);
    }
    Tries& tries = m_tries[from];
    ++tries.wrong;
    tries.last = now;
}

void LoginThrottle::succeeded(const QHostAddress& from)
{
    m_tries.remove(from);
}
