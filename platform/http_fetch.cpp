// SPDX-License-Identifier: Apache-2.0
#include "platform/http_fetch.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace platform {

namespace {

QNetworkRequest PlainRequest(QUrl url, int stallMs)
{
    // Credentials in a URL a device named are not sent anywhere.
    url.setUserInfo(QString());
    url.setFragment(QString());
    QNetworkRequest r(url);
    // Plain HTTP/1.1 to the device: no upgrade to HTTP/2, nothing stored or
    // sent from earlier answers.
    r.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    r.setAttribute(QNetworkRequest::Http2CleartextAllowedAttribute, false);
    r.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    r.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    r.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    r.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    r.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // The body as sent, never inflated: what is counted is what arrived.
    r.setRawHeader("Accept-Encoding", "identity");
    r.setTransferTimeout(stallMs);
    return r;
}

// An HTTP answer arrived whole, whatever its status: the errors the network
// module derives from the status code (RFC 9110 section 15) rather than from
// the connection.
bool HttpLevel(QNetworkReply::NetworkError e)
{
    const int code = int(e);
    return code == 0 || (code >= 201 && code <= 299) || (code >= 401 && code <= 499);
}

}  // namespace

HttpFetch::HttpFetch(QObject* parent) : QObject(parent), manager_(new QNetworkAccessManager(this))
{
    manager_->setProxy(QNetworkProxy::NoProxy);
    manager_->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    manager_->setCookieJar(nullptr);
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] { end(Outcome::TimedOut); });
}

HttpFetch::~HttpFetch()
{
    stop();
}

void HttpFetch::get(const QUrl& url, int timeoutMs, int stallMs)
{
    stop();
    begin(manager_->get(PlainRequest(url, stallMs > 0 ? stallMs : timeoutMs)), timeoutMs);
}

void HttpFetch::post(const QUrl& url, const QByteArray& contentType,
                     const QList<QPair<QByteArray, QByteArray>>& headers, const QByteArray& body, int timeoutMs,
                     int stallMs)
{
    stop();
    QNetworkRequest r = PlainRequest(url, stallMs > 0 ? stallMs : timeoutMs);
    r.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    for (const auto& [name, value] : headers)
        r.setRawHeader(name, value);
    begin(manager_->post(r, body), timeoutMs);
}

void HttpFetch::begin(QNetworkReply* reply, int timeoutMs)
{
    reply_ = reply;
    received_.clear();
    result_ = {};
    // What the module holds for us is bounded as well: it stops reading the
    // socket while its buffer is full.
    reply_->setReadBufferSize(kMaxAnswerBytes + 1);
    connect(reply_, &QNetworkReply::metaDataChanged, this, &HttpFetch::checkAnnounced);
    connect(reply_, &QNetworkReply::readyRead, this, &HttpFetch::take);
    connect(reply_, &QNetworkReply::downloadProgress, this, [this](qint64, qint64 total) {
        if (total > kMaxAnswerBytes)
            end(Outcome::TooLarge);
    });
    connect(reply_, &QNetworkReply::finished, this, &HttpFetch::complete);
    deadline_.start(timeoutMs);
}

void HttpFetch::checkAnnounced()
{
    if (!reply_)
        return;
    bool ok = false;
    const qint64 announced = reply_->header(QNetworkRequest::ContentLengthHeader).toLongLong(&ok);
    if (ok && announced > kMaxAnswerBytes)
        end(Outcome::TooLarge);
}

// Takes what has arrived, up to one byte past the cap: a peer that sends
// more is cut off and nothing of its answer is kept.
void HttpFetch::take()
{
    if (!reply_ || !reply_->isOpen())
        return;
    received_ += reply_->read(kMaxAnswerBytes + 1 - received_.size());
    if (received_.size() > kMaxAnswerBytes)
        end(Outcome::TooLarge);
}

void HttpFetch::complete()
{
    if (!reply_)
        return;
    take();
    if (!reply_)
        return;
    const QNetworkReply::NetworkError error = reply_->error();
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError) {
        end(Outcome::TimedOut);  // the transfer time-out: nothing moved for too long
        return;
    }
    if (status <= 0 || !HttpLevel(error)) {
        result_.error = reply_->errorString();
        end(Outcome::Failed);
        return;
    }
    result_.status = status;
    result_.body = received_;
    end(status >= 200 && status <= 299 ? Outcome::Answered : Outcome::Refused);
}

void HttpFetch::end(Outcome outcome)
{
    if (!release())
        return;
    result_.outcome = outcome;
    if (outcome != Outcome::Answered && outcome != Outcome::Refused)
        result_.body.clear();
    emit finished();
}

void HttpFetch::stop()
{
    release();
}

bool HttpFetch::release()
{
    deadline_.stop();
    if (!reply_)
        return false;
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
    received_.clear();
    return true;
}

}  // namespace platform
