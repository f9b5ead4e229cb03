// SPDX-License-Identifier: Apache-2.0
#include "platform/socket_set.h"
#include "platform/user_message.h"
#include "support/loopback_peer.h"
#include "tools/leading_number.h"
#include "tools/passage_window.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <memory>

using testsupport::LoopbackPeer;
using tools::Form1;

namespace {

const QString kSipServer = QStringLiteral("192.0.2.44");

// A typed port nobody else on this machine is expected to hold.
int freePort()
{
    return testsupport::FreeUdpPort(20000);
}

QString expectedRequest(const QString& external, const QString& port, const QString& r)
{
    const QString s = kSipServer;
    return QStringLiteral("REGISTER sip:") + s + QStringLiteral(" SIP/2.0\r\n") +
           QStringLiteral("Via: SIP/2.0/UDP ") + external + QLatin1Char(':') + port + QStringLiteral("\r\n") +
           QStringLiteral("From: <sip:") + r + QLatin1Char('@') + s + QStringLiteral(">\r\n") +
           QStringLiteral("To: <sip:test@") + s + QStringLiteral(">\r\n") +
           QStringLiteral("Contact: \"Test\" <sip:test@") + external + QLatin1Char(':') + port +
           QStringLiteral(">\r\n") + QStringLiteral("Call-ID: E1967C7A8AC0495EBF0AACA2BA8BC87B@") + s +
           QStringLiteral("\r\n") + QStringLiteral("CSeq: 28378 REGISTER\r\n") + QStringLiteral("Expires: 500\r\n") +
           QStringLiteral("Content-Length: 0\r\n\r\n");
}

QString fromUser(const QByteArray& request)
{
    static const QRegularExpression from(QStringLiteral("\r\nFrom: <sip:([0-9]+)@"));
    const QRegularExpressionMatch match = from.match(QString::fromLatin1(request));
    return match.hasMatch() ? match.captured(1) : QString();
}

// Takes the privilege to bind ports below 1024 from this thread's effective
// set for its lifetime (the permitted set keeps it, so it can come back).
class WithoutPortPrivilege {
public:
    WithoutPortPrivilege()
    {
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        if (syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~(1u << CAP_NET_BIND_SERVICE);
        changed_ = syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~WithoutPortPrivilege()
    {
        if (changed_)
            syscall(SYS_capset, &header_, saved_);
    }

private:
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool changed_ = false;
};

}  // namespace

class TestPassageWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void opensTheSetAfterLoadAndClosesOnClose();
    void requestSentTwice_data();
    void requestSentTwice();
    void twoPressesDrawNewNumbers();
    void arrivalsAreLogged_data();
    void arrivalsAreLogged();
    void newestEntryOnTop();
    void logKeepsTheNewestEntries();
    void clearKeepsSocketsOpen();
    void typingAPortReopensTheSet();
    void typedPort_data();
    void typedPort();
    void portThatCannotBeBound_data();
    void portThatCannotBeBound();
    void leadingNumber_data();
    void leadingNumber();
    void plainNumberText_data();
    void plainNumberText();
    void timeOfDay_data();
    void timeOfDay();

private:
    std::unique_ptr<Form1> openWindow(const QString& portText = QString());

