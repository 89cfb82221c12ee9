#include "shell/qt/Charts.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace calvex {

namespace {

constexpr double kSdFullScale = 5.0;  // the detector's volts at raw 255

QRectF plotArea(const QRect& r) {
    return QRectF(r).adjusted(48, 26, -12, -40);
}

void frame(QPainter& p, const QRectF& area) {
    p.setPen(QPen(p.pen().color(), 1));
    p.drawRect(area);
}

}  // namespace

SweepChart::SweepChart(QString title, QWidget* parent) : QWidget(parent), title_(std::move(title)) {
    setMinimumSize(320, 180);
    setAutoFillBackground(true);
}

void SweepChart::curve(const SweepCurve& curve) {
    curve_ = curve;
    update();
}

QString SweepChart::caption() const {
    if (curve_.points.empty())
        return QStringLiteral("No sweep yet: Enter on the BPF line sweeps it.");
    QString text = QStringLiteral("optimum %1, plateau %2..%3")
                       .arg(curve_.optimum)
                       .arg(curve_.firstBest)
                       .arg(curve_.lastBest);
    if (curve_.settledRaw) {
        text += QStringLiteral(", SD %1 V at the optimum")
                    .arg(*curve_.settledRaw * kSdFullScale / 255.0, 0, 'f', 2);
    }
    if (curve_.all) text += QStringLiteral(" (BPF ALL)");
    return text;
}

void SweepChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink = palette().color(QPalette::WindowText);
    p.setPen(ink);
    p.drawText(QRectF(0, 2, width(), 20), Qt::AlignHCenter, title_);
    p.drawText(QRectF(0, height() - 20, width(), 18), Qt::AlignHCenter, caption());
    const QRectF area = plotArea(rect());
    frame(p, area);
    p.drawText(QRectF(0, area.top() - 8, 44, 16), Qt::AlignRight, QStringLiteral("5 V"));
    p.drawText(QRectF(0, area.bottom() - 8, 44, 16), Qt::AlignRight, QStringLiteral("0 V"));
    if (curve_.points.empty()) return;

    int16_t lo = curve_.points.front().setting, hi = lo;
    for (const SweepPoint& pt : curve_.points) {
        lo = std::min(lo, pt.setting);
        hi = std::max(hi, pt.setting);
    }
    if (hi == lo) hi = static_cast<int16_t>(lo + 1);
    const auto x = [&](double setting) {
        return area.left() + (setting - lo) / (hi - lo) * area.width();
    };
    const auto y = [&](double volts) {
        return area.bottom() - std::clamp(volts / kSdFullScale, 0.0, 1.0) * area.height();
    };
    p.drawText(QRectF(area.left() - 20, area.bottom() + 2, 40, 16), Qt::AlignHCenter,
               QString::number(lo));
    p.drawText(QRectF(area.right() - 20, area.bottom() + 2, 40, 16), Qt::AlignHCenter,
               QString::number(hi));

    // The plateau, shaded under the curve; the optimum as a line across.
    QColor band = palette().color(QPalette::Highlight);
    band.setAlpha(60);
    p.fillRect(
        QRectF(QPointF(x(curve_.firstBest), area.top()), QPointF(x(curve_.lastBest), area.bottom()))
            .normalized()
            .adjusted(-1, 0, 1, 0),
        band);
    QPainterPath path;
    for (std::size_t i = 0; i < curve_.points.size(); ++i) {
        const QPointF at(x(curve_.points[i].setting), y(curve_.points[i].volts));
        if (i == 0) {
            path.moveTo(at);
        } else {
            path.lineTo(at);
        }
    }
    p.setPen(QPen(ink, 1.5));
    p.drawPath(path);
    p.setPen(QPen(palette().color(QPalette::Highlight), 2, Qt::DashLine));
    p.drawLine(QPointF(x(curve_.optimum), area.top()), QPointF(x(curve_.optimum), area.bottom()));
    if (curve_.settledRaw) {
        const QPointF at(x(curve_.optimum), y(*curve_.settledRaw * kSdFullScale / 255.0));
        p.setBrush(palette().color(QPalette::Highlight));
        p.drawEllipse(at, 4, 4);
    }
}

