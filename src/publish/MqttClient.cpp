// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/MqttClient.h"

#include "publish/MqttLibrary.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <future>
#include <mosquitto.h>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int KeepAliveSeconds = 30;
constexpr int LoopTimeoutMs = 100; // how soon a new payload goes out, and how soon a stop is noticed
constexpr int MaxBackOffSeconds = 60;
// A broker that takes the connection but never answers is given up on after this long.
constexpr auto AnswerTimeout = std::chrono::seconds(15);
constexpr int NoAnswer = -1; // our own code beside libmosquitto's
constexpr int Qos = 1;

QString endpoint(const MqttOptions& o)
{
    return o.host + QLatin1Char(':') + QString::number(o.port);
}

} // namespace

struct MqttClient::Shared
{
    struct Entry
    {
        QByteArray topic;
        QByteArray payload;
        bool pending = true;
    };

    explicit Shared(MqttOptions o) : options(std::move(o)) {}

    const MqttOptions options;
    std::mutex mutex;
    std::condition_variable wake;
    std::vector<Entry> entries; // in first-publish order, one per topic
    bool stopping = false;
    bool connected = false;
    std::promise<void> done;
    const std::shared_future<void> finished = done.get_future().share();
    // Earlier clients with our will, still saying goodbye (see MqttLibrary::leaving).
    std::vector<std::shared_future<void>> predecessors;
    QString refusal; // the broker's answer when it refused the connection
    MqttStatus status;
    // Held while telling the client object, so that its destructor can take the callback away safely.
    std::mutex notifyMutex;
    std::function<void(const MqttStatus&)> notify;
    std::function<void(const QString&, const QByteArray&, bool)> deliver;

    void setStatus(bool isConnected, const QString& text)
    {
        MqttStatus copy;
        {
            std::lock_guard lock(mutex);
            connected = isConnected;
            status = {isConnected, text};
            copy = status;
        }
        std::lock_guard lock(notifyMutex);
        if (notify)
            notify(copy);
    }

    void markAllPending()
    {
        std::lock_guard lock(mutex);
        for (Entry& e : entries)
            e.pending = true;
    }

    // Sends what changed since it last went out; on the network thread only.
    void sendPending(mosquitto* mosq)
    {
        std::vector<Entry> out;
        {
            std::lock_guard lock(mutex);
            if (!connected)
                return;
            for (Entry& e : entries) {
                if (e.pending) {
                    out.push_back(e);
                    e.pending = false;
                }
            }
        }
        for (const Entry& e : out) {
            if (mosquitto_publish(mosq, nullptr, e.topic.constData(), int(e.payload.size()), e.payload.constData(), Qos,
                                  true) != MOSQ_ERR_SUCCESS) {
                std::lock_guard lock(mutex);
                for (Entry& mine : entries)
                    mine.pending = mine.pending || mine.topic == e.topic;
            }
        }
    }

    // Waits for the back-off delay; false when asked to stop meanwhile.
    bool pause(int seconds)
    {
        std::unique_lock lock(mutex);
        return !wake.wait_for(lock, std::chrono::seconds(seconds), [this] { return stopping; });
    }

    bool stopRequested()
    {
        std::lock_guard lock(mutex);
        return stopping;
    }

    QString reason(int rc, int savedErrno)
    {
        if (rc == MOSQ_ERR_ERRNO)
            return QString::fromLocal8Bit(std::strerror(savedErrno));
        if (rc == MOSQ_ERR_CONN_REFUSED || rc == MOSQ_ERR_AUTH || rc == MOSQ_ERR_NOT_SUPPORTED) {
            std::lock_guard lock(mutex);
            if (!refusal.isEmpty())
                return refusal;
        }
        if (rc == NoAnswer)
            return QStringLiteral("no answer from the broker");
        if (rc == MOSQ_ERR_TLS)
            return QStringLiteral("TLS handshake failed (is TLS on at the broker, and is its certificate trusted?)");
        if (rc == MOSQ_ERR_EAI)
            return QStringLiteral("host name not found");
        return QString::fromLocal8Bit(mosquitto_strerror(rc));
    }

    // False when asked to stop while an earlier client with our will was still saying goodbye.
    bool waitForPredecessors()
    {
        for (const std::shared_future<void>& before : predecessors) {
            while (before.wait_for(std::chrono::milliseconds(LoopTimeoutMs)) != std::future_status::ready) {
                if (stopRequested())
                    return false;
            }
        }
        predecessors.clear();
        return true;
    }

