// While an echo waits for an answer that never comes, the windows keep being
// served: timers and painting go on, user input waits except on the widgets
// marked for it, and nothing deferred runs inside the wait.
#include "platform/window_service.h"
#include "probes/ping.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <sched.h>

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

class TestWindowService : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!EnterSilentNetwork())
            QSKIP("no network namespace with a veth link can be made here (needs root)");
        probes::PingTimeout = 1000;
    }

    void cleanup() { platform::RemoveWindowService(); }

    void unansweredEchoKeepsTheWindowsServed_data()
    {
        QTest::addColumn<bool>("served");
        QTest::newRow("with the window service") << true;
        QTest::newRow("without it the echo blocks") << false;
    }
    void unansweredEchoKeepsTheWindowsServed()
    {
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

        probes::EchoReply reply;
        probes::PingEcho(QStringLiteral("10.9.0.2"), reply);
        const qint64 echoEnd = clock.elapsed();
        QCOMPARE(reply.Status, 11010u);
        QVERIFY2(echoEnd >= 1000, qPrintable(QString::number(echoEnd)));
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
};

QTEST_MAIN(TestWindowService)
#include "test_window_service.moc"
