#pragma once
// A UDP socket of its own for one measurement: bound to any local address,
// datagrams sent to dotted IPv4 addresses, every arrival announced on the UI
// thread with its sender. Closed when destroyed.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUdpSocket>

namespace platform {

class UdpEndpoint : public QObject {
    Q_OBJECT
public:
    explicit UdpEndpoint(QObject* parent = nullptr);
    // Binds 0.0.0.0:port (0: the system chooses); false when refused.
    bool open(int port = 0);
    int localPort() const;
    // Address of this machine the system would send from towards address ("" if no route).
    static QString SourceAddressTowards(const QString& address);
    // Dotted address only; false when nothing left.
    bool sendTo(const QString& address, int port, const QByteArray& data);
signals:
    void datagram(const QByteArray& data, const QString& fromAddress, int fromPort);

private:
    void readAll();
    QUdpSocket socket_;
};

}  // namespace platform