    static void onConnect(mosquitto* mosq, void* obj, int rc);
    static void onMessage(mosquitto* mosq, void* obj, const mosquitto_message* message);
    void run();
    bool configure(mosquitto* mosq);
    void sayGoodbye(mosquitto* mosq);
};

void MqttClient::Shared::onConnect(mosquitto* mosq, void* obj, int rc)
{
    auto* s = static_cast<MqttClient::Shared*>(obj);
    if (rc != 0) {
        {
            std::lock_guard lock(s->mutex);
            s->refusal = QString::fromLocal8Bit(mosquitto_connack_string(rc));
        }
        return;
    }
    // Sent by the loop once this callback has returned: libmosquitto resends what was still unacknowledged
    // when the last connection dropped only after it, and an older payload sent last would stay retained.
    s->markAllPending();
    s->setStatus(true, QStringLiteral("Connected to ") + endpoint(s->options));
    if (!s->options.republishTopic.isEmpty())
        mosquitto_subscribe(mosq, nullptr, s->options.republishTopic.toUtf8().constData(), Qos);
    if (!s->options.commandFilter.isEmpty())
        mosquitto_subscribe(mosq, nullptr, s->options.commandFilter.toUtf8().constData(), Qos);
}

void MqttClient::Shared::onMessage(mosquitto*, void* obj, const mosquitto_message* message)
{
    auto* s = static_cast<MqttClient::Shared*>(obj);
    const QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
    const QString topic = QString::fromUtf8(message->topic);
    if (topic == s->options.republishTopic && payload == s->options.republishPayload)
        s->markAllPending();
    bool isCommand = false;
    const QByteArray filter = s->options.commandFilter.toUtf8();
    if (filter.isEmpty() ||
        mosquitto_topic_matches_sub(filter.constData(), message->topic, &isCommand) != MOSQ_ERR_SUCCESS || !isCommand)
        return;
    std::lock_guard lock(s->notifyMutex);
    if (s->deliver)
        s->deliver(topic, payload, message->retain);
}

bool MqttClient::Shared::configure(mosquitto* mosq)
{
    const MqttOptions& o = options;
    mosquitto_threaded_set(mosq, true);
    mosquitto_connect_callback_set(mosq, &Shared::onConnect);
    mosquitto_message_callback_set(mosq, &Shared::onMessage);
    if (!o.username.isEmpty())
        mosquitto_username_pw_set(mosq, o.username.toUtf8().constData(), o.password.toUtf8().constData());
    if (!o.willTopic.isEmpty())
        mosquitto_will_set(mosq, o.willTopic.toUtf8().constData(), int(o.willPayload.size()), o.willPayload.constData(),
                           Qos, true);
    if (!o.useTls)
        return true;
    if (o.caFile.isEmpty())
        return mosquitto_int_option(mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1) == MOSQ_ERR_SUCCESS;
    return mosquitto_tls_set(mosq, o.caFile.toLocal8Bit().constData(), nullptr, nullptr, nullptr, nullptr) ==
           MOSQ_ERR_SUCCESS;
}

void MqttClient::Shared::sayGoodbye(mosquitto* mosq)
{
    bool wasConnected;
    {
        std::lock_guard lock(mutex);
        wasConnected = connected;
    }
    if (!wasConnected)
        return;
    if (!options.willTopic.isEmpty())
        mosquitto_publish(mosq, nullptr, options.willTopic.toUtf8().constData(), int(options.willPayload.size()),
                          options.willPayload.constData(), Qos, true);
    mosquitto_disconnect(mosq);
    // The goodbye and the disconnect go out in order; give them a second at most.
    for (int i = 0; i < 1000 / LoopTimeoutMs; ++i) {
        if (mosquitto_loop(mosq, LoopTimeoutMs, 1) != MOSQ_ERR_SUCCESS)
            break;
    }
}

