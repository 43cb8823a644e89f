// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/BrowserSession.h"

#include "support/TestContext.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QTimer>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

const QString Chromium = QStringLiteral("/usr/bin/chromium");
const QString ChromeDriver = QStringLiteral("/usr/bin/chromedriver");
// W3C WebDriver's key of an element reference.
const QString ElementKey = QStringLiteral("element-6066-11e4-a52e-4f735466cecf");

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

BrowserSession::~BrowserSession()
{
    stop();
}

QString BrowserSession::start()
{
    for (const QString& program : {Chromium, ChromeDriver})
        if (!QFileInfo(program).isExecutable())
            return program + QStringLiteral(" is missing: run scripts/install-deps, which installs Chromium and "
                                            "chromedriver for the web page's tests");
    m_driver.setProcessChannelMode(QProcess::MergedChannels);
    // A test process that dies takes the driver with it; the browser and its helpers share the driver's process group.
    m_driver.setChildProcessModifier([] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::setpgid(0, 0);
    });
    m_driver.start(ChromeDriver, {QStringLiteral("--port=%1").arg(m_port.port())});
    if (!m_driver.waitForStarted(10000))
        return QStringLiteral("chromedriver did not start: ") + m_driver.errorString();
    const QDeadlineTimer deadline(30000);
    while (!request("GET", QStringLiteral("/status"), {}, 2000).value[QStringLiteral("ready")].toBool()) {
        if (deadline.hasExpired() || m_driver.state() != QProcess::Running)
            return QStringLiteral("chromedriver did not get ready: ") + QString::fromLocal8Bit(m_driver.readAll());
        pause(100);
    }
    // --lang: numbers are written the same way on every test machine.
    const QStringList args = QStringLiteral("--headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
                                            "--disable-background-networking --disable-component-update "
                                            "--disable-sync --hide-scrollbars --lang=en-GB")
                                 .split(u' ')
                             << QStringLiteral("--user-data-dir=") + m_profile.path();
    const QJsonObject options{{QStringLiteral("binary"), Chromium},
                              {QStringLiteral("args"), QJsonArray::fromStringList(args)}};
    const QJsonObject capabilities{{QStringLiteral("browserName"), QStringLiteral("chrome")},
                                   {QStringLiteral("goog:chromeOptions"), options}};
    const Answer session =
        request("POST", QStringLiteral("/session"),
                {{QStringLiteral("capabilities"), QJsonObject{{QStringLiteral("alwaysMatch"), capabilities}}}}, 90000);
    if (!session.error.isEmpty())
        return QStringLiteral("Chromium did not start: ") + session.error;
    m_session = session.value[QStringLiteral("sessionId")].toString();
    return {};
}

void BrowserSession::setWindowSize(int width, int height)
{
    const auto setOuter = [&](int w, int h) {
        call("POST", QStringLiteral("/window/rect"), QStringLiteral("the window"),
             {{QStringLiteral("width"), w}, {QStringLiteral("height"), h}});
    };
    setOuter(width, height);
    // The window's own frame takes part of it: grown by what the viewport lacks.
    const QJsonArray inner =
        call("POST", QStringLiteral("/execute/sync"), QStringLiteral("the viewport"),
             {{QStringLiteral("script"), QStringLiteral("return [window.innerWidth, window.innerHeight]")},
              {QStringLiteral("args"), QJsonArray()}})
            .toArray();
    if (inner.size() == 2 && (inner[0].toInt() != width || inner[1].toInt() != height))
        setOuter(2 * width - inner[0].toInt(), 2 * height - inner[1].toInt());
}

void BrowserSession::go(const QString& url)
{
    call("POST", QStringLiteral("/url"), url, {{QStringLiteral("url"), url}});
}

QString BrowserSession::text(const QString& selector)
{
    return elementCall("GET", selector, QStringLiteral("/text")).toString();
}

QJsonValue BrowserSession::property(const QString& selector, const QString& name)
{
    return elementCall("GET", selector, QStringLiteral("/property/") + name);
}

bool BrowserSession::enabled(const QString& selector)
{
    return elementCall("GET", selector, QStringLiteral("/enabled")).toBool();
}

