// SPDX-License-Identifier: Apache-2.0
#include "tools/extended_plots.h"

#include <QBuffer>
#include <QJsonArray>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <QCoreApplication>

namespace tools {

namespace {

const QColor kArrived(0x2e, 0x6d, 0xb4);
const QColor kLost(0xd0, 0x30, 0x30);
const QColor kMedian(0x2e, 0x9d, 0x3c);
const QColor kDeadline(0xe0, 0x80, 0x10);
const QColor kAxis(0x55, 0x55, 0x55);
constexpr double kVoiceIntervalMs = 20;  // one request every 20 ms, as G.711 frames

QJsonObject Voice(const QJsonObject& f)
{
    return f.value(QStringLiteral("paths")).toObject().value(QStringLiteral("voice")).toObject();
}

QJsonObject Lifetime(const QJsonObject& f)
{
    return f.value(QStringLiteral("lifetime")).toObject();
}

// A "nice" axis end at or above value: 1, 2 or 5 times a power of ten.
double NiceCeiling(double value)
{
    if (value <= 0)
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= value)
            return m * power;
    return 10 * power;
}

// The plotting area inside area, axes and their labels drawn; returns the
// inner rectangle. yMax 0: no scale on the vertical axis.
QRectF Axes(QPainter& p, const QRectF& area, double xMax, double yMax, const QString& xUnit, const QString& yUnit,
            const QLocale& locale)
{
    const QFontMetricsF fm(p.font());
    double labels = 0;
    for (int i = 0; yMax > 0 && i <= 4; ++i)
        labels = std::max(labels, fm.horizontalAdvance(locale.toString(yMax * i / 4, 'g', 4)));
    const double title = yUnit.isEmpty() ? 0 : fm.height() * 1.3;
    const QRectF plot = area.adjusted(title + labels + fm.height() * 0.6, fm.height() * 1.4, -fm.height() * 0.8,
                                      -fm.height() * 2.3);
    p.setPen(QPen(kAxis, 1));
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    for (int i = 0; i <= 4; ++i) {
        const double x = plot.left() + plot.width() * i / 4;
        p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 3));
        const QString xl = locale.toString(xMax * i / 4, 'g', 4);
        p.drawText(QRectF(x - 40, plot.bottom() + 4, 80, fm.height()), Qt::AlignHCenter | Qt::AlignTop, xl);
        if (yMax <= 0)
            continue;
        const double y = plot.bottom() - plot.height() * i / 4;
        p.drawLine(QPointF(plot.left() - 3, y), QPointF(plot.left(), y));
        const QString yl = locale.toString(yMax * i / 4, 'g', 4);
        p.drawText(QRectF(area.left() + title, y - fm.height() / 2, labels, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   yl);
    }
    p.drawText(QRectF(plot.left(), plot.bottom() + fm.height() * 1.1, plot.width(), fm.height()),
               Qt::AlignHCenter | Qt::AlignTop, xUnit);
    if (!yUnit.isEmpty()) {
        p.save();
        p.translate(area.left(), plot.center().y());
        p.rotate(-90);
        p.drawText(QRectF(-plot.height(), 0, plot.height() * 2, fm.height()), Qt::AlignHCenter | Qt::AlignTop, yUnit);
        p.restore();
    }
    return plot;
}

void Legend(QPainter& p, const QRectF& plot, const QList<std::pair<QColor, QString>>& entries)
{
    const QFontMetricsF fm(p.font());
    double x = plot.right();
    for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
        const double w = fm.horizontalAdvance(it->second);
        x -= w;
        p.setPen(it->first);
        p.drawText(QPointF(x, plot.top() - fm.descent() - 2), it->second);
        x -= fm.height();
    }
}

