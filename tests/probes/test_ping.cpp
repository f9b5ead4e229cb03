// SPDX-License-Identifier: Apache-2.0
// ICMP echo: address conversion, status texts, echoes on loopback and, where
// namespaces can be made, through a router in a network namespace of our own.
#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "platform/icmp_socket.h"
#include "probes/ping.h"

using probes::AddressToLong;
using probes::EchoReply;
using probes::EchoStatusText;
using probes::FirstHopAddress;
using probes::PingEcho;

namespace {

QByteArray MemoryBytes(int32_t value) {
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof value);
}

uint32_t NetworkAddress(const char* dotted) {
    in_addr a{};
    inet_pton(AF_INET, dotted, &a);
    return a.s_addr;
}

// Whether this process can open any ICMP socket at all.
bool IcmpSocketAvailable() {
    for (int type : {SOCK_DGRAM, SOCK_RAW}) {
        const int fd = ::socket(AF_INET, type, IPPROTO_ICMP);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
    }
    return false;
}

// Two network namespaces made for one test: "host" (this thread enters it)
// with 198.51.100.2/24 and a default route through "router" (198.51.100.1).
// The router forwards 203.0.113.0/24 to a neighbour that never answers, has an
// unreachable route for 192.0.2.128/25 and no route for the rest of 192.0.2.0/24.
// Both namespaces vanish when the helper shell and its router process end.
// The router's net.ipv4.icmp_ratelimit is 0: by default a namespace sends at
// most one time-exceeded or unreachable error per destination per second, and
// the back-to-back echoes of a test through this one router would then lose
// their answers at random (a flaky test, not a fault of the echo).
class RouterLab {
public:
    explicit RouterLab(bool datagramAllowed) {
        const QString script = QStringLiteral(R"sh(set -e
ip link set lo up
unshare -n sleep 60 &
R=$!
trap 'kill $R 2>/dev/null' EXIT
while [ "$(readlink /proc/$R/ns/net)" = "$(readlink /proc/$$/ns/net)" ]; do sleep 0.01; done
ip link add veth0 type veth peer name veth1 netns $R
ip addr add 198.51.100.2/24 dev veth0
ip link set veth0 up
ip route add default via 198.51.100.1
nsenter -t $R -n sh -c 'set -e
ip link set lo up
ip addr add 198.51.100.1/24 dev veth1
ip link set veth1 up
ip route add 203.0.113.0/24 via 198.51.100.3
ip route add unreachable 192.0.2.128/25
echo 1 > /proc/sys/net/ipv4/ip_forward
echo 0 > /proc/sys/net/ipv4/icmp_ratelimit'
echo "%1" > /proc/sys/net/ipv4/ping_group_range
echo ready
read line || true
)sh")
                                   .arg(datagramAllowed ? QStringLiteral("0 2147483647")
                                                        : QStringLiteral("1 0"));
        shell_.start(QStringLiteral("unshare"), {QStringLiteral("-n"), QStringLiteral("--"),
                                                 QStringLiteral("sh"), QStringLiteral("-c"), script});
        if (!shell_.waitForStarted(5000)) {
            error_ = QStringLiteral("unshare could not be started");
            return;
        }
        QByteArray out;
        QElapsedTimer timer;
        timer.start();
        while (!out.contains("ready") && timer.elapsed() < 10000 &&
               shell_.state() == QProcess::Running) {
            shell_.waitForReadyRead(200);
            out += shell_.readAllStandardOutput();
        }
        if (!out.contains("ready")) {
            error_ = QStringLiteral("namespace set-up failed: ") +
                     QString::fromLocal8Bit(shell_.readAllStandardError()).trimmed();
            return;
        }
        own_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        const QByteArray path = "/proc/" + QByteArray::number(shell_.processId()) + "/ns/net";
        const int lab = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (own_ < 0 || lab < 0 || ::setns(lab, CLONE_NEWNET) != 0) {
            error_ = QStringLiteral("cannot enter the namespace: ") + QString::fromLocal8Bit(strerror(errno));
            if (lab >= 0) ::close(lab);
            return;
        }
        ::close(lab);
        entered_ = true;
    }

    ~RouterLab() {
        if (entered_) ::setns(own_, CLONE_NEWNET);
        if (own_ >= 0) ::close(own_);
        if (shell_.state() != QProcess::NotRunning) {
            shell_.closeWriteChannel();
            if (!shell_.waitForFinished(5000)) {
                shell_.kill();
                shell_.waitForFinished(2000);
            }
        }
    }

