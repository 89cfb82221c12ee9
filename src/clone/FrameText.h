#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace calvex {

// The name of an adjustment command (the byte after the identity in an E8 frame), or empty.
using CommandNamer = std::function<std::string(int command)>;

// A frame body (destination, source, command, payload: what lies between the last FE and the
// FD) in words, for a wire trace: "E8 EF>EE adjust 38 "Power(Hi)" value 05".
std::string DescribeFrame(std::string_view body, const CommandNamer& e8Name = {});

// Cuts one direction's bytes into frame bodies as the driver does: every FE starts a frame
// afresh, FD ends it; bytes outside a frame are dropped.
class FrameSplitter {
  public:
    std::vector<std::string> feed(std::string_view bytes);

  private:
    std::string body_;
    bool inFrame_ = false;
};

}  // namespace calvex
