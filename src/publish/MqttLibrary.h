// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <future>
#include <thread>
#include <vector>

// libmosquitto for the whole program. A client that goes hands its network thread over to this and returns
// at once, and the thread says goodbye alone. One MqttLibrary lives in main() around every client: its end
// waits for those threads and then cleans libmosquitto up, so nothing runs inside libmosquitto or OpenSSL
// while the program's statics are destroyed.
class MqttLibrary
{
public:
    MqttLibrary() = default;
    // Waits for the goodbyes (about a second at most; a name look-up that hangs ends by its own time-out).
    ~MqttLibrary();
    MqttLibrary(const MqttLibrary&) = delete;
    MqttLibrary& operator=(const MqttLibrary&) = delete;

    // For MqttClient: the first client sets libmosquitto up.
    static void clientCreated();
    // For MqttClient: the network thread of a client that has gone, and what tells that it has finished.
    static void clientGone(std::thread thread, const QString& willTopic, std::shared_future<void> finished);
    // The clients with this will that are still saying goodbye. A new client waits for them before it
    // connects, so an old "offline" never lands after the new "online".
    static std::vector<std::shared_future<void>> leaving(const QString& willTopic);
};
