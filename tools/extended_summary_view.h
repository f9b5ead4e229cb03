// SPDX-License-Identifier: Apache-2.0
#pragma once
// The summary on top of the extended test window: the action that matters
// most, then one row per finding with its mark (a colour and the same in
// words) and a one-line result. Activating a row asks for its details.
#include "probes/extended_summary.h"

#include <QWidget>

class QLabel;
class QTreeWidget;

namespace tools {

class ExtendedSummaryView : public QWidget {
    Q_OBJECT
public:
    explicit ExtendedSummaryView(QWidget* parent = nullptr);
    void setSummary(const probes::ExtendedSummary& summary);
    void clear();

signals:
    // The row of this finding ("mapping", "voice" ...) was activated.
    void detailsWanted(const QString& key);

private:
    QLabel* action_ = nullptr;
    QTreeWidget* rows_ = nullptr;
};

}  // namespace tools
