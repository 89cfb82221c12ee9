#pragma once

#include <string>

#include "clone/WireTrace.h"
#include "link/ForwardingSerialControl.h"

namespace calvex {

// Stands between the program and its serial control and shows the trace every byte that
// passes, with the line rate in force. With the trace off it only passes calls on.
class TracingSerialControl final : public ForwardingSerialControl {
  public:
    TracingSerialControl(ISerialControl& inner, WireTrace& trace)
        : ForwardingSerialControl(inner), trace_(trace) {}

    std::string Input() override {
        std::string bytes = ForwardingSerialControl::Input();
        trace_.received(bytes, baud());
        return bytes;
    }
    void Output(const std::string& bytes) override {
        trace_.sent(bytes, baud());
        ForwardingSerialControl::Output(bytes);
    }

  private:
    WireTrace& trace_;
};

}  // namespace calvex
