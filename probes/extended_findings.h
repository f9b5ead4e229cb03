// SPDX-License-Identifier: Apache-2.0
#pragma once
// Russian texts of the extended NAT test: one finding per measurement, each
// with what was measured, the result in plain words with the RFC 4787 term in
// brackets, and what it means for a SIP phone; and the figures as JSON.
#include "probes/nat_behaviour.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QCoreApplication>

namespace probes {

enum class Measurement { Mapping, Filtering, Hairpin, RtpPair, Lifetime };

// All measurements in the order they run.
QList<Measurement> AllMeasurements();
// "mapping", "filtering", "hairpin", "rtp-pair", "lifetime".
QString MeasurementName(Measurement m);
std::optional<Measurement> MeasurementFromName(const QString& name);

// Text of a result that proves nothing about the NAT.
inline QString ServerCannotTest() { return QCoreApplication::translate("ExtendedFindings", "сервер не поддерживает этот тест"); }

struct Finding {
    Measurement kind = Measurement::Mapping;
    QString title;
    QString measured;  // what was measured
    QString result;    // the result in plain words, RFC 4787 term in brackets
    QString meaning;   // what it means for a SIP phone
    QJsonObject figures;
};

// behaviour as a JSON word: "no-nat", "endpoint-independent", "address-dependent",
// "address-and-port-dependent", "unsupported", "no-answer".
QString BehaviourName(Behaviour b);

// why: for Unsupported, the reason in words ("" for none).
Finding MappingFinding(Behaviour b, const MappingEvidence& e, const QString& why);
Finding FilteringFinding(Behaviour b, const FilteringEvidence& e, const QString& why);
Finding HairpinFinding(Hairpin h, const HairpinEvidence& e);
// pair: nullopt when no even port and its neighbour could be bound, or the
// server did not answer (noAnswer).
Finding RtpPairFinding(const std::optional<RtpPair>& pair, bool noAnswer);

struct LifetimeResult {
    // NoBinding: the computer's own address and no inbound filtering, so no
    // NAT or firewall holds a binding. DifferentAddresses: the NAT maps the
    // sockets to different external addresses, the search cannot run there.
    enum Kind { Outcome, Unsupported, NoAnswer, NoBinding, DifferentAddresses } kind = Outcome;
    LifetimeOutcome outcome;
    LifetimeSearch search;
    QString why;  // for Unsupported and DifferentAddresses
    bool firewallOnly = false;  // no translation: the bindings are a firewall's
};
Finding LifetimeFinding(const LifetimeResult& r);

// A finding for a measurement stopped before its end.
Finding StoppedFinding(Measurement m);

// Sections separated by an empty line, CR LF line ends.
QString FindingsText(const QList<Finding>& findings);
// One member per finding, named after its measurement.
QJsonObject FindingsJson(const QList<Finding>& findings);

}  // namespace probes
