#include "model/Fault.h"

#include <array>
#include <utility>

namespace velka {

namespace {

constexpr std::array<std::pair<Fault, const char*>, 13> kNames{{
    {Fault::Silent, "silent"},
    {Fault::NoEcho, "no-echo"},
    {Fault::WrongModel, "wrong-model"},
    {Fault::Byte43, "byte43"},
    {Fault::SubCode, "sub-code"},
    {Fault::BadChecksum, "bad-checksum"},
    {Fault::CountMismatch, "count-mismatch"},
    {Fault::OutsideImage, "outside-image"},
    {Fault::WriteFail, "write-fail"},
    {Fault::Slow, "slow"},
    {Fault::BadReading, "bad-reading"},
    {Fault::DropBytes, "drop-bytes"},
    {Fault::Hangup, "hangup"},
}};

}  // namespace

std::string faultName(Fault f) {
    for (const auto& [fault, name] : kNames) {
        if (fault == f) {
            return name;
        }
    }
    return "?";
}

std::optional<Fault> faultFromName(const std::string& name) {
    for (const auto& [fault, n] : kNames) {
        if (name == n) {
            return fault;
        }
    }
    return std::nullopt;
}

std::vector<Fault> allFaults() {
    std::vector<Fault> out;
    for (const auto& entry : kNames) {
        out.push_back(entry.first);
    }
    return out;
}

}  // namespace velka
