// SPDX-License-Identifier: Apache-2.0
#pragma once
// One HTTP/1.1 request to a device of the home network (the router's UPnP
// description and SOAP control URL), through Qt's network module: no proxy,
// no cookies, no cache, no HTTP/2, no redirect followed, and a hard cap on
// what is kept of the answer. A peer that sends more than the cap, or
// announces more in Content-Length, is cut off at once; one that stalls or
// drips is cut off by the time limits. Everything runs on the event loop.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace platform {

class HttpFetch : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kMaxAnswerBytes = 64 * 1024;

    enum class Outcome {
        None,       // not started or still running
        Answered,   // a final answer with status 2xx, body complete
        Refused,    // a final answer with another status (3xx too: redirects are not followed)
        TooLarge,   // more than kMaxAnswerBytes arrived or were announced: nothing kept
        TimedOut,   // no answer within the time (stalled, or still sending at the deadline)
        Failed,     // connection refused, reset, not HTTP ...
    };

    struct Result {
        Outcome outcome = Outcome::None;
        int status = 0;      // HTTP status of the final answer, 0 without one
        QByteArray body;     // Answered and Refused only, at most kMaxAnswerBytes
        QString error;       // the network module's words for Failed
    };

    explicit HttpFetch(QObject* parent = nullptr);
    ~HttpFetch() override;

    // timeoutMs bounds the whole exchange; stallMs (0: timeoutMs) the time
    // without any data moving.
    void get(const QUrl& url, int timeoutMs, int stallMs = 0);
    // A POST with the given Content-Type and extra header lines (name, value).
    void post(const QUrl& url, const QByteArray& contentType, const QList<QPair<QByteArray, QByteArray>>& headers,
              const QByteArray& body, int timeoutMs, int stallMs = 0);
    // Aborts a pending request; finished() is not emitted for it.
    void stop();
    bool running() const { return reply_ != nullptr; }
    const Result& result() const { return result_; }

signals:
    void finished();

private:
    void begin(QNetworkReply* reply, int timeoutMs);
    void take();
    void checkAnnounced();
    void complete();
    void end(Outcome outcome);
    // Aborts and forgets the pending reply; false when there was none.
    bool release();

    QNetworkAccessManager* manager_;
    QNetworkReply* reply_ = nullptr;
    QTimer deadline_;
    QByteArray received_;
    Result result_;
};

}  // namespace platform
