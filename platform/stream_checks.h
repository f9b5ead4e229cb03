// SPDX-License-Identifier: Apache-2.0
#pragma once
// TCP work of the extended test: whether a server accepts a TCP connection
// or completes a TLS handshake (HTTP goes through platform/http_fetch.h).
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <memory>

class QTcpSocket;

namespace platform {

// One connection attempt, plain TCP or TLS (through Qt's TLS backend). A
// certificate that does not verify is accepted for the question "does it
// answer", and reported. The chain is checked against the system's trusted
// certificates (and those of the file named by SSL_CERT_FILE, as OpenSSL's
// tools do); whose name the certificate must carry is the caller's question:
// it gets the certificate.
class ConnectCheck : public QObject {
    Q_OBJECT
public:
    explicit ConnectCheck(QObject* parent = nullptr);
    ~ConnectCheck() override;
    // serverName goes into the TLS server_name extension (RFC 6066 section 3).
    void start(const QString& address, int port, bool tls, const QString& serverName, int timeoutMs);
    bool succeeded() const { return ok_; }
    int elapsedMs() const { return elapsedMs_; }
    // The chain leads to a trusted certificate and is valid now (names aside).
    bool chainVerified() const { return verified_; }
    QString chainError() const { return chainError_; }
    QByteArray certificateDer() const { return der_; }
    QStringList certificateCommonNames() const { return commonNames_; }
    QString error() const { return error_; }   // system's words, "" on success
    static bool TlsAvailable();
signals:
    void finished();

private:
    void done(bool ok);
    std::unique_ptr<QTcpSocket> socket_;
    QTimer timer_;
    QElapsedTimer clock_;
    bool ok_ = false, verified_ = false, running_ = false;
    int elapsedMs_ = 0;
    QString error_, chainError_;
    QByteArray der_;
    QStringList commonNames_;
};

}  // namespace platform
