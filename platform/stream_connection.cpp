// SPDX-License-Identifier: Apache-2.0
#include "platform/stream_connection.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace platform {

StreamConnection::StreamConnection(QObject* parent) : QObject(parent) {}

StreamConnection::~StreamConnection()
{
    close();
}

void StreamConnection::open(const QString& address, int port)
{
    close();
    socket_ = std::make_unique<QTcpSocket>();
    connect(socket_.get(), &QTcpSocket::connected, this, &StreamConnection::connected);
    connect(socket_.get(), &QTcpSocket::readyRead, this, [this] { emit received(socket_->readAll()); });
    connect(socket_.get(), &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (socket_->state() != QAbstractSocket::ConnectedState)
            emit failed();
    });
    const QHostAddress host(address);
    if (host.protocol() != QAbstractSocket::IPv4Protocol) {
        QMetaObject::invokeMethod(this, &StreamConnection::failed, Qt::QueuedConnection);
        return;
    }
    socket_->connectToHost(host, quint16(port));
}

void StreamConnection::send(const QByteArray& data)
{
    if (isConnected())
        socket_->write(data);
}

void StreamConnection::close()
{
    if (!socket_)
        return;
    socket_->disconnect(this);
    socket_->abort();
    socket_.release()->deleteLater();
}

bool StreamConnection::isConnected() const
{
    return socket_ && socket_->state() == QAbstractSocket::ConnectedState;
}

QString StreamConnection::localAddress() const
{
    return isConnected() ? socket_->localAddress().toString() : QString();
}

int StreamConnection::localPort() const
{
    return isConnected() ? socket_->localPort() : 0;
}

}  // namespace platform