void PaintVoice(QPainter& p, const QRectF& area, const QJsonObject& v, const QLocale& locale)
{
    const QJsonArray rtt = v.value(QStringLiteral("rttMs")).toArray();
    const double median = v.value(QStringLiteral("rttMedianMs")).toDouble();
    const double deadline = v.value(QStringLiteral("listener")).toObject().value(QStringLiteral("deadlineMs")).toDouble();
    const double p95 = v.value(QStringLiteral("rttP95Ms")).toDouble();
    const double yMax = NiceCeiling(std::max({p95 * 1.3, deadline * 1.2, median * 1.5, 1.0}));
    const double xMax = NiceCeiling(std::max(1.0, rtt.size() * kVoiceIntervalMs / 1000.0));
    const QRectF plot = Axes(p, area, xMax, yMax, QCoreApplication::translate("ExtendedPlots", "время от начала, с"),
                             QCoreApplication::translate("ExtendedPlots", "мс"), locale);
    auto at = [&](double seconds, double ms) {
        return QPointF(plot.left() + plot.width() * seconds / xMax, plot.bottom() - plot.height() * std::min(ms, yMax) / yMax);
    };
    const double dot = std::max(1.5, plot.width() / std::max<qsizetype>(rtt.size(), 1) * 0.4);
    for (qsizetype i = 0; i < rtt.size(); ++i) {
        const double t = i * kVoiceIntervalMs / 1000.0;
        if (rtt[i].isNull()) {
            // A lost packet: a mark on the time axis.
            p.setPen(QPen(kLost, 1.5));
            const QPointF base = at(t, 0);
            p.drawLine(base, base - QPointF(0, 8));
        } else {
            p.setPen(Qt::NoPen);
            p.setBrush(kArrived);
            p.drawEllipse(at(t, rtt[i].toDouble()), dot, dot);
        }
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kMedian, 1.5));
    p.drawLine(at(0, median), at(xMax, median));
    if (deadline > 0) {
        p.setPen(QPen(kDeadline, 1.5, Qt::DashLine));
        p.drawLine(at(0, deadline), at(xMax, deadline));
    }
    Legend(p, plot, {{kArrived, QCoreApplication::translate("ExtendedPlots", "ответ")},
                     {kLost, QCoreApplication::translate("ExtendedPlots", "потеря")},
                     {kMedian, QCoreApplication::translate("ExtendedPlots", "медиана")},
                     {kDeadline, QCoreApplication::translate("ExtendedPlots", "срок буфера джиттера")}});
}

void PaintLifetime(QPainter& p, const QRectF& area, const QJsonObject& l, const QLocale& locale)
{
    const int step = std::max(1, l.value(QStringLiteral("stepSeconds")).toInt(5));
    const int alive = l.value(QStringLiteral("lastAliveSeconds")).toInt();
    const int dead = l.value(QStringLiteral("firstDeadSeconds")).toInt();
    const int keepAlive = l.value(QStringLiteral("keepAliveSeconds")).toInt();
    const double xMax = NiceCeiling(std::max({alive, dead, keepAlive, step}) * 1.1);
    const QRectF plot = Axes(p, area, xMax, 0, QCoreApplication::translate("ExtendedPlots", "простой, с"), QString(), locale);
    auto x = [&](double seconds) { return plot.left() + plot.width() * seconds / xMax; };
    const double row = plot.top() + plot.height() * 0.55;
    const double r = std::max(2.5, std::min(6.0, plot.width() / std::max(1.0, xMax / step) * 0.3));
    p.setPen(Qt::NoPen);
    p.setBrush(kArrived);
    for (int s = step; s <= alive; s += step)
        p.drawEllipse(QPointF(x(s), row), r, r);
    if (dead > 0) {
        p.setPen(QPen(kLost, 2));
        p.drawLine(QPointF(x(dead) - r, row - r), QPointF(x(dead) + r, row + r));
        p.drawLine(QPointF(x(dead) - r, row + r), QPointF(x(dead) + r, row - r));
    }
    if (keepAlive > 0) {
        p.setPen(QPen(kMedian, 1.5, Qt::DashLine));
        p.drawLine(QPointF(x(keepAlive), plot.top()), QPointF(x(keepAlive), plot.bottom()));
    }
    p.setBrush(Qt::NoBrush);
    Legend(p, plot, {{kArrived, QCoreApplication::translate("ExtendedPlots", "дошёл")},
                     {kLost, QCoreApplication::translate("ExtendedPlots", "потерян")},
                     {kMedian, QStringLiteral("keep-alive")}});
}

}  // namespace

