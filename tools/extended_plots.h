// SPDX-License-Identifier: Apache-2.0
#pragma once
// The extended test's two pictures, drawn from its figures (the JSON member
// "extendedNat"): the voice stream's round trips with the losses marked, and
// the lifetime search's probes with the advised keep-alive. One painter code
// draws them in the window and, through QSvgGenerator, into the HTML report.
#include <QJsonObject>
#include <QLocale>
#include <QRectF>
#include <QString>
#include <QWidget>

class QPainter;

namespace tools {

enum class PlotKind { Voice, Lifetime };

// The figures hold what the plot needs (a voice stream sent; a lifetime
// measured).
bool HasPlot(PlotKind kind, const QJsonObject& figures);
QString PlotTitle(PlotKind kind);
// The figures the plot shows, in words (its accessible description).
QString PlotDescription(PlotKind kind, const QJsonObject& figures, const QLocale& locale);
void PaintPlot(QPainter& painter, const QRectF& area, PlotKind kind, const QJsonObject& figures,
               const QLocale& locale);
// The plot as an SVG document of the given size ("" when HasPlot is false).
QByteArray PlotSvg(PlotKind kind, const QJsonObject& figures, const QLocale& locale, QSize size = QSize(640, 240));

// The plot in a window: scales with it and with the screen's pixel ratio.
class PlotView : public QWidget {
    Q_OBJECT
public:
    PlotView(PlotKind kind, QWidget* parent = nullptr);
    void setFigures(const QJsonObject& figures);
    QSize sizeHint() const override { return QSize(560, 200); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PlotKind kind_;
    QJsonObject figures_;
};

}  // namespace tools
