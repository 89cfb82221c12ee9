#include "rig/PutBackOperation.h"

#include <utility>

namespace calvex {

PutBackOperation::PutBackOperation(std::string procedure, std::vector<TrialByte> bytes)
    : procedure_(std::move(procedure)), bytes_(std::move(bytes)) {}

void PutBackOperation::Add(std::string procedure, const std::vector<TrialByte>& more) {
    if (more.empty()) return;
    procedure_ = std::move(procedure);
    bytes_.insert(bytes_.end(), more.begin(), more.end());
    state_ = State::Sending;
}

std::optional<TrialByte> PutBackOperation::Step() {
    confirmed_ = sent_;
    if (sent_ < bytes_.size()) return bytes_[sent_++];
    state_ = State::Ended;
    return std::nullopt;
}

std::vector<int32_t> PutBackOperation::Unconfirmed() const {
    std::vector<int32_t> addresses;
    for (std::size_t k = confirmed_; k < bytes_.size(); ++k)
        addresses.push_back(bytes_[k].adr);
    return addresses;
}

}  // namespace calvex