bool HasPlot(PlotKind kind, const QJsonObject& figures)
{
    if (kind == PlotKind::Voice)
        return !Voice(figures).value(QStringLiteral("rttMs")).toArray().isEmpty();
    const QString result = Lifetime(figures).value(QStringLiteral("result")).toString();
    return result == QLatin1String("measured") || result == QLatin1String("below-first-step")
        || result == QLatin1String("at-least-cap");
}

QString PlotTitle(PlotKind kind)
{
    return kind == PlotKind::Voice ? QCoreApplication::translate("ExtendedPlots", "Голосовой поток: время туда и обратно")
                                   : QCoreApplication::translate("ExtendedPlots", "Поиск времени жизни отображения");
}

QString PlotDescription(PlotKind kind, const QJsonObject& figures, const QLocale& locale)
{
    if (!HasPlot(kind, figures))
        return PlotTitle(kind) + QCoreApplication::translate("ExtendedPlots", ": нет данных");
    if (kind == PlotKind::Voice) {
        const QJsonObject v = Voice(figures);
        return QCoreApplication::translate("ExtendedPlots", "%1: отправлено %2, получено %3, медиана %4 мс, 95 %% %5 мс, срок буфера джиттера %6 мс")
            .arg(PlotTitle(kind))
            .arg(locale.toString(v.value(QStringLiteral("sent")).toInt()))
            .arg(locale.toString(v.value(QStringLiteral("received")).toInt()))
            .arg(locale.toString(v.value(QStringLiteral("rttMedianMs")).toDouble(), 'f', 1))
            .arg(locale.toString(v.value(QStringLiteral("rttP95Ms")).toDouble(), 'f', 1))
            .arg(locale.toString(v.value(QStringLiteral("listener")).toObject().value(QStringLiteral("deadlineMs")).toDouble(),
                                 'f', 1))
            .replace(QStringLiteral("%%"), QStringLiteral("%"));
    }
    const QJsonObject l = Lifetime(figures);
    QString text = QCoreApplication::translate("ExtendedPlots", "%1: пакеты доходили после простоя до %2 с")
                       .arg(PlotTitle(kind), locale.toString(l.value(QStringLiteral("lastAliveSeconds")).toInt()));
    if (l.contains(QStringLiteral("firstDeadSeconds")))
        text += QCoreApplication::translate("ExtendedPlots", ", потерян после %1 с").arg(locale.toString(l.value(QStringLiteral("firstDeadSeconds")).toInt()));
    if (l.contains(QStringLiteral("keepAliveSeconds")))
        text += QCoreApplication::translate("ExtendedPlots", ", keep-alive раз в %1 с").arg(locale.toString(l.value(QStringLiteral("keepAliveSeconds")).toInt()));
    return text;
}

void PaintPlot(QPainter& painter, const QRectF& area, PlotKind kind, const QJsonObject& figures, const QLocale& locale)
{
    if (!HasPlot(kind, figures))
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (kind == PlotKind::Voice)
        PaintVoice(painter, area, Voice(figures), locale);
    else
        PaintLifetime(painter, area, Lifetime(figures), locale);
    painter.restore();
}

QByteArray PlotSvg(PlotKind kind, const QJsonObject& figures, const QLocale& locale, QSize size)
{
    if (!HasPlot(kind, figures))
        return {};
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(PlotTitle(kind));
    svg.setDescription(PlotDescription(kind, figures, locale));
    QPainter painter(&svg);
    PaintPlot(painter, QRectF(QPointF(0, 0), size), kind, figures, locale);
    painter.end();
    return buffer.data();
}

PlotView::PlotView(PlotKind kind, QWidget* parent) : QWidget(parent), kind_(kind)
{
    setObjectName(kind == PlotKind::Voice ? QStringLiteral("VoicePlot") : QStringLiteral("LifetimePlot"));
    setAccessibleName(PlotTitle(kind));
    setMinimumHeight(140);
    setVisible(false);
}

void PlotView::setFigures(const QJsonObject& figures)
{
    figures_ = figures;
    setAccessibleDescription(PlotDescription(kind_, figures_, QLocale::system()));
    setToolTip(accessibleDescription());
    setVisible(HasPlot(kind_, figures_));
    update();
}

void PlotView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintPlot(painter, rect(), kind_, figures_, QLocale::system());
}

}  // namespace tools
