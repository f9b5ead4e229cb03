// SPDX-License-Identifier: Apache-2.0
#include "probes/voice_quality.h"

#include <QHostAddress>
#include <QLocale>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <QCoreApplication>

namespace probes {

namespace {

// ---- ITU-T G.107 (06/2015), Table 3 default values
constexpr double kSLR = 8, kRLR = 2, kSTMR = 15, kLSTR = 18, kDs = 3, kTELR = 65, kWEPL = 110;
constexpr double kQdu = 1, kNc = -70, kNfor = -64, kPs = 35, kPr = 35, kA = 0;
constexpr double kMT = 100, kST = 1;  // Idd: delay where it sets in, and its slope
// G.711 with packet-loss concealment, 20 ms packets: Ie = 0, Bpl = 25.1
// (ITU-T G.113 Appendix I; G.711 without concealment would be Bpl = 4.3).
constexpr double kIe = 0, kBpl = 25.1;

constexpr double kFrameMs = 20;  // one G.711 frame per packet

double Log10(double x) { return std::log10(x); }

struct BasicTerms {
    double No, Ro, Is;
};

BasicTerms Basic(double T)
{
    const double OLR = kSLR + kRLR;
    const double Nos = kPs - kSLR - kDs - 100 + 0.004 * std::pow(kPs - OLR - kDs - 14, 2);
    const double Pre = kPr + 10 * Log10(1 + std::pow(10, (10 - kLSTR) / 10));
    const double Nor = kRLR - 121 + Pre + 0.008 * std::pow(Pre - 35, 2);
    const double Nfo = kNfor + kRLR;
    const double No = 10 * Log10(std::pow(10, kNc / 10) + std::pow(10, Nos / 10) + std::pow(10, Nor / 10)
                                 + std::pow(10, Nfo / 10));
    const double Ro = 15 - 1.5 * (kSLR + No);

    const double Xolr = OLR + 0.2 * (64 + No - kRLR);
    const double Iolr = 20 * (std::pow(1 + std::pow(Xolr / 8, 8), 1.0 / 8) - Xolr / 8);
    const double STMRo = -10 * Log10(std::pow(10, -kSTMR / 10) + std::exp(-T / 4) * std::pow(10, -kTELR / 10));
    const double Ist = 12 * std::pow(1 + std::pow((STMRo - 13) / 6, 8), 1.0 / 8)
        - 28 * std::pow(1 + std::pow((STMRo + 1) / 19.4, 35), 1.0 / 35)
        - 13 * std::pow(1 + std::pow((STMRo - 3) / 33, 13), 1.0 / 13) + 29;
    const double Q = 37 - 15 * Log10(kQdu);
    const double G = 1.07 + 0.258 * Q + 0.0602 * Q * Q;
    const double Y = (Ro - 100) / 15 + 46 / 8.4 - G / 9;
    const double Z = 46.0 / 30 - G / 40;
    const double Iq = 15 * Log10(1 + std::pow(10, Y) + std::pow(10, Z));
    return {No, Ro, Iolr + Ist + Iq};
}

QString Ms(double v)
{
    return QLocale::system().toString(v, 'f', 1) + QCoreApplication::translate("VoiceQuality", " мс");
}

}  // namespace

double InterarrivalJitter(const QVector<VoiceSample>& samples)
{
    QVector<const VoiceSample*> arrived;
    for (const VoiceSample& s : samples)
        if (s.arrivedMs)
            arrived.append(&s);
    // In order of arrival, not of sending (RFC 3550 section 6.4.1).
    std::stable_sort(arrived.begin(), arrived.end(),
                     [](const VoiceSample* a, const VoiceSample* b) { return *a->arrivedMs < *b->arrivedMs; });
    double j = 0;
    for (int i = 1; i < arrived.size(); ++i) {
        const double d = (*arrived[i]->arrivedMs - arrived[i]->sentMs) - (*arrived[i - 1]->arrivedMs - arrived[i - 1]->sentMs);
        j += (std::fabs(d) - j) / 16;
    }
    return j;
}

double BurstRatio(const QVector<VoiceSample>& samples)
{
    int lost = 0, runs = 0;
    for (int i = 0; i < samples.size(); ++i) {
        if (samples[i].arrivedMs)
            continue;
        ++lost;
        if (i == 0 || samples[i - 1].arrivedMs)
            ++runs;
    }
    const int answered = int(samples.size()) - lost;
    if (lost == 0 || answered == 0)
        return 1;
    // G.107 with Ie,eff: for the two-state model BurstR = 1 / (p + q) = (Ppl / 100) / p.
    const double ppl = double(lost) / samples.size();
    const double p = double(runs) / answered;
    return ppl / p;
}

VoicePathStats ComputeVoicePathStats(const QVector<VoiceSample>& samples)
{
    VoicePathStats s;
    s.sent = samples.size();
    QVector<double> rtt;
    int run = 0;
    for (const VoiceSample& v : samples) {
        if (v.arrivedMs) {
            rtt.append(*v.arrivedMs - v.sentMs);
            run = 0;
        } else {
            s.longestLossBurst = std::max(s.longestLossBurst, ++run);
        }
    }
    s.received = rtt.size();
    s.lossPercent = s.sent ? 100.0 * (s.sent - s.received) / s.sent : 0;
    if (!rtt.isEmpty()) {
        std::sort(rtt.begin(), rtt.end());
        const int n = rtt.size();
        s.rttMinMs = rtt.first();
        s.rttMaxMs = rtt.last();
        s.rttMedianMs = n % 2 ? rtt[n / 2] : (rtt[n / 2 - 1] + rtt[n / 2]) / 2;
        s.rttP95Ms = rtt[std::clamp(int(std::ceil(0.95 * n)) - 1, 0, n - 1)];
    }
    s.jitterMs = InterarrivalJitter(samples);
    s.burstR = BurstRatio(samples);
    return s;
}

EModelResult ComputeEModel(double oneWayDelayMs, double lossPercent, double burstR)
{
    const double T = std::max(0.0, oneWayDelayMs), Ta = T, Tr = 2 * T;
    EModelResult m;
    const BasicTerms b = Basic(T);
    m.Ro = b.Ro;
    m.Is = b.Is;
    // Talker echo (G.107 7.3), listener echo, and absolute delay.
    const double TERV = kTELR - 40 * Log10((1 + T / 10) / (1 + T / 150)) + 6 * std::exp(-0.3 * T * T);
    const double Roe = -1.5 * (b.No - kRLR);
    const double Re = 80 + 2.5 * (TERV - 14);
    m.Idte = ((Roe - Re) / 2 + std::sqrt(std::pow(Roe - Re, 2) / 4 + 100) - 1) * (1 - std::exp(-T));
    const double Rle = 10.5 * (kWEPL + 7) * std::pow(Tr + 1, -0.25);
    m.Idle = (b.Ro - Rle) / 2 + std::sqrt(std::pow(b.Ro - Rle, 2) / 4 + 169);
    if (Ta > kMT) {
        const double X = Log10(Ta / kMT) / Log10(2);
        const double e = 6 * kST;
        m.Idd = 25 * (std::pow(1 + std::pow(X, e), 1 / e) - 3 * std::pow(1 + std::pow(X / 3, e), 1 / e) + 2);
    }
    m.Id = m.Idte + m.Idle + m.Idd;
    const double Ppl = std::clamp(lossPercent, 0.0, 100.0);
    const double BurstR = burstR > 0 ? burstR : 1;
    m.IeEff = kIe + (95 - kIe) * Ppl / (Ppl / BurstR + kBpl);
    m.R = m.Ro - m.Is - m.Id - m.IeEff + kA;
    m.Mos = MosFromR(m.R);
    return m;
}

double MosFromR(double r)
{
    if (r <= 0)
        return 1;
    if (r >= 100)
        return 4.5;
    // The cubic dips just below 1 for R under about 6.5; the scale starts at 1.
    return std::max(1.0, 1 + 0.035 * r + r * (r - 60) * (100 - r) * 7e-6);
}

double JitterBufferMs(const VoicePathStats& stats)
{
    return std::max(kFrameMs, 2 * stats.jitterMs);
}

double MouthToEarDelayMs(const VoicePathStats& stats)
{
    return stats.rttMedianMs / 2 + kFrameMs + JitterBufferMs(stats);
}

double OneWayLossPercent(double roundTripLossPercent)
{
    const double p = std::clamp(roundTripLossPercent / 100, 0.0, 1.0);
    return 100 * (1 - std::sqrt(1 - p));
}

ListenerFigures ComputeListenerFigures(const QVector<VoiceSample>& samples, const VoicePathStats& stats)
{
    ListenerFigures f;
    f.bufferMs = JitterBufferMs(stats);
    // A packet the buffer cannot hold any more is discarded by the phone,
    // which is the same to the listener as a lost one.
    f.deadlineMs = stats.rttMedianMs + f.bufferMs;
    QVector<VoiceSample> heard = samples;
    for (VoiceSample& s : heard) {
        if (s.arrivedMs && *s.arrivedMs - s.sentMs > f.deadlineMs) {
            s.arrivedMs.reset();
            ++f.late;
        }
    }
    f.roundTripLossPercent = stats.lossPercent;
    const double latePercent = stats.sent ? 100.0 * f.late / stats.sent : 0;
    f.lossPercent = std::min(100.0, OneWayLossPercent(stats.lossPercent) + latePercent);
    f.burstR = BurstRatio(heard);
    return f;
}

VoiceAssessment AssessVoicePath(const QVector<VoiceSample>& samples)
{
    VoiceAssessment a;
    a.stats = ComputeVoicePathStats(samples);
    // Fewer than half the answers: the figures say more about the test than the line.
    a.rated = a.stats.sent > 0 && 2 * a.stats.received >= a.stats.sent;
    if (a.rated) {
        a.listener = ComputeListenerFigures(samples, a.stats);
        a.delayMs = MouthToEarDelayMs(a.stats);
        a.model = ComputeEModel(a.delayMs, a.listener.lossPercent, a.listener.burstR);
    }
    return a;
}

QString VoiceFindingText(const VoiceAssessment& a)
{
    const QLocale l = QLocale::system();
    const VoicePathStats& s = a.stats;
    QStringList lines;
    lines << QCoreApplication::translate("VoiceQuality", "Пакеты: запросы STUN Binding по %1 байт (дополнены атрибутом SOFTWARE) каждые %2 мс, "
                            "как голос G.711")
                 .arg(kVoicePacketSize)
                 .arg(kVoicePacketIntervalMs);
    lines << QCoreApplication::translate("VoiceQuality", "Отправлено пакетов: %1, получено ответов: %2, потери: %3 %, самая длинная серия потерь: %4")
                 .arg(s.sent).arg(s.received).arg(l.toString(s.lossPercent, 'f', 1)).arg(s.longestLossBurst);
    if (s.received > 0) {
        lines << QCoreApplication::translate("VoiceQuality", "Время прохождения туда и обратно: минимум ") + Ms(s.rttMinMs)
                + QCoreApplication::translate("VoiceQuality", ", медиана ") + Ms(s.rttMedianMs) + QStringLiteral(", 95 % ") + Ms(s.rttP95Ms)
                + QCoreApplication::translate("VoiceQuality", ", максимум ") + Ms(s.rttMaxMs);
        lines << QCoreApplication::translate("VoiceQuality", "Джиттер (RFC 3550): ") + Ms(s.jitterMs);
    }
    if (!a.rated) {
        lines << QCoreApplication::translate("VoiceQuality", "Оценка R: неизвестно, MOS: неизвестно (вернулось меньше половины пакетов)");
        return lines.join(QStringLiteral("\r\n"));
    }
    const ListenerFigures& f = a.listener;
    lines << QCoreApplication::translate("VoiceQuality", "Буфер джиттера телефона (допущение): ") + Ms(f.bufferMs)
            + QCoreApplication::translate("VoiceQuality", " — ответы позже ") + Ms(f.deadlineMs)
            + QCoreApplication::translate("VoiceQuality", " от отправки считаются потерянными; таких ответов: %1").arg(f.late);
    lines << QCoreApplication::translate("VoiceQuality", "Для слушателя (одно направление): потери %1 %, BurstR %2. Допущение: потери туда и обратно "
                            "поровну делятся между направлениями (1 − √(1 − %3 %)), к ним добавлены опоздавшие ответы")
                 .arg(l.toString(f.lossPercent, 'f', 1), l.toString(f.burstR, 'f', 2),
                      l.toString(f.roundTripLossPercent, 'f', 1));
    lines << QCoreApplication::translate("VoiceQuality", "Задержка из конца в конец для расчёта: ") + Ms(a.delayMs);
    lines << QCoreApplication::translate("VoiceQuality", "Оценка R по цифрам для слушателя (E-модель ITU-T G.107, G.711 с маскированием потерь): ")
            + l.toString(a.model.R, 'f', 1) + QStringLiteral(", MOS: ") + l.toString(a.model.Mos, 'f', 2);
    QString meaning;
    if (a.model.R >= 90)
        meaning = QCoreApplication::translate("VoiceQuality", "Качество голоса отличное.");
    else if (a.model.R >= 80)
        meaning = QCoreApplication::translate("VoiceQuality", "Качество голоса хорошее.");
    else if (a.model.R >= 70)
        meaning = QCoreApplication::translate("VoiceQuality", "Качество голоса удовлетворительное: часть собеседников заметит искажения.");
    else if (a.model.R >= 60)
        meaning = QCoreApplication::translate("VoiceQuality", "Качество голоса плохое: многие собеседники будут недовольны.");
    else
        meaning = QCoreApplication::translate("VoiceQuality", "Качество голоса очень плохое: разговор будет затруднён.");
    lines << meaning;
    return lines.join(QStringLiteral("\r\n"));
}

// ---- messages

namespace {

constexpr uint32_t kMagicCookie = 0x2112A442;  // RFC 5389 section 6
constexpr uint16_t kBindingRequest = 0x0001, kBindingSuccess = 0x0101;
constexpr uint16_t kAttrMapped = 0x0001, kAttrXorMapped = 0x0020, kAttrSoftware = 0x8022;
constexpr char kTag[4] = {'T', 'V', 'L', 'V'};

void Put16(QByteArray& b, int at, uint16_t v)
{
    b[at] = char(v >> 8);
    b[at + 1] = char(v & 0xFF);
}

void Put32(QByteArray& b, int at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (24 - 8 * i)) & 0xFF);
}

