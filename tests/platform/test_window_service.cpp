// SPDX-License-Identifier: Apache-2.0
// While an echo, a DNS query or a name lookup waits for an answer that never
// comes, the windows keep being served: timers and painting go on, user input
// waits except on the widgets marked for it, and nothing deferred runs inside
// the wait.
#include "platform/dns_query.h"
#include "platform/socket_set.h"
#include "platform/window_service.h"
#include "probes/ping.h"
#include "support/fake_dns_server.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryFile>
#include <QTimer>
#include <QtTest>

#include <sched.h>
#include <sys/mount.h>

namespace {

// This thread enters a network namespace of its own with a veth link: an
// echo to a neighbour on its veth link is never answered (nobody holds the address).
bool EnterSilentNetwork()
{
    if (::unshare(CLONE_NEWNET) != 0)
        return false;
    return std::system("ip link set lo up && ip link add v0 type veth peer name v1 && "
                       "ip addr add 10.9.0.1/24 dev v0 && ip link set v0 up && ip link set v1 up && "
                       "echo '0 2147483647' > /proc/sys/net/ipv4/ping_group_range") == 0;
}

// This thread gets a mount namespace of its own in which the system's resolver
// configuration is the given file (read by the C library's name lookup).
bool UseResolverConfiguration(const QString& path)
{
    return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount(QFile::encodeName(path).constData(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) == 0;
}

enum class Step { Echo, DnsQuery, NameLookup };

void Click(QWidget* widget)
{
    const QPointF at(2, 2);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(widget, new QMouseEvent(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                                                            type == QEvent::MouseButtonPress ? Qt::LeftButton
                                                                                             : Qt::NoButton,
                                                            Qt::NoModifier));
}

}  // namespace

Q_DECLARE_METATYPE(Step)

class TestWindowService : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!EnterSilentNetwork())
            QSKIP("no network namespace with a veth link can be made here (needs root)");
        probes::PingTimeout = 1000;
        // Name lookups ask one server on loopback port 53, once, for 1 s.
        QVERIFY(resolvConf_.open());
        resolvConf_.write("nameserver 127.0.0.1\noptions timeout:1 attempts:1\n");
        resolvConf_.flush();
        QVERIFY(UseResolverConfiguration(resolvConf_.fileName()));
        dns_ = std::make_unique<testsupport::FakeDnsServer>(QHostAddress(QStringLiteral("127.0.0.1")), 53);
        QVERIFY(dns_->isListening());
        dns_->setSilent(true);
        platform::SetDnsServerOverride(dns_->address(), dns_->port());
    }

    void cleanupTestCase() { platform::SetDnsServerOverride(QString(), 53); }

    void cleanup() { platform::RemoveWindowService(); }

    void unansweredStepKeepsTheWindowsServed_data()
    {
        QTest::addColumn<Step>("step");
        QTest::addColumn<bool>("served");
        QTest::newRow("echo with the window service") << Step::Echo << true;
        QTest::newRow("echo without it blocks") << Step::Echo << false;
        QTest::newRow("DNS query to a silent server") << Step::DnsQuery << true;
        QTest::newRow("name lookup through a silent server") << Step::NameLookup << true;
    }
    void unansweredStepKeepsTheWindowsServed()
    {
        QFETCH(Step, step);
        QFETCH(bool, served);
        if (served)
            platform::InstallWindowService();
        QWidget window;
        auto* exitButton = new QPushButton(QStringLiteral("Выход"), &window);
        auto* otherButton = new QPushButton(QStringLiteral("Меню"), &window);
        otherButton->move(0, 40);
        platform::ServeWhileBusy(exitButton);
        QVERIFY(platform::ShowAndWaitForExposure(&window, 1000));
        int exitClicks = 0, otherClicks = 0;
        connect(exitButton, &QPushButton::clicked, [&] { ++exitClicks; });
        connect(otherButton, &QPushButton::clicked, [&] { ++otherClicks; });

        QElapsedTimer clock;
        clock.start();
        qint64 last = 0, longestGap = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        connect(&ticker, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, clock.elapsed() - last);
            last = clock.elapsed();
        });
        ticker.start(10);
        bool deferredRanInside = false, deferredRan = false;
        platform::RunAfterWindowService(&window, [&] {
            deferredRan = true;
            deferredRanInside = platform::InWindowService();
        });
        Click(exitButton);
        Click(otherButton);

        const int queriesBefore = dns_->queryCount();
        switch (step) {
        case Step::Echo: {
            probes::EchoReply reply;
            probes::PingEcho(QStringLiteral("10.9.0.2"), reply);
            QCOMPARE(reply.Status, 11010u);
            break;
        }
        case Step::DnsQuery: {
            QVector<platform::DnsEntry> entries;
            int32_t count = 0;
            QCOMPARE(platform::DnsLookup(QStringLiteral("_sip._udp.silent.test"), entries, count, 33, 0),
                     platform::kDnsTimeout);
            break;
        }
        case Step::NameLookup:
            QCOMPARE(platform::ResolveHostText(QStringLiteral("host.silent.test")),
                     QStringLiteral("255.255.255.255"));
            break;
        }
        const qint64 stepEnd = clock.elapsed();
        // The whole time-out was waited (less the clock's rounding), for a query that went out.
        QVERIFY2(stepEnd >= 950, qPrintable(QString::number(stepEnd)));
        if (step != Step::Echo)
            QVERIFY(dns_->queryCount() > queriesBefore);
        if (served) {
            QVERIFY2(longestGap < 200, qPrintable(QString::number(longestGap)));
            QCOMPARE(exitClicks, 1);  // the exit button is served at once
        } else {
            QVERIFY(longestGap == 0 || last < 50);  // no tick inside the echo
            QCOMPARE(exitClicks, 0);
        }
        QCOMPARE(otherClicks, 0);  // other input never runs inside the echo
        QVERIFY(!deferredRanInside);
        QTRY_VERIFY(deferredRan);
    }

    void nameLookupAsksTheConfiguredServer()
    {
        dns_->setSilent(false);
        dns_->setAnswer(QStringLiteral("sip.lookup.test"), 1,
                        {0, {testsupport::FakeDnsRecord::A(QStringLiteral("sip.lookup.test"),
                                                           QStringLiteral("192.0.2.44"))}, {}, {}});
        const QString found = platform::ResolveHostText(QStringLiteral("sip.lookup.test"));
        const QString unknown = platform::ResolveHostText(QStringLiteral("nobody.lookup.test"));
        dns_->setSilent(true);
        QCOMPARE(found, QStringLiteral("192.0.2.44"));
        QCOMPARE(unknown, QStringLiteral("255.255.255.255"));
    }

private:
    QTemporaryFile resolvConf_;
    std::unique_ptr<testsupport::FakeDnsServer> dns_;
};

QTEST_MAIN(TestWindowService)
#include "test_window_service.moc"
