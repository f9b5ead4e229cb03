// SPDX-License-Identifier: Apache-2.0
#include "probes/extended_findings.h"

#include <QJsonArray>
#include <QCoreApplication>

namespace probes {

using stun5780::Endpoint;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString endpointText(const std::optional<Reply>& reply)
{
    return reply && reply->mapped ? reply->mapped->text() : QCoreApplication::translate("ExtendedFindings", "нет ответа");
}

QString yesNo(bool value)
{
    return value ? QCoreApplication::translate("ExtendedFindings", "да") : QCoreApplication::translate("ExtendedFindings", "нет");
}

QString unsupportedText(const QString& why)
{
    QString text = QCoreApplication::translate("ExtendedFindings", "Результат: ") + ServerCannotTest();
    if (!why.isEmpty())
        text += QStringLiteral(" (") + why + QLatin1Char(')');
    return text + QLatin1Char('.');
}

QString NoAnswerResult() { return QCoreApplication::translate("ExtendedFindings", "Результат: сервер STUN не ответил, тест не выполнен."); }
QString NoAnswerMeaning() { return QCoreApplication::translate("ExtendedFindings",
    "Для SIP-телефона: проверьте, что протокол UDP не заблокирован; результаты остальных проверок этого окна "
    "тоже могут быть неполными."); }
// RFC 4787 section 4.3, REQ-5.
QString BelowRfc4787() { return QCoreApplication::translate("ExtendedFindings", " Это меньше двух минут, которые NAT должен выдерживать по RFC 4787 "
                                             "(REQ-5)."); }
QString UnsupportedMeaning() { return QCoreApplication::translate("ExtendedFindings",
    "Для SIP-телефона: по этому серверу поведение NAT определить нельзя; опирайтесь на результаты "
    "автоматического теста."); }

}  // namespace

QList<Measurement> AllMeasurements()
{
    return {Measurement::Mapping, Measurement::Filtering, Measurement::Hairpin, Measurement::RtpPair,
            Measurement::Lifetime};
}

QString MeasurementName(Measurement m)
{
    switch (m) {
    case Measurement::Mapping: return QStringLiteral("mapping");
    case Measurement::Filtering: return QStringLiteral("filtering");
    case Measurement::Hairpin: return QStringLiteral("hairpin");
    case Measurement::RtpPair: return QStringLiteral("rtp-pair");
    case Measurement::Lifetime: return QStringLiteral("lifetime");
    }
    return QString();
}

std::optional<Measurement> MeasurementFromName(const QString& name)
{
    for (Measurement m : AllMeasurements())
        if (MeasurementName(m) == name.trimmed())
            return m;
    return std::nullopt;
}

QString BehaviourName(Behaviour b)
{
    switch (b) {
    case Behaviour::NoNat: return QStringLiteral("no-nat");
    case Behaviour::EndpointIndependent: return QStringLiteral("endpoint-independent");
    case Behaviour::AddressDependent: return QStringLiteral("address-dependent");
    case Behaviour::AddressAndPortDependent: return QStringLiteral("address-and-port-dependent");
    case Behaviour::Unsupported: return QStringLiteral("unsupported");
    case Behaviour::NoAnswer: return QStringLiteral("no-answer");
    }
    return QString();
}

