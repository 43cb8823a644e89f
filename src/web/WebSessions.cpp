// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/WebSessions.h"

#include "web/ConstantTime.h"

#include <QRandomGenerator>
#include <algorithm>
#include <array>

QByteArray WebSessions::begin(double now)
{
    if (m_lastUse.size() >= MaxSessions) {
        const auto idlest = std::min_element(m_lastUse.constKeyValueBegin(), m_lastUse.constKeyValueEnd(),
                                             [](const auto& a, const auto& b) { return a.second < b.second; });
        m_lastUse.remove(idlest->first);
    }
    std::array<quint32, 8> random{};
    QRandomGenerator::system()->fillRange(random.data(), random.size());
    const QByteArray token = QByteArray(reinterpret_cast<const char*>(random.data()), sizeof(random)).toHex();
    m_lastUse.insert(token, now);
    return token;
}

bool WebSessions::use(const QByteArray& token, double now)
{
    // Every token is compared whole, so a near miss takes as long as a far one.
    bool found = false;
    for (auto it = m_lastUse.begin(); it != m_lastUse.end();) {
        if (now - it.value() > IdleSeconds) {
            it = m_lastUse.erase(it);
            continue;
        }
        if (ConstantTime::equal(it.key(), token)) {
            it.value() = now;
            found = true;
        }
        ++it;
    }
    return found;
}

void WebSessions::end(const QByteArray& token)
{
    m_lastUse.remove(token);
}
