#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace calvex {

// One point of a band-pass filter sweep: the filter's D/A setting and the signal detector there.
struct SweepPoint {
    int16_t setting = 0;
    int16_t raw = 0;
    double volts = 0;  // raw x 5 / 255, as the "SD" row shows it
    bool operator==(const SweepPoint&) const = default;
};

// The sweep of one filter: its points in the order swept, the plateau of the highest reading
// (firstBest..lastBest), the setting chosen in its middle, and the detector read once more after
// that setting had been sent.
struct SweepCurve {
    std::vector<SweepPoint> points;
    int16_t firstBest = 0;
    int16_t lastBest = 0;
    int16_t optimum = 0;
    std::optional<int16_t> settledRaw;
    // Swept as part of "BPF ALL" (over the window shifted by the low-supply reading).
    bool all = false;
    // Which completed sweep this is (SweepCurves::Serial when it completed); 0: none yet.
    uint32_t serial = 0;
};

// The last completed sweep of each filter (0 "BPF T1", 1 "BPF T2"). The sweep procedure records
// into it as it runs; what it recorded becomes the filters' last completed curves only when the
// procedure ends normally. A sweep stopped before its end has its trial values put back, so its
// points describe nothing the radio holds: they are dropped and the earlier curves stay.
class SweepCurves {
  public:
    static constexpr int16_t kFilters = 2;

    // A filter's sweep starts (from "BPF ALL" when all).
    void Begin(int16_t filter, bool all);
    void AddPoint(int16_t filter, int16_t setting, int16_t raw);
    void Optimum(int16_t filter, int16_t firstBest, int16_t lastBest, int16_t optimum);
    void Settled(int16_t filter, int16_t raw);
    // The procedure has ended: every filter it swept gets its new curve.
    void Complete();
    // The procedure was stopped: what it recorded is forgotten.
    void Abandon();
    // Another radio, or none: no curve is kept.
    void Clear();

    // The last completed sweep of filter (0 or 1); std::out_of_range otherwise.
    const SweepCurve& Last(int16_t filter) const;
    // Increases with every completed sweep (and when the curves are cleared), so the window
    // knows to redraw.
    uint32_t Serial() const { return serial_; }

  private:
    SweepCurve& recording(int16_t filter);

    std::array<SweepCurve, kFilters> last_{};
    std::array<SweepCurve, kFilters> recording_{};
    std::array<bool, kFilters> recorded_{};
    uint32_t serial_ = 0;
};

}  // namespace calvex
