// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/MqttLibrary.h"

#include <algorithm>
#include <chrono>
#include <mosquitto.h>
#include <mutex>

namespace {

struct Leaving
{
    std::thread thread;
    QString willTopic;
    std::shared_future<void> finished;
};

struct Registry
{
    std::mutex mutex;
    std::vector<Leaving> leaving;
    int clients = 0; // made and not yet gone
    bool initialised = false;
};

bool hasFinished(const std::shared_future<void>& finished)
{
    return finished.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

// Never destroyed: a thread of a program without an MqttLibrary may still use it while the statics go.
Registry& registry()
{
    static auto* r = new Registry;
    return *r;
}

} // namespace

MqttLibrary::~MqttLibrary()
{
    Registry& r = registry();
    std::vector<Leaving> leaving;
    {
        std::lock_guard lock(r.mutex);
        leaving.swap(r.leaving);
    }
    for (Leaving& l : leaving)
        l.thread.join();
    std::lock_guard lock(r.mutex);
    if (r.initialised && r.clients == 0 && r.leaving.empty()) {
        mosquitto_lib_cleanup();
        r.initialised = false;
    }
}

void MqttLibrary::clientCreated()
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (!r.initialised)
        mosquitto_lib_init();
    r.initialised = true;
    ++r.clients;
}

void MqttLibrary::clientGone(std::thread thread, const QString& willTopic, std::shared_future<void> finished)
{
    Registry& r = registry();
    std::vector<Leaving> done;
    {
        std::lock_guard lock(r.mutex);
        --r.clients;
        const auto gone = std::stable_partition(r.leaving.begin(), r.leaving.end(),
                                                [](const Leaving& l) { return !hasFinished(l.finished); });
        std::move(gone, r.leaving.end(), std::back_inserter(done));
        r.leaving.erase(gone, r.leaving.end());
        r.leaving.push_back({std::move(thread), willTopic, std::move(finished)});
    }
    // Finished threads only have to return: joining them takes no time.
    for (Leaving& l : done)
        l.thread.join();
}

std::vector<std::shared_future<void>> MqttLibrary::leaving(const QString& willTopic)
{
    Registry& r = registry();
    std::vector<std::shared_future<void>> before;
    if (willTopic.isEmpty())
        return before;
    std::lock_guard lock(r.mutex);
    for (const Leaving& l : r.leaving) {
        if (l.willTopic == willTopic && !hasFinished(l.finished))
            before.push_back(l.finished);
    }
    return before;
}
