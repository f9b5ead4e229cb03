// SPDX-License-Identifier: Apache-2.0
#pragma once
// "Тест DNS SRV": asks the DNS for the SRV records of a name and lists every
// record of the answer.
#include "probes/endpoints.h"

#include <QDialog>
#include <QString>

class QComboBox;
class QPlainTextEdit;
class QPushButton;

namespace tools {

// Modal dialog; the opener's sockets stay open while it is shown.
class Form3 : public QDialog {
    Q_OBJECT
public:
    explicit Form3(const probes::ProviderEndpoints& endpoints, QWidget* parent = nullptr);

    // The listing exactly as composed (CR LF line ends, TABs).
    const QString& listingText() const { return listing_; }

    // The seven query names offered, in order.
    static QStringList Presets(const probes::ProviderEndpoints& endpoints);

public slots:
    void Command1_Click();

private:
    QString listing_;
    QComboBox* Combo2_ = nullptr;
    QPushButton* Command1_ = nullptr;
    QPlainTextEdit* Text2_ = nullptr;
    QPushButton* Command4_ = nullptr;
};

}  // namespace tools
