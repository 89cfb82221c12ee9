#include "model/CutPoint.h"

#include <array>
#include <utility>

namespace velka {

namespace {

constexpr std::array<std::pair<CutPoint, const char*>, 8> kNames{{
    {CutPoint::Identify, "identify"},
    {CutPoint::RateSwitch, "rate-switch"},
    {CutPoint::Read, "read"},
    {CutPoint::Preamble, "preamble"},
    {CutPoint::Adjust, "adjust"},
    {CutPoint::Reading, "reading"},
    {CutPoint::Procedure, "procedure"},
    {CutPoint::Write, "write"},
}};

}  // namespace

std::string cutPointName(CutPoint p) {
    for (const auto& [point, name] : kNames) {
        if (point == p) {
            return name;
        }
    }
    return "?";
}

std::optional<CutPoint> cutPointFromName(const std::string& name) {
    for (const auto& [point, n] : kNames) {
        if (name == n) {
            return point;
        }
    }
    return std::nullopt;
}

std::vector<CutPoint> allCutPoints() {
    std::vector<CutPoint> out;
    for (const auto& entry : kNames) {
        out.push_back(entry.first);
    }
    return out;
}

}  // namespace velka
