// SPDX-License-Identifier: Apache-2.0
#include "tools/dns_srv_window.h"

#include "platform/dns_query.h"
#include "tools/dns_listing.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>
#include <QCoreApplication>

namespace tools {

namespace {

constexpr int32_t kTypeSrv = 33;

}  // namespace

QStringList Form3::Presets(const probes::ProviderEndpoints& endpoints)
{
    QStringList presets{
        QStringLiteral("_sip._udp.") + endpoints.domain,
        QStringLiteral("_sip._tcp.") + endpoints.domain,
        QStringLiteral("_sip._tls.") + endpoints.domain,
        QStringLiteral("_stun._udp.") + endpoints.domain,
    };
    for (int i = 0; i < 3; ++i)
        presets << QStringLiteral("_stun._udp.") + endpoints.publicSipDomains.value(i);
    return presets;
}

Form3::Form3(const probes::ProviderEndpoints& endpoints, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QCoreApplication::translate("DnsSrvWindow", "Тест DNS SRV"));
    setModal(true);

    Combo2_ = new QComboBox(this);
    Combo2_->setObjectName(QStringLiteral("Combo2"));
    Combo2_->setEditable(true);
    Combo2_->setInsertPolicy(QComboBox::NoInsert);
    Combo2_->addItems(Presets(endpoints));
    Combo2_->setCurrentIndex(0);
    Combo2_->setMinimumWidth(280);

    Command1_ = new QPushButton(QCoreApplication::translate("DnsSrvWindow", "Запрос"), this);
    Command1_->setObjectName(QStringLiteral("Command1"));
    Command1_->setAutoDefault(false);

    Text2_ = new QPlainTextEdit(this);
    Text2_->setObjectName(QStringLiteral("Text2"));
    Text2_->setMinimumSize(460, 320);
    Text2_->setTabStopDistance(Text2_->fontMetrics().horizontalAdvance(QLatin1Char(' ')) * 8);

    Command4_ = new QPushButton(QCoreApplication::translate("DnsSrvWindow", "Закрыть"), this);
    Command4_->setObjectName(QStringLiteral("Command4"));
    Command4_->setAutoDefault(false);

    auto* queryRow = new QHBoxLayout;
    queryRow->addWidget(Combo2_, 1);
    queryRow->addWidget(Command1_);
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch();
    closeRow->addWidget(Command4_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(queryRow);
    layout->addWidget(Text2_, 1);
    layout->addLayout(closeRow);

    connect(Command1_, &QPushButton::clicked, this, &Form3::Command1_Click);
    connect(Command4_, &QPushButton::clicked, this, &Form3::reject);
}

void Form3::Command1_Click()
{
    listing_.clear();
    Text2_->setPlainText(listing_);
    QVector<platform::DnsEntry> entries;
    int32_t count = 0;
    const int32_t status = platform::DnsLookup(Combo2_->currentText(), entries, count, kTypeSrv, 0);
    listing_ = DnsQueryListing(status, entries, count);
    Text2_->setPlainText(listing_);
}

}  // namespace tools
