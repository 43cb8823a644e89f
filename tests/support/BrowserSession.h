// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/ReservedPort.h"

#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

// A headless Chromium driven through Debian's chromedriver (W3C WebDriver), for tests of the web page. Each call
// waits for the browser's answer; one the browser refuses adds a test failure naming the element and what the
// browser said. The browser and the driver end with this object, by their PIDs, whatever state they are in.
class BrowserSession
{
public:
    BrowserSession() = default;
    ~BrowserSession();
    BrowserSession(const BrowserSession&) = delete;
    BrowserSession& operator=(const BrowserSession&) = delete;

    // Starts the driver and a browser with a fresh profile; "" once it runs, otherwise why not.
    QString start();

    // The page's viewport, not the window around it: 360 x 740 is what a phone's page gets.
    void setWindowSize(int width, int height);
    void go(const QString& url);
    // The element's text as shown: "" while it is hidden.
    QString text(const QString& selector);
    QJsonValue property(const QString& selector, const QString& name);
    bool enabled(const QString& selector);
    void click(const QString& selector);
    // Replaces the field's content, typed key by key.
    void type(const QString& selector, const QString& text);
    // Asks until done() or the time is up; stops early once a call to the browser failed.
    bool waitFor(const std::function<bool()>& done, int seconds);
    testing::AssertionResult waitForText(const QString& selector, const QString& part, int seconds);
    void screenshot(const QString& pngPath);

private:
    struct Answer
    {
        QJsonValue value;
        QString error; // "" when the browser carried the call out
    };
    Answer request(const QByteArray& method, const QString& path, const QJsonObject& body, int timeoutMs);
    // The answer's value for a call on the session; when the browser refused it, a failure about `what` and an
    // undefined value.
    QJsonValue call(const QByteArray& method, const QString& path, const QString& what, const QJsonObject& body = {});
    QJsonValue elementCall(const QByteArray& method, const QString& selector, const QString& part,
                           const QJsonObject& body = {});
    void stop();

    QTemporaryDir m_profile;
    ReservedPort m_port;
    QProcess m_driver;
    QNetworkAccessManager m_network;
    QString m_session;
    int m_failures = 0;
};