void MqttClient::Shared::run()
{
    if (!waitForPredecessors())
        return;
    const QByteArray clientId = options.clientId.toUtf8();
    mosquitto* mosq = mosquitto_new(clientId.isEmpty() ? nullptr : clientId.constData(), true, this);
    if (!mosq) {
        setStatus(false, QStringLiteral("Not connected: the MQTT client could not be created"));
        return;
    }
    if (!configure(mosq)) {
        setStatus(false, QStringLiteral("Not connected to %1: the TLS settings were refused (is the CA file "
                                        "readable?)")
                             .arg(endpoint(options)));
        mosquitto_destroy(mosq);
        return;
    }

    const QByteArray host = options.host.toUtf8();
    int backOff = 1;
    bool firstAttempt = true;
    while (!stopRequested()) {
        setStatus(false, QStringLiteral("Connecting to ") + endpoint(options));
        {
            std::lock_guard lock(mutex);
            refusal.clear();
        }
        errno = 0;
        int rc = firstAttempt ? mosquitto_connect_async(mosq, host.constData(), options.port, KeepAliveSeconds)
                              : mosquitto_reconnect_async(mosq);
        int savedErrno = errno;
        if (rc == MOSQ_ERR_INVAL) {
            setStatus(false,
                      QStringLiteral("Not connected to %1: the host name or port is not valid").arg(endpoint(options)));
            break;
        }
        firstAttempt = false;
        bool wasConnected = false;
        const auto attempted = std::chrono::steady_clock::now();
        while (rc == MOSQ_ERR_SUCCESS && !stopRequested()) {
            errno = 0;
            rc = mosquitto_loop(mosq, LoopTimeoutMs, 1);
            savedErrno = errno;
            sendPending(mosq);
            std::lock_guard lock(mutex);
            wasConnected = wasConnected || connected;
            if (!wasConnected && rc == MOSQ_ERR_SUCCESS && std::chrono::steady_clock::now() - attempted > AnswerTimeout)
                rc = NoAnswer;
        }
        if (rc == NoAnswer)
            mosquitto_disconnect(mosq);
        if (stopRequested())
            break;
        if (wasConnected)
            backOff = 1;
        const QString why = QStringLiteral("Not connected to %1: %2").arg(endpoint(options), reason(rc, savedErrno));
        if (!options.reconnect) {
            setStatus(false, why);
            break;
        }
        setStatus(false, why + QStringLiteral(" (trying again in %1 s)").arg(backOff));
        if (!pause(backOff))
            break;
        backOff = std::min(backOff * 2, MaxBackOffSeconds);
    }
    sayGoodbye(mosq);
    mosquitto_destroy(mosq);
}

MqttClient::MqttClient(MqttOptions options, QObject* parent)
    : QObject(parent), m_options(options), m_shared(std::make_shared<Shared>(std::move(options)))
{
    qRegisterMetaType<MqttStatus>();
    MqttLibrary::clientCreated();
    m_shared->status = {false, QStringLiteral("Connecting to ") + endpoint(m_options)};
    m_shared->predecessors = MqttLibrary::leaving(m_options.willTopic);
    // Posted to this object, so what is still on its way (a status, a command) is dropped with it.
    m_shared->notify = [this](const MqttStatus& s) {
        QMetaObject::invokeMethod(
            this, [this, s] { emit statusChanged(s); }, Qt::QueuedConnection);
    };
    m_shared->deliver = [this](const QString& topic, const QByteArray& payload, bool retained) {
        QMetaObject::invokeMethod(
            this, [this, topic, payload, retained] { emit commandReceived(topic, payload, retained); },
            Qt::QueuedConnection);
    };
    // The thread holds the shared state, so it can outlive this object.
    m_thread = std::thread([shared = m_shared] {
        shared->run();
        shared->done.set_value();
    });
}

MqttClient::~MqttClient()
{
    {
        std::lock_guard lock(m_shared->notifyMutex);
        m_shared->notify = nullptr;
        m_shared->deliver = nullptr;
    }
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->stopping = true;
        m_shared->wake.notify_all();
    }
    // The loop notices the stop within a tenth of a second and the goodbye takes a second at most, which is
    // too long for the user-interface thread to wait: the library keeps the thread until it has finished.
    MqttLibrary::clientGone(std::move(m_thread), m_options.willTopic, m_shared->finished);
}

void MqttClient::publishRetained(const QString& topic, const QByteArray& payload)
{
    const QByteArray key = topic.toUtf8();
    std::lock_guard lock(m_shared->mutex);
    auto it = std::find_if(m_shared->entries.begin(), m_shared->entries.end(),
                           [&key](const Shared::Entry& e) { return e.topic == key; });
    if (it == m_shared->entries.end())
        m_shared->entries.push_back({key, payload, true});
    else if (it->payload != payload || !it->pending)
        *it = {key, payload, true};
}

MqttStatus MqttClient::status() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->status;
}
