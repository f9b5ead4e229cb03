// SPDX-License-Identifier: Apache-2.0
#include "tools/nat_test_run.h"

#include "platform/udp_socket.h"

#include <algorithm>

namespace tools {

NatTestRun::NatTestRun(QObject* parent) : QObject(parent)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &NatTestRun::timerFired);
    clock_.start();
}

NatTestRun::~NatTestRun()
{
    timer_.stop();
    closeAll();
}

void NatTestRun::start(const probes::ExtendedNatConfig& config)
{
    clear();
    probes::SocketHost& host = *this;
    test_ = std::make_unique<probes::ExtendedNatTest>(host, config);
    test_->start(clock_.elapsed());
    afterEvent();
}

void NatTestRun::stop()
{
    if (!running())
        return;
    test_->stop(clock_.elapsed());
    afterEvent();
}

void NatTestRun::clear()
{
    timer_.stop();
    closeAll();
    test_.reset();
    reported_ = false;
}

QList<int> NatTestRun::localPorts() const
{
    QList<int> ports;
    for (const platform::UdpSocket* socket : sockets_)
        ports << socket->localPort();
    return ports;
}

int NatTestRun::openSocket(int handle, int port)
{
    auto* socket = new platform::UdpSocket(this);
    if (!socket->bind(port)) {
        delete socket;
        return -1;
    }
    sockets_.insert(handle, socket);
    connect(socket, &platform::UdpSocket::readyRead, this, [this, handle] {
        readSocket(handle);
        afterEvent();
    });
    return socket->localPort();
}

void NatTestRun::send(int handle, const probes::stun5780::Endpoint& to, const QByteArray& data)
{
    if (platform::UdpSocket* socket = sockets_.value(handle))
        socket->sendTo(to.address, to.port, data);
}

void NatTestRun::closeSocket(int handle)
{
    if (platform::UdpSocket* socket = sockets_.take(handle)) {
        socket->close();
        socket->deleteLater();
    }
}

void NatTestRun::closeAll()
{
    const QList<int> handles = sockets_.keys();
    for (int handle : handles)
        closeSocket(handle);
}

void NatTestRun::readSocket(int handle)
{
    // The socket may be closed by the test while its datagrams are handled.
    while (platform::UdpSocket* socket = sockets_.value(handle)) {
        const std::optional<platform::ReceivedDatagram> datagram = socket->receive();
        if (!datagram || !test_)
            break;
        test_->datagramArrived(handle, {datagram->fromAddress, datagram->fromPort}, datagram->data, clock_.elapsed());
    }
}

void NatTestRun::readAll()
{
    const QList<int> handles = sockets_.keys();
    for (int handle : handles)
        readSocket(handle);
}

void NatTestRun::timerFired()
{
    if (!test_)
        return;
    // While another section waits inside a blocking step, socket
    // notifications wait too but timers run: what arrived in time is read
    // first, so that no answer queued unread counts as lost.
    readAll();
    test_->timerFired(clock_.elapsed());
    afterEvent();
}

void NatTestRun::afterEvent()
{
    if (!test_)
        return;
    if (const std::optional<qint64> next = test_->nextDeadline())
        timer_.start(static_cast<int>(std::clamp<qint64>(*next - clock_.elapsed(), 0, 600000)));
    else
        timer_.stop();
    emit changed();
    if (test_->finished() && !reported_) {
        reported_ = true;
        timer_.stop();
        closeAll();
        emit finished();
    }
}

}  // namespace tools