    probes::ProviderEndpoints m_endpoints;
    std::unique_ptr<LoopbackPeer> m_server;
    QStringList m_messages;
};

void TestPassageWindow::init()
{
    QVERIFY2(testsupport::WaitForFreeUdpPort(5060), "UDP port 5060 stays taken by another program");
    m_messages.clear();
    platform::SetMessageHandler([this](const platform::UserMessage& m) { m_messages << m.text; });
    m_server = std::make_unique<LoopbackPeer>(QHostAddress(QStringLiteral("127.0.0.5")));
    QVERIFY(m_server->isBound());
    m_endpoints = probes::ProviderEndpoints::builtIn();
    m_endpoints.mainServer = kSipServer;
    m_endpoints.passageServer = QStringLiteral("127.0.0.5");
    m_endpoints.sipPort = static_cast<uint16_t>(m_server->port());
}

void TestPassageWindow::cleanup()
{
    platform::CloseSockets();
    m_server.reset();
    platform::SetMessageHandler({});
}

std::unique_ptr<Form1> TestPassageWindow::openWindow(const QString& portText)
{
    auto window = std::make_unique<Form1>(m_endpoints);
    window->show();
    if (!portText.isEmpty())
        window->findChild<QLineEdit*>(QStringLiteral("Text2"))->setText(portText);
    QTest::qWait(30);
    return window;
}

void TestPassageWindow::opensTheSetAfterLoadAndClosesOnClose()
{
    Form1 window(m_endpoints);
    QCOMPARE(window.windowTitle(), QStringLiteral("Проверка прохождения пакетов"));
    QVERIFY(!platform::SocketsOpen());
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(platform::SocketsOpen(), 1000);
    QCOMPARE(platform::FixedLocalPort(), 5060);
    QVERIFY(m_messages.isEmpty());

    window.findChild<QPushButton*>(QStringLiteral("Command4"))->click();
    QVERIFY(!window.isVisible());
    QVERIFY(!platform::SocketsOpen());
}

void TestPassageWindow::requestSentTwice_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("external");
    QTest::addColumn<QString>("expectedExternal");
    QTest::addColumn<bool>("ownPort");

    QTest::newRow("any port, default 5060") << 0 << QStringLiteral("198.51.100.7") << QStringLiteral("198.51.100.7")
                                            << false;
    QTest::newRow("any port, typed port") << 0 << QStringLiteral("198.51.100.7") << QStringLiteral("198.51.100.7")
                                          << true;
    QTest::newRow("from the typed port") << 1 << QStringLiteral(" 203.0.113.9 ") << QStringLiteral("203.0.113.9")
                                         << true;
    QTest::newRow("no external address") << 0 << QString() << QString() << false;
    QTest::newRow("no external address, typed port") << 1 << QString() << QString() << true;
}

void TestPassageWindow::requestSentTwice()
{
    QFETCH(int, option);
    QFETCH(QString, external);
    QFETCH(QString, expectedExternal);
    QFETCH(bool, ownPort);

    const int port = ownPort ? freePort() : 5060;
    auto window = openWindow(ownPort ? QString::number(port) : QString());
    QTRY_COMPARE_WITH_TIMEOUT(platform::FixedLocalPort(), port, 1000);
    window->setExternalAddress(external);
    window->findChild<QRadioButton*>(QStringLiteral("Option1_%1").arg(option))->setChecked(true);
    window->findChild<QPushButton*>(QStringLiteral("Command1"))->click();

    const auto first = m_server->receive(1000);
    const auto second = m_server->receive(1000);
    QVERIFY(first && second);
    QVERIFY(!m_server->receive(100));
    QCOMPARE(first->data, second->data);

    const QString r = fromUser(first->data);
    QVERIFY2(!r.isEmpty(), first->data.constData());
    QVERIFY(r.size() <= 7);
    QVERIFY(r == QStringLiteral("0") || !r.startsWith(QLatin1Char('0')));
    QCOMPARE(QString::fromLatin1(first->data), expectedRequest(expectedExternal, QString::number(port), r));

    const int sourcePort = option == 0 ? platform::ProbeLocalPort() : port;
    QCOMPARE(first->senderPort, sourcePort);
    QCOMPARE(second->senderPort, sourcePort);
    QVERIFY(window->logText().isEmpty());
}

void TestPassageWindow::twoPressesDrawNewNumbers()
{
    auto window = openWindow(QString::number(freePort()));
    QSet<QString> numbers;
    QByteArray firstRequest;
    for (int press = 0; press < 4; ++press) {
        window->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        const auto a = m_server->receive(1000);
        const auto b = m_server->receive(1000);
        QVERIFY(a && b);
        numbers << fromUser(a->data);
        // Everything but the From user stays the same from press to press.
        QByteArray rest = a->data;
        rest.replace(fromUser(a->data).toLatin1() + '@', "R@");
        if (press == 0)
            firstRequest = rest;
        QCOMPARE(rest, firstRequest);
    }
    // Four draws out of ten million all alike would be a broken generator.
    QVERIFY(numbers.size() > 1);
}

