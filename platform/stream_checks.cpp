// SPDX-License-Identifier: Apache-2.0
#include "platform/stream_checks.h"

#include <QHostAddress>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QCoreApplication>

namespace platform {

ConnectCheck::ConnectCheck(QObject* parent) : QObject(parent)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] {
        error_ = QCoreApplication::translate("StreamChecks", "нет ответа");
        done(false);
    });
}

ConnectCheck::~ConnectCheck() = default;

bool ConnectCheck::TlsAvailable()
{
    return QSslSocket::supportsSsl();
}

namespace {

QList<QSslCertificate> ExtraCaCertificates()
{
    const QString file = qEnvironmentVariable("SSL_CERT_FILE");
    return file.isEmpty() ? QList<QSslCertificate>{} : QSslCertificate::fromPath(file, QSsl::Pem);
}

}  // namespace

void ConnectCheck::start(const QString& address, int port, bool tls, const QString& serverName, int timeoutMs)
{
    ok_ = verified_ = false;
    error_.clear();
    chainError_.clear();
    der_.clear();
    commonNames_.clear();
    running_ = true;
    clock_.start();
    timer_.start(timeoutMs);
    if (!tls) {
        socket_ = std::make_unique<QTcpSocket>();
        connect(socket_.get(), &QTcpSocket::connected, this, [this] { done(true); });
    } else {
        auto* ssl = new QSslSocket;
        socket_.reset(ssl);
        verified_ = true;
        if (const QList<QSslCertificate> extra = ExtraCaCertificates(); !extra.isEmpty()) {
            QSslConfiguration config = ssl->sslConfiguration();
            config.addCaCertificates(extra);
            ssl->setSslConfiguration(config);
        }
        connect(ssl, &QSslSocket::sslErrors, this, [this, ssl](const QList<QSslError>& errors) {
            // The name is checked by the caller against the identity it expects.
            for (const QSslError& e : errors)
                if (e.error() != QSslError::HostNameMismatch && verified_) {
                    verified_ = false;
                    chainError_ = e.errorString();
                }
            ssl->ignoreSslErrors();
        });
        connect(ssl, &QSslSocket::encrypted, this, [this, ssl] {
            const QSslCertificate cert = ssl->peerCertificate();
            der_ = cert.toDer();
            commonNames_ = cert.subjectInfo(QSslCertificate::CommonName);
            done(true);
        });
    }
    connect(socket_.get(), &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (running_)
            error_ = socket_->errorString();
        done(false);
    });
    if (tls)
        static_cast<QSslSocket*>(socket_.get())->connectToHostEncrypted(address, quint16(port), serverName);
    else
        socket_->connectToHost(QHostAddress(address), quint16(port));
}

void ConnectCheck::done(bool ok)
{
    if (!running_)
        return;
    running_ = false;
    timer_.stop();
    ok_ = ok;
    if (!ok)
        verified_ = false;
    elapsedMs_ = int(clock_.elapsed());
    socket_->disconnect(this);
    socket_->abort();
    socket_.release()->deleteLater();
    emit finished();
}

}  // namespace platform