Finding MappingFinding(Behaviour b, const MappingEvidence& e, const QString& why)
{
    Finding f;
    f.kind = Measurement::Mapping;
    f.title = QCoreApplication::translate("ExtendedFindings", "Отображение адресов (mapping)");
    // Only the requests that were sent: each one depends on the answer before.
    QStringList asked{QCoreApplication::translate("ExtendedFindings", "на основной адрес сервера %1 — %2").arg(e.primary.text(), endpointText(e.test1))};
    const bool secondSent = e.test1 && e.test1->mapped && UsableOtherAddress(e.test1->otherAddress, e.primary)
                            && b != Behaviour::NoNat;
    if (secondSent) {
        const Endpoint other = *e.test1->otherAddress;
        asked << QCoreApplication::translate("ExtendedFindings", "на второй адрес %1 — %2")
                     .arg(Endpoint{other.address, e.primary.port}.text(), endpointText(e.test2));
        if (e.test2 && e.test2->mapped && *e.test2->mapped != *e.test1->mapped)
            asked << QCoreApplication::translate("ExtendedFindings", "на второй адрес и порт %1 — %2").arg(other.text(), endpointText(e.test3));
    }
    f.measured = QCoreApplication::translate("ExtendedFindings", "Что измерено: внешний адрес и порт одного сокета при запросах ") + asked.join(QStringLiteral("; "))
                 + QLatin1Char('.');
    switch (b) {
    case Behaviour::NoNat:
        f.result = QCoreApplication::translate("ExtendedFindings", "Результат: внешний адрес и порт совпадают с адресом и портом компьютера — "
                                  "NAT не обнаружен, адреса не транслируются.");
        f.meaning = QCoreApplication::translate("ExtendedFindings", "Для SIP-телефона: STUN не нужен, телефон настраивается как на публичном адресе.");
        break;
    case Behaviour::EndpointIndependent:
        f.result = QCoreApplication::translate("ExtendedFindings", "Результат: NAT сохраняет один и тот же внешний адрес и порт для всех "
                                  "получателей (Endpoint-Independent Mapping).");
        f.meaning = QCoreApplication::translate("ExtendedFindings", "Для SIP-телефона: адрес, который телефон узнаёт через STUN, верен для всех "
                                   "собеседников; STUN можно использовать.");
        break;
    case Behaviour::AddressDependent:
        f.result = QCoreApplication::translate("ExtendedFindings", "Результат: NAT выбирает новый внешний порт для каждого нового адреса "
                                  "получателя (Address-Dependent Mapping).");
        break;
    case Behaviour::AddressAndPortDependent:
        f.result = QCoreApplication::translate("ExtendedFindings", "Результат: NAT выбирает новый внешний порт для каждого нового адреса и порта "
                                  "получателя (Address and Port-Dependent Mapping).");
        break;
    case Behaviour::Unsupported:
        f.result = unsupportedText(why);
        f.meaning = UnsupportedMeaning();
        break;
    case Behaviour::NoAnswer:
        f.result = NoAnswerResult();
        f.meaning = NoAnswerMeaning();
        break;
    }
    if (b == Behaviour::AddressDependent || b == Behaviour::AddressAndPortDependent)
        f.meaning = QCoreApplication::translate("ExtendedFindings", "Для SIP-телефона: адрес, найденный через STUN, неверен для других собеседников — "
                                   "STUN не поможет. Нужен SIP-сервер, работающий с NAT (rport, симметричный RTP), "
                                   "TURN или проброс портов.");
    f.figures.insert(QStringLiteral("behaviour"), BehaviourName(b));
    QJsonArray mapped;
    for (const std::optional<Reply>* r : {&e.test1, &e.test2, &e.test3})
        if (*r && (*r)->mapped)
            mapped.append((*r)->mapped->text());
    f.figures.insert(QStringLiteral("mapped"), mapped);
    return f;
}