void TestPassageWindow::arrivalsAreLogged_data()
{
    QTest::addColumn<bool>("fixed");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("logged");

    QTest::newRow("fixed port, 5 bytes") << true << 5 << false;
    QTest::newRow("fixed port, 6 bytes") << true << 6 << true;
    QTest::newRow("fixed port, empty") << true << 0 << false;
    QTest::newRow("fixed port, 1024 bytes") << true << 1024 << true;
    QTest::newRow("probe port, 5 bytes") << false << 5 << false;
    QTest::newRow("probe port, 6 bytes") << false << 6 << true;
}

void TestPassageWindow::arrivalsAreLogged()
{
    QFETCH(bool, fixed);
    QFETCH(int, size);
    QFETCH(bool, logged);

    const int port = freePort();
    auto window = openWindow(QString::number(port));
    QTRY_COMPARE_WITH_TIMEOUT(platform::FixedLocalPort(), port, 1000);
    const int target = fixed ? port : platform::ProbeLocalPort();
    const QString shownPort = QString::number(target);

    LoopbackPeer peer;
    const QString before = tools::TimeOfDayText(QTime::currentTime());
    QVERIFY(peer.sendTo(target, QByteArray(size, 'x')));
    // A marker datagram after it: once that one is logged the first was handled.
    QVERIFY(peer.sendTo(target, QByteArray("marker")));
    QTRY_VERIFY_WITH_TIMEOUT(!window->logText().isEmpty(), 2000);
    QTest::qWait(50);
    const QString after = tools::TimeOfDayText(QTime::currentTime());

    static const QRegularExpression entry(QStringLiteral("\\(([^)]*)\\) пришел пакет на порт (\\d+)\r\n\r\n"));
    QStringList times;
    auto it = entry.globalMatch(window->logText());
    qsizetype consumed = 0;
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        QCOMPARE(m.capturedStart(), consumed);
        consumed = m.capturedEnd();
        QCOMPARE(m.captured(2), shownPort);
        times << m.captured(1);
    }
    QCOMPARE(consumed, window->logText().size());
    QCOMPARE(times.size(), logged ? 2 : 1);
    for (const QString& time : times)
        QVERIFY2(time == before || time == after, qPrintable(time));
}

