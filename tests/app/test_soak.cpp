// SPDX-License-Identifier: Apache-2.0
// Long use in one process: the automatic test and "Повторить тест" run again
// and again, and each tool window is opened and closed many times, against
// the loopback fakes. Afterwards the process holds the same descriptors,
// timers and socket notifiers as after the first cycles, and its resident
// memory has grown by less than 5 %.
//
// TARVOLIN_SOAK_RUNS and TARVOLIN_SOAK_OPENS set the number of test runs and
// of openings per tool window (scripts/soak.sh runs 200 and 100); the figures
// are printed as "soak:" lines.
#include "app/main_window.h"
#include "platform/dns_query.h"
#include "platform/socket_set.h"
#include "platform/user_message.h"
#include "support/fake_dns_server.h"
#include "support/fake_sip_server.h"
#include "support/fake_stun_server.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTimer>
#include <QtTest>

#include <mutex>
#include <unistd.h>
#include <unordered_set>

// Qt's hook table for tools (qhooks_p.h): slots 3 and 4 are called for every
// QObject constructed and destroyed.
extern "C" Q_DECL_IMPORT quintptr qtHookData[];

namespace {

constexpr int kAddQObjectHook = 3;
constexpr int kRemoveQObjectHook = 4;

std::mutex g_objectsMutex;
std::unordered_set<QObject*>* g_objects = nullptr;

void ObjectAdded(QObject* object)
{
    std::lock_guard<std::mutex> lock(g_objectsMutex);
    g_objects->insert(object);
}

void ObjectRemoved(QObject* object)
{
    std::lock_guard<std::mutex> lock(g_objectsMutex);
    g_objects->erase(object);
}

void InstallObjectHooks()
{
    g_objects = new std::unordered_set<QObject*>;
    qtHookData[kAddQObjectHook] = reinterpret_cast<quintptr>(&ObjectAdded);
    qtHookData[kRemoveQObjectHook] = reinterpret_cast<quintptr>(&ObjectRemoved);
}

struct Figures {
    int descriptors = 0;
    long residentKb = 0;
    int objects = 0;
    int timerObjects = 0;    // QTimer and single-shot timers
    int activeTimers = 0;    // timers registered with the event loop
    int notifiers = 0;       // QSocketNotifier
};

Figures Measure()
{
    // Timers that come and go (a caret's blink, a pending repaint) settle first.
    QTest::qWait(300);
    Figures f;
    f.descriptors = static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System | QDir::Files).size());
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (statm.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> fields = statm.readAll().split(' ');
        if (fields.size() > 1)
            f.residentKb = fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024);
    }
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    std::lock_guard<std::mutex> lock(g_objectsMutex);
    f.objects = static_cast<int>(g_objects->size());
    for (QObject* object : *g_objects) {
        if (object->thread() != qApp->thread())
            continue;
        if (object->inherits("QTimer") || qstrcmp(object->metaObject()->className(), "QSingleShotTimer") == 0)
            ++f.timerObjects;
        if (object->inherits("QSocketNotifier"))
            ++f.notifiers;
        f.activeTimers += static_cast<int>(dispatcher->registeredTimers(object).size());
    }
    return f;
}

QString Describe(const Figures& f)
{
    return QStringLiteral("descriptors %1, RSS %2 kB, QObjects %3, timer objects %4, active timers %5, notifiers %6")
        .arg(f.descriptors).arg(f.residentKb).arg(f.objects).arg(f.timerObjects).arg(f.activeTimers).arg(f.notifiers);
}

int EnvCount(const char* name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value >= 0 ? value : fallback;
}

}  // namespace

class TestSoak : public QObject {
    Q_OBJECT

    testsupport::FakeStunServer stun_;
    testsupport::FakeSipServer sip_;
    std::unique_ptr<testsupport::FakeDnsServer> dns_;
    QStringList messages_;

    app::MainWindowDependencies deps()
    {
        app::MainWindowDependencies d;
        auto& e = d.endpoints;
        e.mainServer = QStringLiteral("127.0.0.2");
        e.secondServer = QStringLiteral("127.0.0.2");
        e.passageServer = QStringLiteral("127.0.0.2");
        e.furtherAddress = QStringLiteral("127.0.0.1");
        e.pingTarget = QStringLiteral("127.0.0.1");
        e.domain = QStringLiteral("127.0.0.53");
        e.networkPrefix = QStringLiteral("127.0.0");
        e.stunPort = stun_.port();
        e.sipPort = sip_.port();
        e.ssdpGroup.clear();  // nothing leaves the machine
        d.listInterfaces = [] {
            platform::InterfaceEntry lan;
            lan.Address = QStringLiteral("192.168.1.10");
            lan.Mask = QStringLiteral("255.255.255.0");
            return platform::InterfaceTable{lan};
        };
        tools::SurveyServer local;
        local.ServerName = QStringLiteral("local");
        local.ServerAddress = QStringLiteral("127.0.0.2");
        local.ServerPort = stun_.port();
        d.surveyServers = {local};
        return d;
    }