void BrowserSession::click(const QString& selector)
{
    elementCall("POST", selector, QStringLiteral("/click"));
}

void BrowserSession::type(const QString& selector, const QString& text)
{
    elementCall("POST", selector, QStringLiteral("/clear"));
    elementCall("POST", selector, QStringLiteral("/value"), {{QStringLiteral("text"), text}});
}

bool BrowserSession::waitFor(const std::function<bool()>& done, int seconds)
{
    const int failures = m_failures;
    for (const QDeadlineTimer deadline(seconds * 1000); !done();) {
        if (deadline.hasExpired() || m_failures != failures)
            return false;
        pause(200);
    }
    return true;
}

testing::AssertionResult BrowserSession::waitForText(const QString& selector, const QString& part, int seconds)
{
    if (waitFor([&] { return text(selector).contains(part); }, seconds))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << selector.toStdString() << " did not show \"" << part.toStdString()
                                       << "\" within " << seconds << " s; it shows \"" << text(selector).toStdString()
                                       << '"';
}

void BrowserSession::screenshot(const QString& pngPath)
{
    const QByteArray png =
        QByteArray::fromBase64(call("GET", QStringLiteral("/screenshot"), pngPath).toString().toLatin1());
    if (!writeFileBytes(pngPath, png))
        ADD_FAILURE() << "could not write the screenshot " << pngPath.toStdString();
}

BrowserSession::Answer BrowserSession::request(const QByteArray& method, const QString& path, const QJsonObject& body,
                                               int timeoutMs)
{
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port.port()).arg(path)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json; charset=utf-8"));
    request.setTransferTimeout(timeoutMs);
    QNetworkReply* reply = method == "GET" ? m_network.get(request)
                                           : m_network.sendCustomRequest(request, method, QJsonDocument(body).toJson());
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();
    const QJsonValue value = QJsonDocument::fromJson(reply->readAll()).object().value(QStringLiteral("value"));
    // A refusal comes as {"value": {"error": ..., "message": ...}}; its message's first line says it all.
    if (const QString error = value[QStringLiteral("error")].toString(); !error.isEmpty())
        return {value, error + QStringLiteral(": ") + value[QStringLiteral("message")].toString().section('\n', 0, 0)};
    if (reply->error() != QNetworkReply::NoError)
        return {value, reply->errorString()};
    return {value, {}};
}

QJsonValue BrowserSession::call(const QByteArray& method, const QString& path, const QString& what,
                                const QJsonObject& body)
{
    if (m_session.isEmpty()) {
        ++m_failures;
        ADD_FAILURE() << "no browser for " << what.toStdString() << ": start() it first";
        return QJsonValue::Undefined;
    }
    // Loading a page on a loaded machine may take a while; nothing else should.
    const Answer answer = request(method, QStringLiteral("/session/") + m_session + path, body, 60000);
    if (answer.error.isEmpty())
        return answer.value;
    ++m_failures;
    ADD_FAILURE() << "the browser refused " << method.constData() << ' ' << path.toStdString() << " for "
                  << what.toStdString() << ": " << answer.error.toStdString();
    return QJsonValue::Undefined;
}

QJsonValue BrowserSession::elementCall(const QByteArray& method, const QString& selector, const QString& part,
                                       const QJsonObject& body)
{
    const QJsonValue found =
        call("POST", QStringLiteral("/element"), selector,
             {{QStringLiteral("using"), QStringLiteral("css selector")}, {QStringLiteral("value"), selector}});
    const QString element = found[ElementKey].toString();
    if (element.isEmpty()) {
        if (!found.isUndefined()) {
            ++m_failures;
            ADD_FAILURE() << "the browser named no element for " << selector.toStdString();
        }
        return {};
    }
    return call(method, QStringLiteral("/element/") + element + part, selector, body);
}

void BrowserSession::stop()
{
    if (m_driver.state() == QProcess::NotRunning)
        return;
    // The polite way first: the driver closes the browser and waits for it.
    if (!m_session.isEmpty())
        request("DELETE", QStringLiteral("/session/") + m_session, {}, 15000);
    ::kill(-pid_t(m_driver.processId()), SIGKILL);
    m_driver.waitForFinished(-1);
}