Finding FilteringFinding(Behaviour b, const FilteringEvidence& e, const QString& why)
{
    Finding f;
    f.kind = Measurement::Filtering;
    f.title = QCoreApplication::translate("ExtendedFindings", "Фильтрация входящих пакетов (filtering)");
    const bool secondSent = e.test1 && e.test1->mapped && UsableOtherAddress(e.test1->otherAddress, e.primary);
    if (!secondSent) {
        f.measured = QCoreApplication::translate("ExtendedFindings", "Что измерено: ответ сервера %1 на запрос с нового сокета — %2.")
                         .arg(e.primary.text(), e.test1 ? QCoreApplication::translate("ExtendedFindings", "получен") : QCoreApplication::translate("ExtendedFindings", "не получен"));
    } else {
        f.measured = QCoreApplication::translate("ExtendedFindings", "Что измерено: доходит ли до нового сокета ответ сервера %1, отправленный с "
                                    "другого адреса и порта — %2")
                         .arg(e.primary.text(), e.test2 ? QCoreApplication::translate("ExtendedFindings", "дошёл") : QCoreApplication::translate("ExtendedFindings", "не дошёл"));
        if (!e.test2)
            f.measured += QCoreApplication::translate("ExtendedFindings", ", и с другого порта того же адреса — %1")
                              .arg(e.test3 ? QCoreApplication::translate("ExtendedFindings", "дошёл") : QCoreApplication::translate("ExtendedFindings", "не дошёл"));
        f.measured += QLatin1Char('.');
    }
    switch (b) {
    case Behaviour::NoNat:
    case Behaviour::EndpointIndependent:
        f.result = QCoreApplication::translate("ExtendedFindings", "Результат: входящие пакеты проходят с любого адреса и порта "
                                  "(Endpoint-Independent Filtering).");
        f.meaning = QCoreApplication::translate("ExtendedFindings", "Для SIP-телефона: входящие запросы и голос дойдут от любого сервера и "
                                   "собеседника, пока отображение живо.");
        break;
    case Behaviour::AddressDependent:
        f.result = QCoreApplication::translate("ExtendedFindings", "Результат: входящие пакеты проходят только с адресов, на которые компьютер уже "
                                  "отправлял пакеты, с любого их порта (Address-Dependent Filtering).");
        f.meaning = QCoreApplication::translate("ExtendedFindings", "Для SIP-телефона: голос собеседника дойдёт после того, как телефон сам отправит "
                                   "ему пакет (симметричный RTP); запросы с других адресов провайдера не дойдут.");
        break;
    case Behaviour::AddressAndPortDependent:
        f.result = QCoreApplication::translate("ExtendedFindings", "Результат: входящие пакеты проходят только с тех адресов и портов, на которые "
                                  "компьютер уже отправлял пакеты (Address and Port-Dependent Filtering).");
        f.meaning = QCoreApplication::translate("ExtendedFindings", "Для SIP-телефона: вызовы дойдут только от сервера, с которым телефон "
                                   "поддерживает связь keep-alive-пакетами; голос — только с адреса и порта, "
                                   "на которые телефон сам отправляет голос.");
        break;
    case Behaviour::Unsupported:
        f.result = unsupportedText(why);
        f.meaning = UnsupportedMeaning();
        break;
    case Behaviour::NoAnswer:
        f.result = NoAnswerResult();
        f.meaning = NoAnswerMeaning();
        break;
    }
    f.figures.insert(QStringLiteral("behaviour"), BehaviourName(b));
    return f;
}

Finding HairpinFinding(Hairpin h, const HairpinEvidence& e)
{
    Finding f;
    f.kind = Measurement::Hairpin;
    f.title = QCoreApplication::translate("ExtendedFindings", "Петля через NAT (hairpinning)");
    f.measured = QCoreApplication::translate("ExtendedFindings", "Что измерено: доходят ли пакеты между двумя сокетами компьютера, отправленные на "
                                "внешние адреса друг друга (%1 и %2), в одну или в другую сторону.")
                     .arg(e.mappedA ? e.mappedA->text() : QCoreApplication::translate("ExtendedFindings", "не определён"),
                          e.mappedB ? e.mappedB->text() : QCoreApplication::translate("ExtendedFindings", "не определён"));
    const std::optional<Endpoint> seen = e.receivedAtA ? e.receivedAtA : e.receivedAtB;
    if (seen)
        f.measured += QCoreApplication::translate("ExtendedFindings", " Отправитель пришедшего пакета: %1.").arg(seen->text());
    QString name;
    switch (h) {
    case Hairpin::NoNat:
        name = QStringLiteral("no-nat");
        f.result = QCoreApplication::translate("ExtendedFindings", "Результат: NAT не обнаружен, проверка не нужна.");
        f.meaning = QCoreApplication::translate("ExtendedFindings", "Для SIP-телефона: устройства в этой сети связываются напрямую.");
        break;
    case Hairpin::Supported:
        name = QStringLiteral("supported");
        f.result = QCoreApplication::translate("ExtendedFindings", "Результат: пакет дошёл, отправитель виден по внешнему адресу (Hairpinning "
                                  "поддерживается).");
        f.meaning = QCoreApplication::translate("ExtendedFindings", "Для SIP-телефона: два телефона за этим NAT слышат друг друга и при звонке через "
                                   "внешние адреса.");
        break;
    case Hairpin::SupportedOtherPort:
        name = QStringLiteral("supported-other-port");
        f.result = QCoreApplication::translate("ExtendedFindings", "Результат: пакет дошёл, но отправитель виден с другим внешним портом или адресом, "
                                  "чем сообщил STUN (Hairpinning поддерживается, с другим внешним портом).");
        f.meaning = QCoreApplication::translate("ExtendedFindings", "Для SIP-телефона: два телефона за этим NAT связываются через внешние адреса, если "
                                   "принимают голос с того адреса и порта, откуда он пришёл (симметричный RTP).");
        break;
    case Hairpin::SupportedInternalSource:
        name = QStringLiteral("internal-source");
        f.result = QCoreApplication::translate("ExtendedFindings", "Результат: пакет дошёл, но отправитель виден по внутреннему адресу (Hairpinning "
                                  "без внешнего адреса отправителя).");
        f.meaning = QCoreApplication::translate("ExtendedFindings", "Для SIP-телефона: при звонке между двумя телефонами за этим NAT голос может "
                                   "идти только в одну сторону.");
        break;
    case Hairpin::NotSupported:
        name = QStringLiteral("not-supported");
        f.result = QCoreApplication::translate("ExtendedFindings", "Результат: пакеты не дошли ни в одну сторону (Hairpinning не поддерживается).");
        f.meaning = QCoreApplication::translate("ExtendedFindings", "Для SIP-телефона: два телефона за этим NAT не услышат друг друга при звонке "
                                   "через внешние адреса; для внутренних звонков нужен медиа-прокси провайдера "
                                   "или SIP-сервер в локальной сети.");
        break;
    case Hairpin::Unsupported:
    case Hairpin::NoAnswer:
        name = QStringLiteral("no-answer");
        f.result = NoAnswerResult();
        f.meaning = NoAnswerMeaning();
        break;
    }
    f.figures.insert(QStringLiteral("result"), name);
    return f;
}

