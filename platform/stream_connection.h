// SPDX-License-Identifier: Apache-2.0
#pragma once
// One TCP connection that stays open for several requests and answers (SIP
// over TCP). Events come on the UI thread; nothing blocks.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

class QTcpSocket;

namespace platform {

class StreamConnection : public QObject {
    Q_OBJECT
public:
    explicit StreamConnection(QObject* parent = nullptr);
    ~StreamConnection() override;
    // Connects to a dotted IPv4 address; connected() or failed() follows.
    void open(const QString& address, int port);
    void send(const QByteArray& data);
    void close();
    bool isConnected() const;
    // The connection's own end, as the system chose it ("" and 0 when none).
    QString localAddress() const;
    int localPort() const;
signals:
    void connected();
    void failed();
    // Bytes arrived; the whole stream so far is collected by the receiver.
    void received(const QByteArray& data);
private:
    std::unique_ptr<QTcpSocket> socket_;
};

}  // namespace platform
