// SPDX-License-Identifier: Apache-2.0
// The extended NAT test run against a simulated NAT and RFC 5780 server on a
// virtual clock: the words it finds for each kind of NAT, the server checks,
// and the end of the lifetime search at the first lost probe.
#include <QTest>

#include "probes/extended_nat_test.h"
#include "support/rfc5780_server.h"

#include <deque>
#include <map>

using namespace probes;
using probes::stun5780::Endpoint;

namespace {

enum Dependence { Independent, AddressDep, AddressPortDep };

struct NatModel {
    bool present = true;
    Dependence mapping = Independent;
    Dependence filtering = AddressPortDep;
    bool preservePorts = true;
    bool hairpin = false;
    qint64 timeoutMs = 1000LL * 1000 * 1000;
};

struct ServerModel {
    bool rfc5780 = true;           // OTHER-ADDRESS and RESPONSE-ORIGIN sent
    bool honourChange = true;      // CHANGE-REQUEST
    bool honourResponsePort = true;
};

const Endpoint kPrimary{QStringLiteral("203.0.113.10"), 3478};
const Endpoint kOther{QStringLiteral("203.0.113.11"), 3479};
const QString kLocal = QStringLiteral("192.168.1.10");
const QString kExternal = QStringLiteral("192.0.2.2");

// A world of one client computer, its NAT and the server, implementing the
// socket host the test drives. Datagrams are queued and delivered in order.
class World : public SocketHost {
public:
    NatModel nat;
    ServerModel server;
    qint64 now = 0;
    QHash<int, int> sockets;  // handle -> local port
    int maxOpen = 0;

    int openSocket(int handle, int port) override
    {
        if (port == 0)
            port = 30000 + handle * 2;
        for (int p : sockets)
            if (p == port)
                return -1;
        sockets.insert(handle, port);
        maxOpen = std::max(maxOpen, int(sockets.size()));
        return port;
    }
    void closeSocket(int handle) override { sockets.remove(handle); }

    void send(int handle, const Endpoint& to, const QByteArray& data) override
    {
        if (!sockets.contains(handle))
            return;
        const Endpoint source = outbound(sockets.value(handle), to);
        if (to.address == kExternal) {
            if (nat.hairpin)
                inbound(source, to.port, data);
            return;
        }
        if (to.address == kPrimary.address || to.address == kOther.address)
            serve(source, to, data);
    }

    void pump(ExtendedNatTest& test)
    {
        while (!queue.empty()) {
            const auto [handle, from, data] = queue.front();
            queue.pop_front();
            test.datagramArrived(handle, from, data, now);
        }
    }

    // Runs the test to its end (or the limit) on the virtual clock.
    void run(ExtendedNatTest& test, qint64 limitMs = 1000000)
    {
        test.start(now);
        pump(test);
        while (test.running() && now < limitMs) {
            const std::optional<qint64> next = test.nextDeadline();
            if (!next)
                break;
            now = std::max(now, *next);
            test.timerFired(now);
            pump(test);
        }
    }

private:
    struct Binding {
        int localPort;
        Endpoint key;  // destination part that selects the binding
        int externalPort;
        qint64 lastUsed;
        QList<Endpoint> contacted;
    };
    QList<Binding> bindings;
    std::deque<std::tuple<int, Endpoint, QByteArray>> queue;
    int nextExternal = 10001;

    void expire()
    {
        bindings.removeIf([this](const Binding& b) { return now - b.lastUsed > nat.timeoutMs; });
    }

    Endpoint keyFor(const Endpoint& to) const
    {
        switch (nat.mapping) {
        case Independent: return Endpoint();
        case AddressDep: return Endpoint{to.address, 0};
        case AddressPortDep: return to;
        }
        return Endpoint();
    }