uint16_t Get16(const QByteArray& b, int at) { return uint16_t((uint8_t(b[at]) << 8) | uint8_t(b[at + 1])); }

uint32_t Get32(const QByteArray& b, int at) { return (uint32_t(Get16(b, at)) << 16) | Get16(b, at + 2); }

}  // namespace

QByteArray BuildVoiceRequest(uint32_t session, int index)
{
    QByteArray m(kVoicePacketSize, '\0');
    Put16(m, 0, kBindingRequest);
    Put16(m, 2, uint16_t(kVoicePacketSize - 20));
    Put32(m, 4, kMagicCookie);
    for (int i = 0; i < 4; ++i)
        m[8 + i] = kTag[i];
    Put32(m, 12, session);
    Put32(m, 16, uint32_t(index));
    // RFC 5389 section 15.10: SOFTWARE is UTF-8 text of fewer than 128
    // characters. A short name, then two-byte middle dots up to the size.
    const int valueLength = kVoicePacketSize - 24;
    Put16(m, 20, kAttrSoftware);
    Put16(m, 22, uint16_t(valueLength));
    QByteArray text("Tarvolin voice test ");
    while (text.size() + 2 <= valueLength)
        text += "\xC2\xB7";  // U+00B7
    text = text.leftJustified(valueLength, ' ');
    m.replace(24, valueLength, text);
    return m;
}

