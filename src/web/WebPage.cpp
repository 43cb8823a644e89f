// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/WebPage.h"

#include "app/PublishSettings.h"
#include "app/SettingsFile.h"
#include "camera/DetectionGrid.h"
#include "capture/CaptureComponent.h"
#include "capture/FindMarkSession.h"
#include "capture/MeterCamera.h"
#include "capture/RegisterWatch.h"
#include "metering/CameraState.h"
#include "metering/MeteringContext.h"
#include "metering/TripEngine.h"
#include "publish/PublishPayloads.h"
#include "publish/PublishService.h"
#include "publish/RemotePicture.h"
#include "web/MetricsText.h"
#include "web/PasswordHash.h"
#include "web/RequestParts.h"
#include "web/WebServer.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QNetworkInterface>

namespace {
Q_LOGGING_CATEGORY(lcWeb, "wattsight.web")

using Status = QHttpServerResponse::StatusCode;
using Method = QHttpServerRequest::Method;

// The page's own requests say so: a form or link of another site cannot add a header, so nothing the page can do
// is done by a visit elsewhere (the browser sends a remembered Basic password with those too).
constexpr char PageHeader[] = "X-Wattsight-Page";
constexpr char CommandPath[] = "/api/command/";

QByteArray compact(const QJsonObject& o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QHttpServerResponse withHeaders(QHttpServerResponse response)
{
    response.setHeader("Cache-Control", "no-store");
    response.setHeader("X-Content-Type-Options", "nosniff");
    return response;
}

QHttpServerResponse json(const QByteArray& body, Status status = Status::Ok)
{
    return withHeaders(QHttpServerResponse("application/json", body, status));
}

QHttpServerResponse error(const QString& text, Status status)
{
    return json(compact({{QStringLiteral("error"), text}}), status);
}

QHttpServerResponse noContent()
{
    return withHeaders(QHttpServerResponse(Status::NoContent));
}

std::optional<QHostAddress> listenAddress(const QString& text)
{
    if (text == QLatin1String("localhost"))
        return QHostAddress(QHostAddress::LocalHost);
    QHostAddress address;
    if (!address.setAddress(text))
        return std::nullopt;
    return address;
}

// The addresses a browser opens the page at: those of this computer's networks when it listens on all of them, which
// is what a phone needs to be told.
QList<QHostAddress> reachedAt(const QHostAddress& listening)
{
    if (listening != QHostAddress::AnyIPv4 && listening != QHostAddress::AnyIPv6 && listening != QHostAddress::Any)
        return {listening};
    QList<QHostAddress> addresses;
    for (const QHostAddress& address : QNetworkInterface::allAddresses())
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            addresses << address;
    return addresses.isEmpty() ? QList<QHostAddress>{listening} : addresses;
}

QByteArray pageFile()
{
    static const QByteArray page = [] {
        QFile file(QStringLiteral(":/web/index.html"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    return page;
}

QHttpServerResponse page()
{
    QHttpServerResponse response = withHeaders(QHttpServerResponse("text/html; charset=utf-8", pageFile()));
    // The page's script and style are its own, inline; it loads nothing from anywhere else.
    response.setHeader(
        "Content-Security-Policy",
        "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; img-src 'self' blob:; "
        "connect-src 'self'; form-action 'self'; frame-ancestors 'none'; base-uri 'none'");
    response.setHeader("Referrer-Policy", "no-referrer");
    return response;
}

QJsonValue number(const std::optional<double>& value)
{
    return value ? QJsonValue(*value) : QJsonValue();
}
} // namespace

WebPage::WebPage(MeteringContext& ctx, PublishService& publish, MeterCamera& camera, TripEngine& trip, QObject* parent)
    : QObject(parent), m_ctx(ctx), m_publish(publish), m_camera(camera), m_trip(trip), m_day(ctx)
{
    m_clock.start();
    connect(&m_publish, &PublishService::settingsApplied, this, &WebPage::applySettings);
}

WebPage::~WebPage() = default;

QString WebPage::settingsProblem(const GlobalSettings& s)
{
    if (!s.WEB_PAGE)
        return {};
    const std::optional<QHostAddress> address = listenAddress(s.WEB_ADDRESS);
    if (!address)
        return QStringLiteral("\"%1\" is not an address of this machine: 127.0.0.1 serves this machine alone, "
                              "0.0.0.0 every network it is on")
            .arg(s.WEB_ADDRESS);
    if (!address->isLoopback() && s.WEB_PASSWORD.isEmpty())
        return QStringLiteral("at %1 every machine that reaches it could use the page: set a password, or serve it "
                              "at 127.0.0.1 alone")
            .arg(s.WEB_ADDRESS);
    return {};
}

void WebPage::applySettings()
{
    hashTypedPassword();
    const GlobalSettings& s = m_ctx.settings;
    const QStringList inForce{s.WEB_PAGE ? QStringLiteral("on") : QStringLiteral("off"), s.WEB_ADDRESS,
                              QString::number(s.WEB_PORT), s.WEB_PASSWORD};
    if (inForce == m_inForce && (m_server || !s.WEB_PAGE))
        return;
    m_inForce = inForce;
    m_server.reset();
    m_port = 0;
    m_access.setPasswordHash(s.WEB_PASSWORD);
    if (!s.WEB_PAGE) {
        setStatus(QStringLiteral("The web page is off"));
        return;
    }
    if (const QString problem = settingsProblem(s); !problem.isEmpty()) {
        setStatus(QStringLiteral("The web page is not served: ") + problem);
        return;
    }
    auto server = std::make_unique<WebServer>([this](const QHttpServerRequest& request) { return answer(request); });
    const QHostAddress address = *listenAddress(s.WEB_ADDRESS);
    m_port = server->listen(address, static_cast<quint16>(s.WEB_PORT));
    if (m_port == 0) {
        setStatus(QStringLiteral("The web page is not served: port %1 at %2 is taken (another program may use it)")
                      .arg(s.WEB_PORT)
                      .arg(s.WEB_ADDRESS));
        return;
    }
    m_server = std::move(server);
    QStringList urls;
    for (const QHostAddress& host : reachedAt(address))
        urls << QStringLiteral("http://%1:%2/")
                    .arg(host.protocol() == QAbstractSocket::IPv6Protocol ? '[' + host.toString() + ']'
                                                                          : host.toString())
                    .arg(m_port);
    setStatus(QStringLiteral("Serving the page at ") + urls.join(QStringLiteral(", ")));
}

void WebPage::hashTypedPassword()
{
    QString& password = m_ctx.settings.WEB_PASSWORD;
    if (password.isEmpty() || PasswordHash::isHash(password))
        return;
    password = PasswordHash::make(password);
    const QString problem = SaveSettingsFile(m_ctx, PublishSettingsFile());
    if (problem.isEmpty())
        qCInfo(lcWeb) << "The web page's password in PUBLISHSETTINGS.CFG is now kept as its hash";
    else
        qCWarning(lcWeb).noquote() << "Could not replace the web page's password in PUBLISHSETTINGS.CFG by its hash:"
                                   << problem;
}

void WebPage::setStatus(const QString& text)
{
    if (text == m_status)
        return;
    // A page that was never on is not worth a line in every start's log.
    const bool wasServing = m_status.startsWith(QLatin1String("Serving"));
    m_status = text;
    if (m_server || (wasServing && !m_ctx.settings.WEB_PAGE))
        qCInfo(lcWeb).noquote() << text;
    else if (m_ctx.settings.WEB_PAGE)
        qCWarning(lcWeb).noquote() << text;
    emit statusChanged(text);
}

QHttpServerResponse WebPage::answer(const QHttpServerRequest& request)
{
    const QString path = request.url().path();
    const Method method = request.method();
    if (path == QLatin1String("/"))
        return method == Method::Get ? page() : error(QStringLiteral("Only GET here"), Status::MethodNotAllowed);
    if (method == Method::Post && RequestHeader(request, PageHeader).isEmpty())
        return error(QStringLiteral("A request that changes something needs the header %1 (the page sends it)")
                         .arg(QLatin1String(PageHeader)),
                     Status::Forbidden);
    if (path == QLatin1String("/api/login"))
        return method == Method::Post ? signIn(request)
                                      : error(QStringLiteral("Only POST here"), Status::MethodNotAllowed);
    const WebAccess::Verdict verdict = m_access.check(request, now());
    switch (verdict.kind) {
    case WebAccess::Verdict::Kind::Allowed:
        return answerSignedIn(request, path);
    case WebAccess::Verdict::Kind::SignIn: {
        QHttpServerResponse response = error(QStringLiteral("Sign in with the page's password"), Status::Unauthorized);
        // The page shows its own form; a browser asked directly, or a scraper, is offered Basic.
        if (RequestHeader(request, PageHeader).isEmpty())
            response.setHeader("WWW-Authenticate", "Basic realm=\"Wattsight\", charset=\"UTF-8\"");
        return response;
    }
    case WebAccess::Verdict::Kind::WrongPassword:
        return error(QStringLiteral("Wrong password"), Status::Unauthorized);
    case WebAccess::Verdict::Kind::Wait:
        break;
    }
    QHttpServerResponse response =
        error(QStringLiteral("Too many wrong passwords from this address: try again in %1 s").arg(verdict.waitSeconds),
              Status::TooManyRequests);
    response.setHeader("Retry-After", QByteArray::number(verdict.waitSeconds));
    return response;
}

QHttpServerResponse WebPage::answerSignedIn(const QHttpServerRequest& request, const QString& path)
{
    const bool get = request.method() == Method::Get;
    const bool post = request.method() == Method::Post;
    if (path == QLatin1String("/api/state") && get)
        return json(StatePayload(m_publish.present()));
    if (path == QLatin1String("/api/page") && get)
        return json(pageJson());
    if (path == QLatin1String("/api/picture") && get)
        return picture();
    if (path == QLatin1String("/metrics") && get)
        return withHeaders(QHttpServerResponse("text/plain; version=0.0.4; charset=utf-8", metrics()));
    if (path.startsWith(QLatin1String(CommandPath)) && post)
        return command(request, path.mid(int(qstrlen(CommandPath))));
    if (path == QLatin1String("/api/logout") && post) {
        m_access.signOut(request);
        QHttpServerResponse response = noContent();
        response.setHeader("Set-Cookie",
                           QByteArray(WebAccess::SessionCookie) + "=; Max-Age=0; Path=/; HttpOnly; SameSite=Strict");
        return response;
    }
    const QStringList known{QStringLiteral("/api/state"), QStringLiteral("/api/page"), QStringLiteral("/api/picture"),
                            QStringLiteral("/metrics"), QStringLiteral("/api/logout")};
    if (known.contains(path) || path.startsWith(QLatin1String(CommandPath)))
        return error(QStringLiteral("Not with this method"), Status::MethodNotAllowed);
    return error(QStringLiteral("There is no such page"), Status::NotFound);
}

QHttpServerResponse WebPage::signIn(const QHttpServerRequest& request)
{
    const QString password = RequestParts::formField(request.body(), "password").value_or(QString());
    const WebAccess::Verdict verdict = m_access.signIn(request, password, now());
    switch (verdict.kind) {
    case WebAccess::Verdict::Kind::Allowed: {
        QHttpServerResponse response = noContent();
        if (!verdict.token.isEmpty())
            response.setHeader("Set-Cookie", QByteArray(WebAccess::SessionCookie) + '=' + verdict.token +
                                                 "; Max-Age=" + QByteArray::number(qint64(WebSessions::IdleSeconds)) +
                                                 "; Path=/; HttpOnly; SameSite=Strict");
        return response;
    }
    case WebAccess::Verdict::Kind::Wait: {
        QHttpServerResponse response = error(
            QStringLiteral("Too many wrong passwords from this address: try again in %1 s").arg(verdict.waitSeconds),
            Status::TooManyRequests);
        response.setHeader("Retry-After", QByteArray::number(verdict.waitSeconds));
        return response;
    }
    case WebAccess::Verdict::Kind::SignIn:
    case WebAccess::Verdict::Kind::WrongPassword:
        break;
    }
    return error(QStringLiteral("Wrong password"), Status::Unauthorized);
}

QHttpServerResponse WebPage::command(const QHttpServerRequest& request, const QString& name)
{
    if (!m_publish.hasCommand(name))
        return error(QStringLiteral("There is no command \"%1\"").arg(CommandDispatcher::printable(name.left(40))),
                     Status::NotFound);
    const QString refusal = m_publish.command(name, request.body());
    if (!refusal.isEmpty())
        return error(refusal, Status::Conflict);
    return json(compact({{QStringLiteral("done"), true}}));
}

QHttpServerResponse WebPage::picture()
{
    if (!m_camera.running())
        return error(MeterCamera::NotRunning, Status::ServiceUnavailable);
    const CaptureComponent& capture = m_camera.capture();
    // While Find Mark proposes, its grid is what the user is asked to accept.
    const FindMarkSession* session = m_camera.findMarkSession();
    const bool proposed = session && session->findMark().finished();
    const QByteArray jpeg = RemotePicture::jpeg(
        capture.previewImage(),
        proposed ? DetectionGrid::fromString(session->findMark().proposal().grid) : capture.grid(), MaxPictureBytes);
    if (jpeg.isEmpty())
        return error(QStringLiteral("the camera has no picture yet"), Status::ServiceUnavailable);
    return withHeaders(QHttpServerResponse("image/jpeg", jpeg));
}

QByteArray WebPage::pageJson()
{
    const GlobalSettings& s = m_ctx.settings;
    const DayTotals::Figures today = m_day.today();
    const TripDisplay& trip = m_trip.display();
    const FindMarkSession* session = m_camera.findMarkSession();
    QJsonObject findMark = QJsonDocument::fromJson(m_publish.published(QLatin1String(FindMarkObject))).object();
    if (findMark.isEmpty())
        findMark.insert(QStringLiteral("status"), QStringLiteral("Not running"));
    QJsonObject o{{QStringLiteral("meter"), s.METER_ID},
                  {QStringLiteral("password"), m_access.passwordSet()},
                  {QStringLiteral("camera_text"), CameraStatusLine(m_ctx)},
                  {QStringLiteral("units"), QJsonObject{{QStringLiteral("energy"), s.ENERGY_TITLE},
                                                        {QStringLiteral("power"), s.POWER_TITLE},
                                                        {QStringLiteral("currency"), s.CURRENCY_TITLE}}},
                  {QStringLiteral("today"),
                   QJsonObject{{QStringLiteral("since"),
                                today.since.toOffsetFromUtc(today.since.offsetFromUtc()).toString(Qt::ISODate)},
                               {QStringLiteral("energy_kwh"), today.kWh},
                               {QStringLiteral("cost"), today.cost}}},
                  {QStringLiteral("logging"),
                   m_ctx.blnGlobalLoggingRunning ? QStringLiteral("running") : QStringLiteral("stopped")},
                  {QStringLiteral("trip"), QJsonObject{{QStringLiteral("running"), m_ctx.blnGlobalTripRunning},
                                                       {QStringLiteral("started"), trip.Text1},
                                                       {QStringLiteral("seconds"), trip.Text3a},
                                                       {QStringLiteral("energy"), trip.Text5},
                                                       {QStringLiteral("cost"), trip.Text6},
                                                       {QStringLiteral("power"), trip.Text11}}},
                  {QStringLiteral("find_mark"), findMark},
                  {QStringLiteral("proposal"), session && session->findMark().finished()},
                  {QStringLiteral("tariffs"), s.TARIFF_COUNT},
                  {QStringLiteral("refusal"), m_publish.commandRefusal()}};
    if (const RegisterWatch* watch = m_publish.registerWatch(); watch && watch->active())
        o.insert(QStringLiteral("register"), QJsonObject{{QStringLiteral("seen_kwh"), number(watch->seenKWh())},
                                                         {QStringLiteral("proposal_kwh"), number(watch->proposal())}});
    return compact(o);
}

QByteArray WebPage::metrics()
{
    return MetricsText(m_publish.present(), m_publish.totals(), m_ctx.settings.COUNT_DIRECTION,
                       QStringLiteral(WATTSIGHT_VERSION));
}