SweepWindow::SweepWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Sweep curves"));
    auto* layout = new QHBoxLayout(this);
    for (const char* name : {"BPF T1", "BPF T2"}) {
        auto* chart = new SweepChart(QString::fromLatin1(name), this);
        layout->addWidget(chart);
        charts_.push_back(chart);
    }
}

void SweepWindow::refresh(const SweepCurves& curves) {
    if (shown_ && curves.Serial() == serial_) return;
    shown_ = true;
    serial_ = curves.Serial();
    for (int16_t f = 0; f < SweepCurves::kFilters; ++f)
        charts_[static_cast<std::size_t>(f)]->curve(curves.Last(f));
}

ReadingsChart::ReadingsChart(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Readings chart"));
    setMinimumSize(420, 300);
    setAutoFillBackground(true);
}

void ReadingsChart::refresh(const ReadingsHistory& history, int64_t nowMs) {
    // The time axis moves once a second even when nothing new was read.
    if (history.Serial() == serial_ && nowMs / 1000 == nowMs_ / 1000) return;
    serial_ = history.Serial();
    nowMs_ = nowMs;
    samples_.clear();
    for (std::size_t i = 0; i < history.size(); ++i)
        samples_.push_back(history[i]);
    update();
}

std::vector<std::pair<int64_t, double>> ReadingsChart::series(Reading reading) const {
    std::vector<std::pair<int64_t, double>> out;
    for (const ReadingSample& s : samples_) {
        if (s.reading == reading && s.value) out.emplace_back(s.ms, *s.value);
    }
    return out;
}

void ReadingsChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink = palette().color(QPalette::WindowText);
    const int strips = static_cast<int>(std::size(kShown));
    const double stripHeight = (height() - 24.0) / strips;
    const int64_t from = nowMs_ - ReadingsHistory::kKeepMs;
    p.setPen(ink);
    p.drawText(QRectF(0, height() - 20, width(), 18), Qt::AlignHCenter,
               QStringLiteral("the last %1 minutes; F5 or Option > Live readings reads them")
                   .arg(ReadingsHistory::kKeepMs / 60000));
    for (int k = 0; k < strips; ++k) {
        const Reading reading = kShown[k];
        const ReadingRow& row = ReadingRowOf(reading);
        const QRectF area(120, k * stripHeight + 8, width() - 132, stripHeight - 16);
        p.setPen(ink);
        frame(p, area);
        const auto points = series(reading);
        QString label = QString::fromLatin1(row.label).remove(QLatin1Char(':')).trimmed();
        if (!points.empty()) {
            label += QStringLiteral("\n%1 %2")
                         .arg(points.back().second, 0, 'f', 2)
                         .arg(QString::fromUtf8(ReadingUnit(row.scale)));
        }
        p.drawText(QRectF(4, area.top(), 112, area.height()), Qt::AlignVCenter | Qt::AlignLeft,
                   label);
        if (points.empty()) continue;
        double lo = points.front().second, hi = lo;
        for (const auto& pt : points) {
            lo = std::min(lo, pt.second);
            hi = std::max(hi, pt.second);
        }
        // A flat line sits in the middle of a small range around it.
        const double pad = std::max((hi - lo) * 0.1, 0.05);
        lo -= pad;
        hi += pad;
        p.drawText(QRectF(area.right() - 80, area.top(), 78, 14), Qt::AlignRight,
                   QString::number(hi, 'f', 2));
        p.drawText(QRectF(area.right() - 80, area.bottom() - 14, 78, 14), Qt::AlignRight,
                   QString::number(lo, 'f', 2));
        QPainterPath path;
        bool first = true;
        for (const auto& [ms, value] : points) {
            const QPointF at(area.left() + static_cast<double>(ms - from) /
                                               static_cast<double>(ReadingsHistory::kKeepMs) *
                                               area.width(),
                             area.bottom() - (value - lo) / (hi - lo) * area.height());
            if (first) {
                path.moveTo(at);
                first = false;
            } else {
                path.lineTo(at);
            }
        }
        p.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
        p.drawPath(path);
    }
}

}  // namespace calvex
