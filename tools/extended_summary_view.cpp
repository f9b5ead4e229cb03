// SPDX-License-Identifier: Apache-2.0
#include "tools/extended_summary_view.h"

#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QCoreApplication>

namespace tools {

namespace {

QColor MarkColour(probes::Mark mark)
{
    switch (mark) {
    case probes::Mark::Green: return QColor(0x2e, 0x9d, 0x3c);
    case probes::Mark::Yellow: return QColor(0xe0, 0xb0, 0x10);
    case probes::Mark::Red: return QColor(0xd0, 0x30, 0x30);
    case probes::Mark::Grey: break;
    }
    return QColor(0x99, 0x99, 0x99);
}

// A round mark, drawn at the screen's pixel ratio so that it stays sharp.
QIcon MarkIcon(probes::Mark mark, qreal ratio)
{
    const int size = 14;
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(MarkColour(mark).darker(130));
    painter.setBrush(MarkColour(mark));
    painter.drawEllipse(QRectF(1.5, 1.5, size - 3, size - 3));
    return QIcon(pixmap);
}

}  // namespace

ExtendedSummaryView::ExtendedSummaryView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Summary"));
    action_ = new QLabel(this);
    action_->setObjectName(QStringLiteral("SummaryAction"));
    action_->setWordWrap(true);
    action_->setTextFormat(Qt::PlainText);
    QFont bold = action_->font();
    bold.setBold(true);
    action_->setFont(bold);
    action_->setAccessibleName(QCoreApplication::translate("ExtendedSummaryView", "Главное действие"));

    rows_ = new QTreeWidget(this);
    rows_->setObjectName(QStringLiteral("SummaryRows"));
    rows_->setAccessibleName(QCoreApplication::translate("ExtendedSummaryView", "Сводка результатов"));
    rows_->setColumnCount(3);
    rows_->setHeaderLabels({QCoreApplication::translate("ExtendedSummaryView", "Оценка"), QCoreApplication::translate("ExtendedSummaryView", "Проверка"), QCoreApplication::translate("ExtendedSummaryView", "Результат")});
    rows_->setRootIsDecorated(false);
    rows_->setUniformRowHeights(true);
    rows_->header()->setStretchLastSection(true);
    rows_->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    connect(rows_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        emit detailsWanted(item->data(0, Qt::UserRole).toString());
    });
    connect(rows_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        emit detailsWanted(item->data(0, Qt::UserRole).toString());
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(action_);
    layout->addWidget(rows_);
    clear();
}

void ExtendedSummaryView::clear()
{
    action_->clear();
    rows_->clear();
    setVisible(false);
}

void ExtendedSummaryView::setSummary(const probes::ExtendedSummary& summary)
{
    action_->setText(summary.action);
    rows_->clear();
    const qreal ratio = devicePixelRatioF();
    for (const probes::SummaryRow& r : summary.rows) {
        auto* item = new QTreeWidgetItem(rows_, {probes::MarkText(r.mark), probes::ShownRowName(r.name), r.result});
        item->setIcon(0, MarkIcon(r.mark, ratio));
        item->setData(0, Qt::UserRole, r.key);
        item->setData(0, Qt::AccessibleTextRole, probes::MarkText(r.mark));
        item->setToolTip(2, r.result);
    }
    for (int c = 0; c < 2; ++c)
        rows_->resizeColumnToContents(c);
    setVisible(!summary.rows.isEmpty());
}

}  // namespace tools