int ReadVoiceAnswerIndex(const QByteArray& data, uint32_t session)
{
    if (data.size() < 20 || Get16(data, 0) != kBindingSuccess || Get32(data, 4) != kMagicCookie)
        return -1;
    if (data.mid(8, 4) != QByteArray(kTag, 4) || Get32(data, 12) != session)
        return -1;
    const uint32_t index = Get32(data, 16);
    return index <= 0x7FFFFFFFu ? int(index) : -1;
}

QString ReadStunMappedAddress(const QByteArray& data)
{
    if (data.size() < 20 || Get16(data, 0) != kBindingSuccess)
        return {};
    const int end = std::min<int>(data.size(), 20 + Get16(data, 2));
    QString plain;
    for (int at = 20; at + 4 <= end;) {
        const uint16_t type = Get16(data, at), length = Get16(data, at + 2);
        const int value = at + 4;
        if (value + length > end)
            break;
        // Family 0x01 (IPv4), 8 bytes (RFC 5389 sections 15.1, 15.2).
        if ((type == kAttrXorMapped || type == kAttrMapped) && length >= 8 && uint8_t(data[value + 1]) == 0x01) {
            uint32_t address = Get32(data, value + 4);
            if (type == kAttrXorMapped)
                return QHostAddress(address ^ kMagicCookie).toString();
            if (plain.isEmpty())
                plain = QHostAddress(address).toString();
        }
        at = value + ((length + 3) & ~3);
    }
    return plain;
}

}  // namespace probes
