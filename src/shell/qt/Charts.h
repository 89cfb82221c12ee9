#pragma once

#include <QWidget>
#include <vector>

#include "rig/ReadingsHistory.h"
#include "rig/SweepCurve.h"

namespace calvex {

// One band-pass filter's last sweep as a picture: the signal detector against the filter's
// setting, the plateau of the highest reading shaded, the optimum chosen marked, and the level
// read once more at the optimum.
class SweepChart final : public QWidget {
    Q_OBJECT
  public:
    SweepChart(QString title, QWidget* parent = nullptr);
    void curve(const SweepCurve& curve);
    const SweepCurve& curve() const { return curve_; }
    // The caption under the picture ("optimum 14, plateau 10..18, SD 4.51 V at the optimum").
    QString caption() const;
    QSize sizeHint() const override { return {460, 240}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString title_;
    SweepCurve curve_;
};

// View > Sweep curves: the last sweep of each filter, kept until the next one.
class SweepWindow final : public QWidget {
    Q_OBJECT
  public:
    explicit SweepWindow(QWidget* parent = nullptr);
    // Takes the curves when they have changed since the last call.
    void refresh(const SweepCurves& curves);
    SweepChart* chart(int filter) const { return charts_.at(static_cast<std::size_t>(filter)); }

  private:
    std::vector<SweepChart*> charts_;
    uint32_t serial_ = 0;
    bool shown_ = false;
};

// View > Readings chart: chosen readings over the last minutes, one strip each, so that a
// drift or a slow settle is seen.
class ReadingsChart final : public QWidget {
    Q_OBJECT
  public:
    static constexpr Reading kShown[] = {Reading::Temps, Reading::Vin, Reading::Sd, Reading::Agc};
    explicit ReadingsChart(QWidget* parent = nullptr);
    // Takes the samples when they have changed; nowMs is the history's clock now.
    void refresh(const ReadingsHistory& history, int64_t nowMs);
    // The samples of one reading shown now: (ms, value).
    std::vector<std::pair<int64_t, double>> series(Reading reading) const;
    QSize sizeHint() const override { return {640, 420}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::vector<ReadingSample> samples_;
    int64_t nowMs_ = 0;
    uint64_t serial_ = UINT64_MAX;
};

}  // namespace calvex