void TestPassageWindow::newestEntryOnTop()
{
    const int port = freePort();
    auto window = openWindow(QString::number(port));
    QTRY_COMPARE_WITH_TIMEOUT(platform::FixedLocalPort(), port, 1000);
    LoopbackPeer peer;
    QVERIFY(peer.sendTo(port, QByteArray("first!")));
    QTRY_VERIFY_WITH_TIMEOUT(!window->logText().isEmpty(), 2000);
    const QString older = window->logText();

    QVERIFY(peer.sendTo(platform::ProbeLocalPort(), QByteArray("second")));
    QTRY_VERIFY_WITH_TIMEOUT(window->logText().size() > older.size(), 2000);
    const QString newest = window->logText().left(window->logText().size() - older.size());
    QVERIFY(window->logText().endsWith(older));
    QVERIFY2(newest.endsWith(QStringLiteral(") пришел пакет на порт ") + QString::number(platform::ProbeLocalPort()) +
                             QStringLiteral("\r\n\r\n")),
             qPrintable(newest));
    // The log box shows the same lines.
    const QString shown = window->findChild<QPlainTextEdit*>(QStringLiteral("Text3"))->toPlainText();
    QCOMPARE(shown, QString(window->logText()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void TestPassageWindow::clearKeepsSocketsOpen()
{
    const int port = freePort();
    auto window = openWindow(QString::number(port));
    QTRY_COMPARE_WITH_TIMEOUT(platform::FixedLocalPort(), port, 1000);
    LoopbackPeer peer;
    QVERIFY(peer.sendTo(port, QByteArray("before clear")));
    QTRY_VERIFY_WITH_TIMEOUT(!window->logText().isEmpty(), 2000);

    window->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    QVERIFY(window->logText().isEmpty());
    QVERIFY(window->findChild<QPlainTextEdit*>(QStringLiteral("Text3"))->toPlainText().isEmpty());
    QVERIFY(platform::SocketsOpen());

    QVERIFY(peer.sendTo(port, QByteArray("after clear")));
    QTRY_VERIFY_WITH_TIMEOUT(!window->logText().isEmpty(), 2000);
    QCOMPARE(window->logText().count(QStringLiteral("пришел пакет")), 1);
}

void TestPassageWindow::typingAPortReopensTheSet()
{
    auto window = openWindow();
    QTRY_COMPARE_WITH_TIMEOUT(platform::FixedLocalPort(), 5060, 1000);
    auto* text2 = window->findChild<QLineEdit*>(QStringLiteral("Text2"));
    auto* option1 = window->findChild<QRadioButton*>(QStringLiteral("Option1_1"));
    QCOMPARE(option1->text(), QStringLiteral("Отправлять запрос порта 5060"));

    text2->setFocus();
    text2->selectAll();
    QTest::keyClick(text2, Qt::Key_Delete);
    QCOMPARE(text2->text(), QString());
    QCOMPARE(option1->text(), QStringLiteral("Отправлять запрос порта 0"));
    QVERIFY(!platform::SocketsOpen());
    QVERIFY(m_messages.isEmpty());

    const QList<int> steps{5, 50, 507, 5070};
    const QString typed = QStringLiteral("5070");
    for (int i = 0; i < typed.size(); ++i) {
        QTest::keyClick(text2, typed.at(i).toLatin1());
        QCOMPARE(option1->text(), QStringLiteral("Отправлять запрос порта ") + QString::number(steps[i]));
        QVERIFY(platform::SocketsOpen());
    }
    QCOMPARE(platform::FixedLocalPort(), 5070);

    // The set stays with the last port: an arrival there is logged with it.
    LoopbackPeer peer;
    QVERIFY(peer.sendTo(5070, QByteArray("hello?")));
    QTRY_VERIFY_WITH_TIMEOUT(window->logText().contains(QStringLiteral("порт 5070\r\n")), 2000);
}

void TestPassageWindow::typedPort_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");  // 0: refused
    QTest::addColumn<QString>("caption");

    QTest::newRow("digits") << QStringLiteral("5071") << 5071 << QStringLiteral("5071");
    QTest::newRow("blanks around") << QStringLiteral("  5072 ") << 5072 << QStringLiteral("5072");
    QTest::newRow("leading zero") << QStringLiteral("05073") << 5073 << QStringLiteral("5073");
    QTest::newRow("trailing letters") << QStringLiteral("5072abc") << 0 << QStringLiteral("5072");
    QTest::newRow("fraction") << QStringLiteral("5060.5") << 0 << tools::PlainNumberText(5060.5);
    QTest::newRow("comma fraction") << QStringLiteral("5060,5") << 0 << QStringLiteral("5060");
    QTest::newRow("above 65535") << QStringLiteral("70596") << 0 << QStringLiteral("70596");
    QTest::newRow("zero") << QStringLiteral("0") << 0 << QStringLiteral("0");
    QTest::newRow("no number") << QStringLiteral("abc") << 0 << QStringLiteral("0");
}

void TestPassageWindow::typedPort()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    QFETCH(QString, caption);

    auto window = openWindow(text);
    QCOMPARE(window->port().value_or(0), port);
    QCOMPARE(window->findChild<QRadioButton*>(QStringLiteral("Option1_1"))->text(),
             QStringLiteral("Отправлять запрос порта ") + caption);
    QCOMPARE(platform::SocketsOpen(), port != 0);
    QCOMPARE(platform::FixedLocalPort(), port);

    for (int option : {0, 1}) {
        window->findChild<QRadioButton*>(QStringLiteral("Option1_%1").arg(option))->setChecked(true);
        window->setExternalAddress(QStringLiteral("198.51.100.1"));
        m_messages.clear();
        window->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        if (port == 0) {
            // A clear word and nothing on the wire.
            QCOMPARE(m_messages, QStringList{tools::TypedPortMessage()});
            QVERIFY(!m_server->receive(150));
            continue;
        }
        QVERIFY(m_messages.isEmpty());
        const auto sent = m_server->receive(1000);
        QVERIFY(sent && m_server->receive(1000));
        // The Via line carries the port's plain digits, whatever the locale.
        QVERIFY2(sent->data.contains(QStringLiteral("\r\nVia: SIP/2.0/UDP 198.51.100.1:%1\r\n").arg(port).toUtf8()),
                 sent->data.constData());
        QCOMPARE(sent->senderPort, option == 1 ? port : platform::ProbeLocalPort());
    }
}

void TestPassageWindow::portThatCannotBeBound_data()
{
    QTest::addColumn<bool>("privileged");
    QTest::newRow("held by another program") << false;
    QTest::newRow("needs a privilege") << true;
}

void TestPassageWindow::portThatCannotBeBound()
{
    QFETCH(bool, privileged);

    std::unique_ptr<LoopbackPeer> holder;
    std::unique_ptr<WithoutPortPrivilege> unprivileged;
    int port = 80;
    if (privileged) {
        unprivileged = std::make_unique<WithoutPortPrivilege>();
    } else {
        port = freePort();
        holder = std::make_unique<LoopbackPeer>(QHostAddress(QStringLiteral("0.0.0.0")), static_cast<quint16>(port));
        QVERIFY(holder->isBound());
    }
    auto window = openWindow(QString::number(port));
    QTRY_VERIFY_WITH_TIMEOUT(platform::SocketsOpen(), 1000);
    if (privileged && platform::FixedBindResult() == platform::FixedBind::Bound)
        QSKIP("this system lets any program bind port 80");

    const QString expected = privileged
        ? QStringLiteral("Порт 80 недоступен: у программы нет прав на открытие этого порта !!!")
        : QStringLiteral("Порт %1 занят другой программой !!!").arg(port);
    // "Taken" is said by the socket layer at once; the privilege only when sending.
    QCOMPARE(m_messages, privileged ? QStringList() : QStringList{expected});
    QCOMPARE(tools::FixedPortFailureMessage(platform::FixedBindResult(), port), expected);

    for (int option : {0, 1}) {
        window->findChild<QRadioButton*>(QStringLiteral("Option1_%1").arg(option))->setChecked(true);
        m_messages.clear();
        window->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        QCOMPARE(m_messages, QStringList{expected});
        QVERIFY(!m_server->receive(150));
    }
    // Whatever reaches the probe socket is still logged under its own port; nothing under the typed one.
    LoopbackPeer peer;
    QVERIFY(peer.sendTo(platform::ProbeLocalPort(), QByteArray("probe!")));
    QTRY_VERIFY_WITH_TIMEOUT(!window->logText().isEmpty(), 2000);
    QTest::qWait(100);
    QCOMPARE(window->logText().count(QStringLiteral("пришел пакет")), 1);
    QVERIFY(!window->logText().contains(QStringLiteral("порт %1\r\n").arg(port)));
}

void TestPassageWindow::logKeepsTheNewestEntries()
{
    const int port = freePort();
    auto window = openWindow(QString::number(port));
    QTRY_COMPARE_WITH_TIMEOUT(platform::FixedLocalPort(), port, 1000);
    LoopbackPeer peer;
    // Three oldest arrivals at the probe port, then enough at the fixed port to push them out.
    const int probePort = platform::ProbeLocalPort();
    for (int i = 0; i < 3; ++i)
        QVERIFY(peer.sendTo(probePort, QByteArray("oldest")));
    QTRY_COMPARE_WITH_TIMEOUT(window->logText().count(QStringLiteral("пришел пакет")), 3, 2000);
    // In batches the socket buffer can hold.
    const auto arrivals = [&] { return window->logText().count(QStringLiteral("пришел пакет")); };
    for (int sent = 0; sent < Form1::kMaxLogEntries - 1;) {
        const int batch = std::min(100, Form1::kMaxLogEntries - 1 - sent);
        for (int i = 0; i < batch; ++i)
            QVERIFY(peer.sendTo(port, QByteArray("filler")));
        sent += batch;
        QTRY_COMPARE_WITH_TIMEOUT(arrivals(), std::min(3 + sent, int(Form1::kMaxLogEntries)), 2000);
    }
    QVERIFY(window->logText().endsWith(QStringLiteral("порт %1\r\n\r\n").arg(probePort)));
    QCOMPARE(window->logText().count(QStringLiteral("пришел пакет")), Form1::kMaxLogEntries);
    QCOMPARE(window->logText().count(QStringLiteral("порт %1\r\n").arg(probePort)), 1);

    QVERIFY(peer.sendTo(port, QByteArray("filler")));
    QTRY_COMPARE_WITH_TIMEOUT(window->logText().count(QStringLiteral("порт %1\r\n").arg(probePort)), 0, 2000);
    QCOMPARE(window->logText().count(QStringLiteral("пришел пакет")), Form1::kMaxLogEntries);
    // The box holds what the log holds, newest on top.
    const QString shown = window->findChild<QPlainTextEdit*>(QStringLiteral("Text3"))->toPlainText();
    QCOMPARE(shown, window->logText().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void TestPassageWindow::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");

    QTest::newRow("empty") << QString() << 0.0;
    QTest::newRow("no number") << QStringLiteral("abc") << 0.0;
    QTest::newRow("blanks only") << QStringLiteral("   ") << 0.0;
    QTest::newRow("tab before") << QStringLiteral("\t7") << 7.0;
    QTest::newRow("point first") << QStringLiteral(".5") << 0.5;
    QTest::newRow("point last") << QStringLiteral(" 12.") << 12.0;
    QTest::newRow("second point ends it") << QStringLiteral("1.2.3") << 1.2;
    QTest::newRow("blank inside ends it") << QStringLiteral("50 60") << 50.0;
    QTest::newRow("comma is no decimal point") << QStringLiteral("50,5") << 50.0;
    QTest::newRow("sign is not a number") << QStringLiteral("-5") << 0.0;
    QTest::newRow("large") << QStringLiteral("65536") << 65536.0;
}

void TestPassageWindow::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(tools::LeadingNumber(text), value);
}

void TestPassageWindow::plainNumberText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");

    QTest::newRow("whole, Russian") << 5060.0 << QStringLiteral("ru_RU") << QStringLiteral("5060");
    QTest::newRow("whole, English") << 65535.0 << QStringLiteral("en_US") << QStringLiteral("65535");
    QTest::newRow("zero") << 0.0 << QStringLiteral("ru_RU") << QStringLiteral("0");
    QTest::newRow("fraction, Russian") << 5060.5 << QStringLiteral("ru_RU") << QStringLiteral("5060,5");
    QTest::newRow("fraction, English") << 5060.25 << QStringLiteral("en_US") << QStringLiteral("5060.25");
    QTest::newRow("long whole number") << 1234567.0 << QStringLiteral("de_DE") << QStringLiteral("1234567");
}

void TestPassageWindow::plainNumberText()
{
    QFETCH(double, value);
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QCOMPARE(tools::PlainNumberText(value, QLocale(locale)), text);
}

void TestPassageWindow::timeOfDay_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");

    QTest::newRow("Russian") << QStringLiteral("ru_RU") << QStringLiteral("07:05:09");
    QTest::newRow("German") << QStringLiteral("de_DE") << QStringLiteral("07:05:09");
}

void TestPassageWindow::timeOfDay()
{
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QCOMPARE(tools::TimeOfDayText(QTime(7, 5, 9), QLocale(locale)), text);
    // Afternoon hours keep the 24-hour form of these locales.
    QVERIFY(tools::TimeOfDayText(QTime(19, 0, 1), QLocale(locale)).startsWith(QStringLiteral("19")));
}

QTEST_MAIN(TestPassageWindow)
#include "test_passage_window.moc"