    // Without a NAT the bindings are the firewall's: same filtering, no translation.
    Endpoint outbound(int localPort, const Endpoint& to)
    {
        expire();
        for (Binding& b : bindings) {
            if (b.localPort == localPort && b.key == keyFor(to)) {
                b.lastUsed = now;
                if (!b.contacted.contains(to))
                    b.contacted << to;
                return Endpoint{nat.present ? kExternal : kLocal, b.externalPort};
            }
        }
        int external = localPort;
        const bool taken = std::any_of(bindings.cbegin(), bindings.cend(),
                                       [&](const Binding& b) { return b.externalPort == external; });
        if (nat.present && (!nat.preservePorts || taken))
            external = nextExternal += 7;
        bindings << Binding{localPort, nat.present ? keyFor(to) : Endpoint(), external, now, {to}};
        return Endpoint{nat.present ? kExternal : kLocal, external};
    }

    void deliver(int localPort, const Endpoint& from, const QByteArray& data)
    {
        for (auto it = sockets.cbegin(); it != sockets.cend(); ++it)
            if (it.value() == localPort)
                queue.emplace_back(it.key(), from, data);
    }

    void inbound(const Endpoint& from, int externalPort, const QByteArray& data)
    {
        expire();
        for (Binding& b : bindings) {
            if (b.externalPort != externalPort)
                continue;
            const bool pass = nat.filtering == Independent || from.address == kExternal
                              || std::any_of(b.contacted.cbegin(), b.contacted.cend(), [&](const Endpoint& c) {
                                     return nat.filtering == AddressDep ? c.address == from.address : c == from;
                                 });
            if (!pass)
                continue;
            b.lastUsed = now;  // like conntrack: inbound traffic refreshes too
            return deliver(b.localPort, from, data);
        }
    }

    // RFC 5780 server on two addresses and two ports.
    void serve(const Endpoint& source, const Endpoint& to, const QByteArray& request)
    {
        if (request.size() < 20)
            return;
        const testsupport::StunRequestFields fields = testsupport::ReadStunRequest(request);
        const int flags = fields.changeFlags;
        const std::optional<int> responsePort = fields.responsePort;
        Endpoint from = to;
        if (server.rfc5780 && server.honourChange) {
            if (flags & 0x04)
                from.address = from.address == kPrimary.address ? kOther.address : kPrimary.address;
            if (flags & 0x02)
                from.port = from.port == kPrimary.port ? kOther.port : kPrimary.port;
        }
        std::optional<Endpoint> origin, other;
        if (server.rfc5780) {
            origin = from;
            other = Endpoint{from.address == kPrimary.address ? kOther.address : kPrimary.address,
                             from.port == kPrimary.port ? kOther.port : kPrimary.port};
        }
        const QByteArray response = testsupport::BuildStunResponse(request, source, origin, other);
        Endpoint destination = source;
        if (responsePort && server.rfc5780 && server.honourResponsePort)
            destination.port = *responsePort;
        inbound(from, destination.port, response);
    }
};

ExtendedNatConfig configFor(QList<Measurement> measurements)
{
    ExtendedNatConfig c;
    c.server = kPrimary;
    c.localAddresses = {kLocal};
    c.measurements = measurements;
    int counter = 0;
    c.newTransactionId = [counter]() mutable {
        stun5780::TransactionId id{};
        ++counter;
        id[0] = uchar(counter >> 8);
        id[1] = uchar(counter);
        return id;
    };
    int rtp = 20000;
    c.candidateRtpPort = [rtp]() mutable { return rtp += 2; };
    return c;
}

QString text(const ExtendedNatTest& t)
{
    return FindingsText(t.findings());
}

}  // namespace

class TestExtendedNatTest : public QObject {
    Q_OBJECT
private slots:
    void behaviours_data();
    void behaviours();
    void serverChecks_data();
    void serverChecks();
    void hairpinAndPair_data();
    void hairpinAndPair();
    void lifetime_data();
    void lifetime();
    void stopClosesEverything();
};