Finding RtpPairFinding(const std::optional<RtpPair>& pair, bool noAnswer)
{
    Finding f;
    f.kind = Measurement::RtpPair;
    f.title = QCoreApplication::translate("ExtendedFindings", "Пара портов RTP/RTCP");
    if (!pair) {
        f.measured = QCoreApplication::translate("ExtendedFindings", "Что измерено: внешние порты чётного локального порта и следующего за ним.");
        if (noAnswer) {
            f.result = NoAnswerResult();
            f.meaning = NoAnswerMeaning();
            f.figures.insert(QStringLiteral("result"), QStringLiteral("no-answer"));
        } else {
            f.result = QCoreApplication::translate("ExtendedFindings", "Результат: не удалось занять на компьютере пару свободных соседних портов.");
            f.meaning = QCoreApplication::translate("ExtendedFindings", "Для SIP-телефона: проверка не выполнена.");
            f.figures.insert(QStringLiteral("result"), QStringLiteral("no-ports"));
        }
        return f;
    }
    f.measured = QCoreApplication::translate("ExtendedFindings", "Что измерено: локальные порты %1 и %2, их внешние порты %3 и %4.")
                     .arg(pair->localPort)
                     .arg(pair->localPort + 1)
                     .arg(pair->mappedPort)
                     .arg(pair->mappedNextPort);
    f.result = QCoreApplication::translate("ExtendedFindings", "Результат: порты сохранены — %1 (port preservation); чётность сохранена — %2 "
                              "(port parity); порты соседние — %3 (port contiguity).")
                   .arg(yesNo(pair->preserved()), yesNo(pair->parityKept()), yesNo(pair->adjacent()));
    if (pair->parityKept() && pair->adjacent())
        f.meaning = QCoreApplication::translate("ExtendedFindings", "Для SIP-телефона: RTP и RTCP придут на пару портов N и N+1, как ожидает "
                                   "собеседник.");
    else
        f.meaning = QCoreApplication::translate("ExtendedFindings", "Для SIP-телефона: RTCP может не дойти — внешний порт RTCP не равен внешнему "
                                   "порту RTP плюс один. Включите на телефоне rtcp-mux (RTP и RTCP на одном порту), "
                                   "если он это умеет.");
    f.figures.insert(QStringLiteral("localPort"), pair->localPort);
    f.figures.insert(QStringLiteral("mappedPort"), pair->mappedPort);
    f.figures.insert(QStringLiteral("mappedNextPort"), pair->mappedNextPort);
    f.figures.insert(QStringLiteral("preserved"), pair->preserved());
    f.figures.insert(QStringLiteral("parityKept"), pair->parityKept());
    f.figures.insert(QStringLiteral("adjacent"), pair->adjacent());
    return f;
}