    bool entered() const { return entered_; }
    QString error() const { return error_; }

private:
    QProcess shell_;
    int own_ = -1;
    bool entered_ = false;
    QString error_;
};

}  // namespace

class TestPing : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Before anything has set it: the time-out the echoes start with.
        QCOMPARE(probes::PingTimeout, int16_t(1000));
    }

    void init() {
        platform::SetIcmpUnavailableForTesting(false);
        probes::PingTimeout = 1000;
    }

    void cleanup() { platform::SetIcmpUnavailableForTesting(false); }

    void addressToLong_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");  // the value as it lies in memory

        QTest::newRow("10.0.0.1") << "10.0.0.1" << QByteArray("\x0A\x00\x00\x01", 4);
        QTest::newRow("1.2.3.4") << "1.2.3.4" << QByteArray("\x01\x02\x03\x04", 4);
        QTest::newRow("192.168.1.200") << "192.168.1.200" << QByteArray("\xC0\xA8\x01\xC8", 4);
        QTest::newRow("255.255.255.255") << "255.255.255.255" << QByteArray("\xFF\xFF\xFF\xFF", 4);
        QTest::newRow("256 keeps its low byte 0") << "256.1.1.1" << QByteArray("\x00\x01\x01\x01", 4);
        QTest::newRow("300 counts as 44") << "1.300.1.1" << QByteArray("\x01\x2C\x01\x01", 4);
        QTest::newRow("-1 counts as 255") << "-1.0.0.7" << QByteArray("\xFF\x00\x00\x07", 4);
        QTest::newRow("-300 counts as 212") << "0.0.-300.0" << QByteArray("\x00\x00\xD4\x00", 4);
        QTest::newRow("number beyond 64 bits") << "1000000000000000000001.2.3.4"
                                               << QByteArray("\x01\x02\x03\x04", 4);
        QTest::newRow("leading zeros") << "010.001.000.099" << QByteArray("\x0A\x01\x00\x63", 4);
        QTest::newRow("three parts") << "1.2.3" << QByteArray(4, '\0');
        QTest::newRow("empty") << "" << QByteArray(4, '\0');
        QTest::newRow("no dot") << "12345" << QByteArray(4, '\0');
        QTest::newRow("five parts") << "1.2.3.4.5" << QByteArray(4, '\0');
        QTest::newRow("trailing dot") << "1.2.3.4." << QByteArray(4, '\0');
        QTest::newRow("part not a number") << "1.2.x.4" << QByteArray(4, '\0');
        QTest::newRow("empty part") << "1..3.4" << QByteArray(4, '\0');
        QTest::newRow("blank in a part") << "1.2.3. 4" << QByteArray(4, '\0');
        QTest::newRow("lone minus") << "1.2.-.4" << QByteArray(4, '\0');
        QTest::newRow("host name") << "sip.example.test.x" << QByteArray(4, '\0');
    }

    void addressToLong() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(MemoryBytes(AddressToLong(text)).toHex(' '), bytes.toHex(' '));
    }

    void addressToLongIsSigned() {
        QVERIFY(AddressToLong(QStringLiteral("192.168.1.200")) < 0);
        QVERIFY(AddressToLong(QStringLiteral("10.0.0.1")) > 0);
        QCOMPARE(AddressToLong(QStringLiteral("255.255.255.255")), -1);
    }

    void echoStatusText_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        const QList<QPair<int, const char*>> table = {
            {0, "ping OK"},
            {1000, "ping timeout"},
            {11001, "ip buffer trop petit"},
            {11002, "ip dest net non trouve"},
            {11003, "ip dest host non trouve"},
            {11004, "ip dest prot non trouve"},
            {11005, "ip dest port non trouve"},
            {11006, "ip pas de ressource"},
            {11007, "ip option invalide"},
            {11008, "ip hw_error"},
            {11009, "ip packet trop gros"},
            {11010, "ip req timed out"},
            {11011, "ip mauvaise req"},
            {11012, "ip mauvaise route"},
            {11013, "ip ttl expire transit"},
            {11014, "ip ttl expire reassem"},
            {11015, "ip param_problem"},
            {11016, "ip source quench"},
            {11017, "ip option too_big"},
            {11018, "ip bad destination"},
            {11019, "ip addr deleted"},
            {11020, "ip spec mtu change"},
            {11021, "ip mtu_change"},
            {11022, "ip unload"},
            {11023, "ip addr added"},
            {11050, "ip general failure"},
            {11255, "ip pending"},
            {12345, "unknown msg returned"},
            {11000, "unknown msg returned"},
            {11024, "unknown msg returned"},
            {-1, "unknown msg returned"},
            {1, "unknown msg returned"},
        };
        for (const auto& [code, message] : table)
            QTest::addRow("%d", code) << code << (QStringLiteral(" [") + QLatin1String(message) + u']');
    }

    void echoStatusText() {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(EchoStatusText(code), text);
    }

    void echoToLoopback_data() {
        QTest::addColumn<QString>("address");
        QTest::newRow("127.0.0.1") << "127.0.0.1";
        QTest::newRow("127.0.0.3") << "127.0.0.3";
    }

    void echoToLoopback() {
        QFETCH(QString, address);
        if (!IcmpSocketAvailable())
            QSKIP("this process may open neither a datagram nor a raw ICMP socket "
                  "(not in net.ipv4.ping_group_range and no CAP_NET_RAW)");
        EchoReply reply;
        QElapsedTimer timer;
        timer.start();
        PingEcho(address, reply);
        const qint64 elapsed = timer.elapsed();
        QCOMPARE(reply.Status, 0u);
        QCOMPARE(EchoStatusText(int32_t(reply.Status)), QStringLiteral(" [ping OK]"));
        QCOMPARE(reply.Address, NetworkAddress(address.toLatin1().constData()));
        QVERIFY2(reply.RoundTripTime <= uint32_t(elapsed), qPrintable(QString::number(reply.RoundTripTime)));
        QVERIFY(elapsed < 1000);
    }

    void echoToUnusableAddressIsNotAnswered_data() {
        QTest::addColumn<QString>("address");
        QTest::newRow("three parts") << "127.0.1";
        QTest::newRow("not a number") << "127.0.0.x";
        QTest::newRow("0.0.0.0") << "0.0.0.0";
    }

    void echoToUnusableAddressIsNotAnswered() {
        // Address 0 would reach this host itself on Linux; it is refused instead.
        QFETCH(QString, address);
        if (!IcmpSocketAvailable()) QSKIP("no ICMP socket can be opened by this process");
        EchoReply reply;
        PingEcho(address, reply);
        QCOMPARE(reply.Status, platform::kIpBadDestination);
        QCOMPARE(EchoStatusText(int32_t(reply.Status)), QStringLiteral(" [ip bad destination]"));
        QCOMPARE(FirstHopAddress(address), QString());
    }

    void firstHopOnLoopbackIsTheHostItself() {
        // Nothing lies between this host and its loopback: the echo reply itself answers.
        if (!IcmpSocketAvailable()) QSKIP("no ICMP socket can be opened by this process");
        QCOMPARE(FirstHopAddress(QStringLiteral("127.0.0.2")), QStringLiteral("127.0.0.2"));
    }

    void withoutIcmpSocketEchoIsLost() {
        platform::SetIcmpUnavailableForTesting(true);
        EchoReply reply;  // all zero, as the callers pass it
        PingEcho(QStringLiteral("127.0.0.1"), reply);
        QCOMPARE(reply.Status, platform::kIpGeneralFailure);
        QCOMPARE(reply.RoundTripTime, 0u);
        QCOMPARE(EchoStatusText(int32_t(reply.Status)), QStringLiteral(" [ip general failure]"));

        const platform::IcmpOutcome outcome =
            platform::IcmpSendEcho(NetworkAddress("127.0.0.1"), 64, "x", 100);
        QVERIFY(!outcome.opened);
        QCOMPARE(outcome.replies, 0);
    }

    void withoutIcmpSocketNoFirstHop() {
        platform::SetIcmpUnavailableForTesting(true);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(FirstHopAddress(QStringLiteral("127.0.0.1")), QString());
        QVERIFY(timer.elapsed() < 1000);  // nothing to wait for
    }

    void icmpErrorStatus_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("code");
        QTest::addColumn<uint>("status");
        QTest::newRow("net unreachable") << 3 << 0 << 11002u;
        QTest::newRow("host unreachable") << 3 << 1 << 11003u;
        QTest::newRow("protocol unreachable") << 3 << 2 << 11004u;
        QTest::newRow("port unreachable") << 3 << 3 << 11005u;
        QTest::newRow("fragmentation needed") << 3 << 4 << 11009u;
        QTest::newRow("administratively filtered") << 3 << 13 << 11003u;
        QTest::newRow("ttl expired in transit") << 11 << 0 << 11013u;
        QTest::newRow("reassembly time exceeded") << 11 << 1 << 11014u;
        QTest::newRow("parameter problem") << 12 << 0 << 11015u;
        QTest::newRow("source quench") << 4 << 0 << 11016u;
        QTest::newRow("redirect is no answer") << 5 << 1 << 0u;
        QTest::newRow("echo request is no answer") << 8 << 0 << 0u;
    }

    void icmpErrorStatus() {
        QFETCH(int, type);
        QFETCH(int, code);
        QFETCH(uint, status);
        QCOMPARE(platform::IcmpErrorStatus(type, code), uint32_t(status));
    }

    void throughRouterNamespace_data() {
        QTest::addColumn<bool>("datagram");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<int>("ttl");
        QTest::addColumn<uint>("status");
        QTest::addColumn<QString>("from");  // address that answered, "" none

        for (bool datagram : {false, true}) {
            const char* kind = datagram ? "datagram" : "raw";
            QTest::addRow("%s: echo reply from the router", kind)
                << datagram << "198.51.100.1" << 255 << 0u << "198.51.100.1";
            QTest::addRow("%s: ttl 1 expires at the router", kind)
                << datagram << "203.0.113.5" << 1 << 11013u << "198.51.100.1";
            QTest::addRow("%s: no route at the router", kind)
                << datagram << "192.0.2.9" << 255 << 11002u << "198.51.100.1";
            QTest::addRow("%s: unreachable route at the router", kind)
                << datagram << "192.0.2.200" << 255 << 11003u << "198.51.100.1";
            QTest::addRow("%s: forwarded, never answered", kind)
                << datagram << "203.0.113.5" << 255 << 11010u << "";
            QTest::addRow("%s: limited broadcast", kind)
                << datagram << "255.255.255.255" << 255 << 11018u << "";
        }
    }

    void throughRouterNamespace() {
        QFETCH(bool, datagram);
        QFETCH(QString, destination);
        QFETCH(int, ttl);
        QFETCH(uint, status);
        QFETCH(QString, from);
        if (::geteuid() != 0) QSKIP("making network namespaces needs root");
        RouterLab lab(datagram);
        if (!lab.entered()) QSKIP(qPrintable(QStringLiteral("no router namespace: ") + lab.error()));

        QElapsedTimer timer;
        timer.start();
        const platform::IcmpOutcome outcome = platform::IcmpSendEcho(
            NetworkAddress(destination.toLatin1().constData()), ttl, QByteArrayLiteral("kikoo"), 1000);
        const qint64 elapsed = timer.elapsed();
        QVERIFY(outcome.opened);
        QCOMPARE(outcome.datagramSocket, datagram);
        QCOMPARE(outcome.status, uint32_t(status));
        if (from.isEmpty()) {
            QCOMPARE(outcome.replies, 0);
        } else {
            QCOMPARE(outcome.replies, 1);
            QCOMPARE(outcome.address, NetworkAddress(from.toLatin1().constData()));
            QVERIFY(outcome.roundTripMs <= uint32_t(elapsed));
        }
        if (status == platform::kIpReqTimedOut) QVERIFY2(elapsed >= 990 && elapsed < 1500, qPrintable(QString::number(elapsed)));
    }

    void firstHopThroughRouterNamespace_data() {
        QTest::addColumn<bool>("datagram");
        QTest::newRow("raw socket") << false;
        QTest::newRow("datagram socket") << true;
    }

    void firstHopThroughRouterNamespace() {
        QFETCH(bool, datagram);
        if (::geteuid() != 0) QSKIP("making network namespaces needs root");
        RouterLab lab(datagram);
        if (!lab.entered()) QSKIP(qPrintable(QStringLiteral("no router namespace: ") + lab.error()));

        // Beyond the router: its time-exceeded answer names it.
        QCOMPARE(FirstHopAddress(QStringLiteral("203.0.113.10")), QStringLiteral("198.51.100.1"));
        // The echo of the test run through the same router.
        EchoReply reply;
        PingEcho(QStringLiteral("198.51.100.1"), reply);
        QCOMPARE(reply.Status, 0u);
        QCOMPARE(reply.Address, NetworkAddress("198.51.100.1"));
        // TTL 255 lets the echo pass the router; nothing answers it within PingTimeout.
        probes::PingTimeout = 300;
        EchoReply lost;
        lost.RoundTripTime = 77;
        QElapsedTimer timer;
        timer.start();
        PingEcho(QStringLiteral("203.0.113.10"), lost);
        const qint64 elapsed = timer.elapsed();
        QCOMPARE(lost.Status, platform::kIpReqTimedOut);
        QCOMPARE(lost.RoundTripTime, 0u);
        QVERIFY2(elapsed >= 290 && elapsed < 800, qPrintable(QString::number(elapsed)));
    }
};

QTEST_GUILESS_MAIN(TestPing)

#include "test_ping.moc"