void TestExtendedNatTest::behaviours_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<int>("mapping");
    QTest::addColumn<int>("filtering");
    QTest::addColumn<QString>("mappingWords");
    QTest::addColumn<QString>("filteringWords");

    QTest::newRow("no NAT, open") << false << 0 << int(Independent) << "NAT не обнаружен"
                                  << "(Endpoint-Independent Filtering)";
    QTest::newRow("no NAT, firewall") << false << 0 << int(AddressPortDep) << "NAT не обнаружен"
                                      << "(Address and Port-Dependent Filtering)";
    QTest::newRow("full cone") << true << int(Independent) << int(Independent) << "(Endpoint-Independent Mapping)"
                               << "(Endpoint-Independent Filtering)";
    QTest::newRow("restricted cone") << true << int(Independent) << int(AddressDep)
                                     << "(Endpoint-Independent Mapping)" << "(Address-Dependent Filtering)";
    QTest::newRow("port restricted cone") << true << int(Independent) << int(AddressPortDep)
                                          << "(Endpoint-Independent Mapping)"
                                          << "(Address and Port-Dependent Filtering)";
    QTest::newRow("address-dependent mapping") << true << int(AddressDep) << int(AddressPortDep)
                                               << "(Address-Dependent Mapping)"
                                               << "(Address and Port-Dependent Filtering)";
    QTest::newRow("symmetric") << true << int(AddressPortDep) << int(AddressPortDep)
                               << "(Address and Port-Dependent Mapping)"
                               << "(Address and Port-Dependent Filtering)";
}

void TestExtendedNatTest::behaviours()
{
    QFETCH(bool, present);
    QFETCH(int, mapping);
    QFETCH(int, filtering);
    QFETCH(QString, mappingWords);
    QFETCH(QString, filteringWords);

    World world;
    world.nat.present = present;
    world.nat.mapping = Dependence(mapping);
    world.nat.filtering = Dependence(filtering);
    ExtendedNatTest test(world, configFor({Measurement::Mapping, Measurement::Filtering}));
    world.run(test);
    QVERIFY(test.finished());
    QCOMPARE(test.findings().size(), 2);
    QVERIFY2(test.findings()[0].result.contains(mappingWords), qPrintable(test.findings()[0].result));
    QVERIFY2(test.findings()[1].result.contains(filteringWords), qPrintable(test.findings()[1].result));
    QVERIFY(!text(test).contains(kServerCannotTest));
    QCOMPARE(world.sockets.size(), 0);
}

void TestExtendedNatTest::serverChecks_data()
{
    QTest::addColumn<bool>("rfc5780");
    QTest::addColumn<bool>("honourChange");
    QTest::addColumn<bool>("honourResponsePort");
    QTest::addColumn<QStringList>("unsupported");  // measurement names

    QTest::newRow("no RFC 5780") << false << true << true
                                 << QStringList{"mapping", "filtering", "lifetime"};
    QTest::newRow("CHANGE-REQUEST ignored") << true << false << true << QStringList{"filtering"};
    QTest::newRow("RESPONSE-PORT ignored") << true << true << false << QStringList{"lifetime"};
}

// The NAT lets everything in: only the server's answers decide.
void TestExtendedNatTest::serverChecks()
{
    QFETCH(bool, rfc5780);
    QFETCH(bool, honourChange);
    QFETCH(bool, honourResponsePort);
    QFETCH(QStringList, unsupported);

    World world;
    world.nat.filtering = Independent;
    world.server = ServerModel{rfc5780, honourChange, honourResponsePort};
    ExtendedNatTest test(world, configFor({Measurement::Mapping, Measurement::Filtering, Measurement::Lifetime}));
    world.run(test, 30000);
    QVERIFY(test.findings().size() >= 2);
    for (const Finding& f : test.findings()) {
        const bool cannot = unsupported.contains(MeasurementName(f.kind));
        QVERIFY2(f.result.contains(kServerCannotTest) == cannot, qPrintable(f.result));
        if (cannot)
            QVERIFY2(!f.result.contains(QLatin1String("Endpoint")) && !f.result.contains(QLatin1String("Dependent")),
                     qPrintable(f.result));
    }
}

