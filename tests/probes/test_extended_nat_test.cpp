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
    bool hairpinFiltered = false;  // hairpinned datagrams pass the receiver's filter
    bool pooling = false;          // every binding another external address
    qint64 timeoutMs = 1000LL * 1000 * 1000;
    qint64 blackoutFromMs = -1, blackoutToMs = -1;  // inbound datagrams lost meanwhile
};

struct ServerModel {
    bool rfc5780 = true;           // OTHER-ADDRESS and RESPONSE-ORIGIN sent
    bool honourChange = true;      // CHANGE-REQUEST
    bool honourResponsePort = true;
    // A host that sees each request and answers first, with the same
    // transaction ID, naming kForged as the mapped and the other address.
    std::optional<Endpoint> forger;
};

const Endpoint kForged{QStringLiteral("198.51.100.9"), 4000};

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
    QList<Endpoint> sentTo;

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
    void closeSocket(int handle) override
    {
        sockets.remove(handle);
        closedAt << now;
    }
    QList<qint64> closedAt;

    void send(int handle, const Endpoint& to, const QByteArray& data) override
    {
        if (!sockets.contains(handle))
            return;
        sentTo << to;
        const Endpoint source = outbound(sockets.value(handle), to);
        if (to.address.startsWith(QLatin1String("192.0.2."))) {
            if (nat.hairpin)
                inbound(source, to, data);
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
        QString externalAddress;
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
                return Endpoint{b.externalAddress, b.externalPort};
            }
        }
        int external = localPort;
        const bool taken = std::any_of(bindings.cbegin(), bindings.cend(),
                                       [&](const Binding& b) { return b.externalPort == external; });
        if (nat.present && (!nat.preservePorts || taken))
            external = nextExternal += 7;
        QString address = nat.present ? kExternal : kLocal;
        if (nat.present && nat.pooling)
            address = QStringLiteral("192.0.2.%1").arg(10 + bindings.size() % 200);
        bindings << Binding{localPort, nat.present ? keyFor(to) : Endpoint(), address, external, now, {to}};
        return Endpoint{address, external};
    }

    void deliver(int localPort, const Endpoint& from, const QByteArray& data)
    {
        for (auto it = sockets.cbegin(); it != sockets.cend(); ++it)
            if (it.value() == localPort)
                queue.emplace_back(it.key(), from, data);
    }

    void inbound(const Endpoint& from, const Endpoint& to, const QByteArray& data)
    {
        expire();
        if (now >= nat.blackoutFromMs && now < nat.blackoutToMs)
            return;
        for (Binding& b : bindings) {
            if (b.externalPort != to.port || b.externalAddress != to.address)
                continue;
            const bool hairpinned = from.address.startsWith(QLatin1String("192.0.2."));
            const bool pass = nat.filtering == Independent || (hairpinned && !nat.hairpinFiltered)
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
        if (server.forger)
            inbound(*server.forger, destination, testsupport::BuildStunResponse(request, kForged, kForged, kForged));
        inbound(from, destination, response);
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
    void forgedAnswers_data();
    void forgedAnswers();
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
    QVERIFY(!text(test).contains(ServerCannotTest()));
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
    world.server = ServerModel{rfc5780, honourChange, honourResponsePort, std::nullopt};
    ExtendedNatTest test(world, configFor({Measurement::Mapping, Measurement::Filtering, Measurement::Lifetime}));
    world.run(test, 30000);
    QVERIFY(test.findings().size() >= 2);
    for (const Finding& f : test.findings()) {
        const bool cannot = unsupported.contains(MeasurementName(f.kind));
        QVERIFY2(f.result.contains(ServerCannotTest()) == cannot, qPrintable(f.result));
        if (cannot)
            QVERIFY2(!f.result.contains(QLatin1String("Endpoint")) && !f.result.contains(QLatin1String("Dependent")),
                     qPrintable(f.result));
    }
}

// Answers with this run's transaction IDs from anywhere but the server's
// addresses and ports are not the server's: the findings are the clean run's
// and nothing goes to the address they name.
void TestExtendedNatTest::forgedAnswers_data()
{
    QTest::addColumn<Endpoint>("forger");
    QTest::newRow("a stranger on the server's port") << Endpoint{QStringLiteral("198.51.100.7"), 3478};
    QTest::newRow("the server's address, another port") << Endpoint{kPrimary.address, 5000};
    QTest::newRow("another port of the second address") << Endpoint{kOther.address, 5000};
}

void TestExtendedNatTest::forgedAnswers()
{
    QFETCH(Endpoint, forger);
    World clean;
    clean.nat.filtering = Independent;
    clean.nat.hairpin = true;
    ExtendedNatTest expected(clean, configFor(AllMeasurements()));
    clean.run(expected);

    World world;
    world.nat.filtering = Independent;
    world.nat.hairpin = true;
    world.server.forger = forger;
    ExtendedNatTest test(world, configFor(AllMeasurements()));
    world.run(test);
    QVERIFY(test.finished());
    QCOMPARE(text(test), text(expected));
    QVERIFY(!world.sentTo.contains(kForged));
}

void TestExtendedNatTest::hairpinAndPair_data()
{
    QTest::addColumn<bool>("hairpin");
    QTest::addColumn<int>("mapping");
    QTest::addColumn<int>("filtering");
    QTest::addColumn<bool>("preservePorts");
    QTest::addColumn<QString>("hairpinResult");
    QTest::addColumn<bool>("pairPreserved");

    QTest::newRow("hairpin, ports kept") << true << int(Independent) << int(AddressPortDep) << true << "supported"
                                         << true;
    QTest::newRow("no hairpin, ports remapped") << false << int(Independent) << int(AddressPortDep) << false
                                                << "not-supported" << false;
    // B's datagram passes A's filter only once A has sent to B's external address.
    QTest::newRow("hairpin through address-dependent filters") << true << int(Independent) << int(AddressDep) << true
                                                               << "supported" << true;
    // A new binding for the hairpinned datagram: another external port, not the internal address.
    QTest::newRow("hairpin, port-dependent mapping") << true << int(AddressPortDep) << int(Independent) << true
                                                     << "supported-other-port" << true;
}

void TestExtendedNatTest::hairpinAndPair()
{
    QFETCH(bool, hairpin);
    QFETCH(int, mapping);
    QFETCH(int, filtering);
    QFETCH(bool, preservePorts);
    QFETCH(QString, hairpinResult);
    QFETCH(bool, pairPreserved);

    World world;
    world.nat.hairpin = hairpin;
    world.nat.hairpinFiltered = true;
    world.nat.mapping = Dependence(mapping);
    world.nat.filtering = Dependence(filtering);
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
    QTest::addColumn<qint64>("blackoutFrom");  // answers lost for 1.5 s from here (ms), -1 none
    QTest::addColumn<bool>("noNat");
    QTest::addColumn<bool>("pooling");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("lastAlive");
    QTest::addColumn<int>("keepAlive");

    QTest::newRow("22 s") << 22 << -1LL << false << false << "measured" << 20 << 10;
    QTest::newRow("61 s") << 61 << -1LL << false << false << "measured" << 60 << 30;
    QTest::newRow("3 s: lost at the first step") << 3 << -1LL << false << false << "below-first-step" << 0 << 2;
    // The 30 s probe and its resend lost: confirmed alive with the next socket.
    QTest::newRow("61 s, one probe lost") << 61 << 30000LL << false << false << "measured" << 60 << 30;
    QTest::newRow("every socket another address") << 61 << -1LL << false << true << "different-addresses" << 0 << 0;
    QTest::newRow("open Internet") << 61 << -1LL << true << false << "no-binding" << 0 << 0;
}

// The search ends one step after the lifetime, not at the cap, the probes do
// not keep the probed bindings alive, and every socket stays open to the end.
void TestExtendedNatTest::lifetime()
{
    QFETCH(int, timeoutSeconds);
    QFETCH(qint64, blackoutFrom);
    QFETCH(bool, noNat);
    QFETCH(bool, pooling);
    QFETCH(QString, result);
    QFETCH(int, lastAlive);
    QFETCH(int, keepAlive);

    World world;
    world.nat.timeoutMs = timeoutSeconds * 1000LL;
    if (blackoutFrom >= 0) {
        world.nat.blackoutFromMs = blackoutFrom;
        world.nat.blackoutToMs = blackoutFrom + 1500;
    }
    world.nat.present = !noNat;
    world.nat.filtering = noNat ? Independent : AddressPortDep;
    world.nat.pooling = pooling;
    ExtendedNatTest test(world, configFor({Measurement::Lifetime}));
    world.run(test);
    QVERIFY(test.finished());
    const QJsonObject lifetime = FindingsJson(test.findings()).value("lifetime").toObject();
    QCOMPARE(lifetime.value("result").toString(), result);
    QCOMPARE(world.sockets.size(), 0);
    // Other measurements run beside the search: no socket of it (probed,
    // left out or idle) gives its port back before the search ends.
    QVERIFY(!world.closedAt.isEmpty());
    for (qint64 at : std::as_const(world.closedAt))
        QCOMPARE(at, world.now);
    if (result != "measured" && result != "below-first-step") {
        QVERIFY(!lifetime.contains("keepAliveSeconds"));
        QVERIFY2(world.now < 5000, qPrintable(QString::number(world.now)));
        return;
    }
    QCOMPARE(lifetime.value("lastAliveSeconds").toInt(), lastAlive);
    QCOMPARE(lifetime.value("firstDeadSeconds").toInt(), lastAlive + 5);
    QCOMPARE(lifetime.value("keepAliveSeconds").toInt(), keepAlive);
    // One probe time-out more for the confirmation of the lost probe.
    QVERIFY2(world.now <= (lastAlive + 5) * 1000 + 3500, qPrintable(QString::number(world.now)));
    QVERIFY(test.findings()[0].meaning.contains(
        QStringLiteral("Настройте на телефоне отправку keep-alive (или перерегистрацию) не реже чем раз в %1 с")
            .arg(keepAlive)));
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