Finding LifetimeFinding(const LifetimeResult& r)
{
    Finding f;
    f.kind = Measurement::Lifetime;
    f.title = QCoreApplication::translate("ExtendedFindings", "Время жизни неиспользуемого отображения UDP");
    f.measured = QCoreApplication::translate("ExtendedFindings", "Что измерено: доходят ли пакеты сервера до отображений, простоявших без трафика "
                                "%1, %2, %3 … с (до %4 с); не дошедший пакет проверяется ещё раз на другом "
                                "отображении того же простоя, и проверка прекращается, только если не дойдёт и он.")
                     .arg(r.search.idleSeconds(0))
                     .arg(r.search.idleSeconds(1))
                     .arg(r.search.idleSeconds(2))
                     .arg(r.search.capSeconds);
    const LifetimeOutcome& o = r.outcome;
    QString name;
    int keepAlive = 0;
    switch (r.kind) {
    case LifetimeResult::Unsupported:
        name = QStringLiteral("unsupported");
        f.result = unsupportedText(r.why);
        f.meaning = UnsupportedMeaning();
        break;
    case LifetimeResult::NoAnswer:
        name = QStringLiteral("no-answer");
        f.result = NoAnswerResult();
        f.meaning = NoAnswerMeaning();
        break;
    case LifetimeResult::NoBinding:
        name = QStringLiteral("no-binding");
        f.result = QCoreApplication::translate("ExtendedFindings", "Результат: у компьютера внешний адрес, и входящие пакеты проходят без фильтрации — "
                                  "ни NAT, ни межсетевой экран не хранят отображение, время жизни измерять не нужно.");
        f.meaning = QCoreApplication::translate("ExtendedFindings", "Для SIP-телефона: keep-alive-пакеты для удержания отображения не нужны.");
        break;
    case LifetimeResult::DifferentAddresses:
        name = QStringLiteral("different-addresses");
        f.result = QCoreApplication::translate("ExtendedFindings", "Результат: проверку здесь провести нельзя — ") + r.why + QLatin1Char('.');
        f.meaning = QCoreApplication::translate("ExtendedFindings", "Для SIP-телефона: время жизни отображения здесь не измерить; держите на "
                                   "телефоне отправку keep-alive включённой.");
        break;
    case LifetimeResult::Outcome: {
        const QString keeper = r.firewallOnly ? QCoreApplication::translate("ExtendedFindings", "межсетевой экран хранит")
                                              : QCoreApplication::translate("ExtendedFindings", "NAT хранит");
        switch (o.kind) {
        case LifetimeOutcome::Measured:
            name = QStringLiteral("measured");
            keepAlive = KeepAliveSeconds(o.lastAliveSeconds);
            f.result = QCoreApplication::translate("ExtendedFindings", "Результат: %1 неиспользуемое отображение не меньше %2 с, но меньше %3 с "
                                      "(NAT mapping timer).")
                           .arg(keeper)
                           .arg(o.lastAliveSeconds)
                           .arg(o.deadBeforeSeconds);
            if (o.belowRfc4787 && !r.firewallOnly)
                f.result += BelowRfc4787();
            break;
        case LifetimeOutcome::BelowFirstStep:
            name = QStringLiteral("below-first-step");
            keepAlive = KeepAliveSeconds(o.firstDeadSeconds);
            f.result = QCoreApplication::translate("ExtendedFindings", "Результат: %1 неиспользуемое отображение меньше %2 с (NAT mapping timer).")
                           .arg(keeper)
                           .arg(o.deadBeforeSeconds);
            if (o.belowRfc4787 && !r.firewallOnly)
                f.result += BelowRfc4787();
            break;
        case LifetimeOutcome::AtLeastCap:
            name = QStringLiteral("at-least-cap");
            keepAlive = KeepAliveSeconds(o.lastAliveSeconds);
            f.result = QCoreApplication::translate("ExtendedFindings", "Результат: %1 неиспользуемое отображение не меньше %2 с (NAT mapping timer).")
                           .arg(keeper)
                           .arg(o.lastAliveSeconds);
            break;
        case LifetimeOutcome::Incomplete:
            name = QStringLiteral("incomplete");
            f.result = QCoreApplication::translate("ExtendedFindings", "Результат: проверка остановлена; отображение жило не меньше %1 с.")
                           .arg(o.lastAliveSeconds);
            f.meaning = QCoreApplication::translate("ExtendedFindings", "Для SIP-телефона: для совета проверку нужно провести до конца.");
            break;
        }
        if (keepAlive > 0)
            f.meaning = QCoreApplication::translate("ExtendedFindings", "Для SIP-телефона: без трафика отображение забывается, и входящие вызовы "
                                       "перестают доходить. Настройте на телефоне отправку keep-alive (или "
                                       "перерегистрацию) не реже чем раз в %1 с — это половина %2, с округлением "
                                       "вниз до 5 с: запас на случай потери одного keep-alive-пакета.")
                            .arg(keepAlive)
                            .arg(o.kind == LifetimeOutcome::BelowFirstStep
                                     ? QCoreApplication::translate("ExtendedFindings", "простоя, после которого отображения уже не было")
                                     : QCoreApplication::translate("ExtendedFindings", "самого долгого простоя, который отображение пережило"));
        break;
    }
    }
    f.figures.insert(QStringLiteral("result"), name);
    if (r.kind == LifetimeResult::Outcome) {
        f.figures.insert(QStringLiteral("stepSeconds"), r.search.stepSeconds);
        f.figures.insert(QStringLiteral("lastAliveSeconds"), o.lastAliveSeconds);
        if (o.kind == LifetimeOutcome::Measured || o.kind == LifetimeOutcome::BelowFirstStep) {
            f.figures.insert(QStringLiteral("firstDeadSeconds"), o.firstDeadSeconds);
            f.figures.insert(QStringLiteral("deadBeforeSeconds"), o.deadBeforeSeconds);
            f.figures.insert(QStringLiteral("belowRfc4787"), o.belowRfc4787);
        }
        if (keepAlive > 0)
            f.figures.insert(QStringLiteral("keepAliveSeconds"), keepAlive);
    }
    return f;
}