void TestExtendedNatTest::hairpinAndPair_data()
{
    QTest::addColumn<bool>("hairpin");
    QTest::addColumn<bool>("preservePorts");
    QTest::addColumn<QString>("hairpinResult");
    QTest::addColumn<bool>("pairPreserved");

    QTest::newRow("hairpin, ports kept") << true << true << "supported" << true;
    QTest::newRow("no hairpin, ports remapped") << false << false << "not-supported" << false;
}

void TestExtendedNatTest::hairpinAndPair()
{
    QFETCH(bool, hairpin);
    QFETCH(bool, preservePorts);
    QFETCH(QString, hairpinResult);
    QFETCH(bool, pairPreserved);

    World world;
    world.nat.hairpin = hairpin;
    world.nat.preservePorts = preservePorts;
    ExtendedNatTest test(world, configFor({Measurement::Hairpin, Measurement::RtpPair}));
    world.run(test);
    const QJsonObject json = FindingsJson(test.findings());
    QCOMPARE(json.value("hairpin").toObject().value("result").toString(), hairpinResult);
    const QJsonObject pair = json.value("rtp-pair").toObject();
    QCOMPARE(pair.value("localPort").toInt() % 2, 0);
    QCOMPARE(pair.value("preserved").toBool(), pairPreserved);
    QCOMPARE(pair.value("adjacent").toBool(), pairPreserved);
}

void TestExtendedNatTest::lifetime_data()
{
    QTest::addColumn<int>("timeoutSeconds");
    QTest::addColumn<int>("lastAlive");
    QTest::addColumn<int>("keepAlive");

    QTest::newRow("22 s") << 22 << 20 << 20;
    QTest::newRow("61 s") << 61 << 60 << 60;
    QTest::newRow("3 s: lost at the first step") << 3 << 0 << 2;
}

// The search ends one step after the lifetime, not at the cap, and the probes
// do not keep the probed bindings alive.
void TestExtendedNatTest::lifetime()
{
    QFETCH(int, timeoutSeconds);
    QFETCH(int, lastAlive);
    QFETCH(int, keepAlive);

    World world;
    world.nat.timeoutMs = timeoutSeconds * 1000LL;
    ExtendedNatTest test(world, configFor({Measurement::Lifetime}));
    world.run(test);
    QVERIFY(test.finished());
    const QJsonObject lifetime = FindingsJson(test.findings()).value("lifetime").toObject();
    QCOMPARE(lifetime.value("lastAliveSeconds").toInt(), lastAlive);
    QCOMPARE(lifetime.value("firstDeadSeconds").toInt(), lastAlive + 5);
    QCOMPARE(lifetime.value("keepAliveSeconds").toInt(), keepAlive);
    QVERIFY2(world.now <= (lastAlive + 5) * 1000 + 2000, qPrintable(QString::number(world.now)));
    if (keepAlive > 0)
        QVERIFY(test.findings()[0].meaning.contains(
            QStringLiteral("Настройте на телефоне отправку keep-alive (или перерегистрацию) не реже чем раз в %1 с")
                .arg(keepAlive)));
    QCOMPARE(world.sockets.size(), 0);
}

void TestExtendedNatTest::stopClosesEverything()
{
    World world;
    ExtendedNatTest test(world, configFor({Measurement::Mapping, Measurement::Lifetime, Measurement::Hairpin}));
    world.run(test, 12000);
    QVERIFY(test.running());
    QVERIFY(world.sockets.size() > 1);
    test.stop(world.now);
    QVERIFY(test.finished());
    QCOMPARE(world.sockets.size(), 0);
    QCOMPARE(test.findings().size(), 2);
    QCOMPARE(test.findings()[1].kind, Measurement::Lifetime);
    QCOMPARE(test.findings()[1].figures.value("result").toString(), QStringLiteral("stopped"));
    QVERIFY(!test.nextDeadline());
}

QTEST_GUILESS_MAIN(TestExtendedNatTest)
#include "test_extended_nat_test.moc"