    // One automatic test run to its report; the wait between the two ticks is
    // cut short (every loopback answer is in long before).
    static bool runToEnd(app::Form1a& window, const std::function<void()>& start)
    {
        QSignalSpy finished(&window, &app::Form1a::testRunFinished);
        QTimer shortcut;
        shortcut.setInterval(20);
        QObject::connect(&shortcut, &QTimer::timeout, [&window] {
            QTimer* t = window.timer();
            if (t->isActive() && t->interval() >= 1000)
                t->start(150);
        });
        shortcut.start();
        start();
        return finished.count() > 0 || finished.wait(30000);
    }

    // Opens a tool window through open(), works it with its first button
    // (except the survey, which polls by itself) and closes it.
    static QString openAndClose(const std::function<void()>& open, bool pressFirstButton)
    {
        QString seen;
        QTimer::singleShot(0, qApp, [&seen, pressFirstButton] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            seen = QString::fromLatin1(dialog->metaObject()->className());
            if (pressFirstButton) {
                if (auto* button = dialog->findChild<QPushButton*>(QStringLiteral("Command1")))
                    button->click();
            }
            QTimer::singleShot(120, dialog, &QDialog::reject);
        });
        open();
        return seen;
    }

    // The fakes keep every request they saw; the soak keeps only the last cycle's,
    // so that the test's own records do not grow with it.
    void forgetRequests()
    {
        stun_.clearRequests();
        sip_.clearRequests();
    }

    void cycleTools(app::Form1a& window, int times)
    {
        for (int i = 0; i < times; ++i) {
            forgetRequests();
            QCOMPARE(openAndClose([&] { window.OpenPassageTest(); }, true), QStringLiteral("tools::Form1"));
            QCOMPARE(openAndClose([&] { window.OpenStunSurvey(); }, false), QStringLiteral("tools::Form2"));
            QCOMPARE(openAndClose([&] { window.OpenDnsSrvWindow(); }, true), QStringLiteral("tools::Form3"));
            QCOMPARE(openAndClose([&] { window.OpenPingWindow(); }, true), QStringLiteral("tools::Form4"));
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(stun_.start());
        // No TCP listener: connections accepted here would be this process's
        // descriptors too, closed whenever the peer's close arrives.
        QVERIFY(sip_.start(QHostAddress(QStringLiteral("127.0.0.2")), 0, false));
        dns_ = std::make_unique<testsupport::FakeDnsServer>();
        QVERIFY(dns_->isListening());
        platform::SetDnsServerOverride(dns_->address(), dns_->port());
        platform::SetMessageHandler([this](const platform::UserMessage& m) { messages_ << m.text; });
    }

    void cleanupTestCase()
    {
        platform::SetDnsServerOverride(QString(), 0);
        platform::SetMessageHandler({});
    }

    void longUseLeavesNothingBehind()
    {
        const int runs = EnvCount("TARVOLIN_SOAK_RUNS", 6);
        const int opens = EnvCount("TARVOLIN_SOAK_OPENS", 3);
        const Figures atStart = Measure();
        {
            app::Form1a window(deps());
            QVERIFY(runToEnd(window, [&] { window.Form_Load(); }));
            // The first cycles fill the caches and pools that stay for the
            // process's life; the figures are compared from here on.
            // The warm-up ends as the soak does: tool windows, then a test run.
            cycleTools(window, 2);
            QVERIFY(runToEnd(window, [&] { window.RestartTest(); }));
            QVERIFY(runToEnd(window, [&] { window.RestartTest(); }));
            cycleTools(window, 1);
            QVERIFY(runToEnd(window, [&] { window.RestartTest(); }));
            const Figures warm = Measure();

            for (int i = 0; i < runs; ++i) {
                forgetRequests();
                QVERIFY2(runToEnd(window, [&] { window.RestartTest(); }), qPrintable(QString::number(i)));
                QVERIFY(!stun_.requests().isEmpty());  // the run really went out
                QVERIFY(!window.reportText().isEmpty());
            }
            cycleTools(window, opens);
            QVERIFY(runToEnd(window, [&] { window.RestartTest(); }));
            QCOMPARE(window.state().ExternalAddress, QStringLiteral("127.0.0.1"));
            const Figures end = Measure();

            qInfo().noquote() << "soak: runs" << runs << "+ 5, tool window openings" << opens << "+ 3 each";
            qInfo().noquote() << "soak: at start       " << Describe(atStart);
            qInfo().noquote() << "soak: after warm-up  " << Describe(warm);
            qInfo().noquote() << "soak: at end         " << Describe(end);

            QCOMPARE(end.descriptors, warm.descriptors);
            QCOMPARE(end.timerObjects, warm.timerObjects);
            QVERIFY2(end.activeTimers <= warm.activeTimers, qPrintable(Describe(end)));
            QCOMPARE(end.notifiers, warm.notifiers);
            QCOMPARE(end.objects, warm.objects);
#if !defined(__SANITIZE_ADDRESS__)
            // (AddressSanitizer holds freed memory back on purpose.)
            QVERIFY2(end.residentKb < warm.residentKb * 105 / 100,
                     qPrintable(QStringLiteral("RSS %1 kB -> %2 kB").arg(warm.residentKb).arg(end.residentKb)));
#endif
        }
        // The window gone, its sockets are closed.
        QVERIFY(!platform::SocketsOpen());
    }
};

int main(int argc, char** argv)
{
    InstallObjectHooks();
    QApplication app(argc, argv);
    TestSoak test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_soak.moc"