Finding StoppedFinding(Measurement m)
{
    Finding f;
    f.kind = m;
    switch (m) {
    case Measurement::Mapping: f.title = QCoreApplication::translate("ExtendedFindings", "Отображение адресов (mapping)"); break;
    case Measurement::Filtering: f.title = QCoreApplication::translate("ExtendedFindings", "Фильтрация входящих пакетов (filtering)"); break;
    case Measurement::Hairpin: f.title = QCoreApplication::translate("ExtendedFindings", "Петля через NAT (hairpinning)"); break;
    case Measurement::RtpPair: f.title = QCoreApplication::translate("ExtendedFindings", "Пара портов RTP/RTCP"); break;
    case Measurement::Lifetime: f.title = QCoreApplication::translate("ExtendedFindings", "Время жизни неиспользуемого отображения UDP"); break;
    }
    f.result = QCoreApplication::translate("ExtendedFindings", "Результат: проверка остановлена.");
    f.figures.insert(QStringLiteral("result"), QStringLiteral("stopped"));
    return f;
}

QString FindingsText(const QList<Finding>& findings)
{
    QStringList sections;
    for (const Finding& f : findings) {
        QStringList lines{f.title};
        for (const QString& line : {f.measured, f.result, f.meaning})
            if (!line.isEmpty())
                lines << line;
        sections << lines.join(kCrLf);
    }
    return sections.join(kCrLf + kCrLf);
}

QJsonObject FindingsJson(const QList<Finding>& findings)
{
    QJsonObject json;
    for (const Finding& f : findings) {
        QJsonObject member = f.figures;
        member.insert(QStringLiteral("text"), f.result);
        json.insert(MeasurementName(f.kind), member);
    }
    return json;
}

}  // namespace probes
