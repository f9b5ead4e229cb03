// SPDX-License-Identifier: Apache-2.0
#pragma once
// Whether a SIP server's certificate is one for the SIP domain (RFC 5922): the
// identities the certificate names, read from its DER form, and their
// comparison with the domain the phone was configured with.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace probes {

struct CertificateNames {
    bool readable = false;          // the DER could be walked to its extensions (or their absence)
    bool hasSubjectAltName = false; // the subjectAltName extension is present
    QStringList sipUris;            // uniformResourceIdentifier entries, as written
    QStringList dnsNames;           // dNSName entries
};

// The subjectAltName entries of an X.509 certificate (RFC 5280 section 4.2.1.6).
CertificateNames ReadCertificateNames(const QByteArray& der);

// The identities RFC 5922 section 7.1 takes from a certificate: the host of each
// "sip:" URI without user part; without any, the DNS names; and the common
// names only when there is no subjectAltName at all.
QStringList SipIdentities(const CertificateNames& names, const QStringList& commonNames);

// RFC 5922 section 7.2: the whole name, case-insensitive, no wildcard.
bool IdentityMatchesDomain(const QStringList& identities, const QString& domain);

}  // namespace probes
