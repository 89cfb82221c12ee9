#include "shell/Diagnostics.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace calvex {
namespace {

class CountingBox final : public IMessageBox {
  public:
    int16_t critical(const std::string&, const std::string&, const std::string&) override {
        ++shown;
        return kButtonOk;
    }
    int shown = 0;
};

TEST(Diagnostics, EverySectionInItsPlaceAndALongTraceKeepsBothEnds) {
    DiagnosticsFacts f;
    f.program = "Calvex ADJ 1.0 (build abc)";
    f.qt = "6.4.2";
    f.system = "Linux 6.1 x86_64";
    f.utcTime = "2026-12-10T12:00:00Z";
    f.settingsPath = "/opt/calvexadj/CALVEXADJ.rs";
    f.settingsText = "[PORTS]\nCOM1=/dev/ttyUSB0\n";
    f.serialDevices = {"/dev/ttyUSB0  FT232R USB UART"};
    f.messages = {"Cannot access COM 1.\n  /dev/ttyUSB0: Permission denied"};
    f.constPath = "/home/t/.config/calvexadj/Const.ini";
    f.constChecksum = "SHA-256 00ff";
    f.traceName = "20261210-120000Z-2601-0100.trace";
    f.traceText = "BEGIN" + std::string(3 * kTraceKeep, 'x') + "END";
    const std::string text = FormatDiagnostics(f);

    std::size_t at = 0;
    for (const char* heading :
         {"== Program ==\nCalvex ADJ 1.0 (build abc)\nQt 6.4.2\n", "== System ==\n",
          "== Settings ==\n/opt/calvexadj/CALVEXADJ.rs\n[PORTS]\nCOM1=/dev/ttyUSB0\n",
          "== Serial devices ==\n/dev/ttyUSB0", "== Port ==\n(none)\n",
          "== Messages shown ==\nCannot access COM 1.\n  /dev/ttyUSB0: Permission denied\n",
          "== Const.ini ==\n/home/t/.config/calvexadj/Const.ini\nSHA-256 00ff\n",
          "== Last wire trace ==\n20261210-120000Z-2601-0100.trace\nBEGIN"}) {
        const auto found = text.find(heading, at);
        ASSERT_NE(found, std::string::npos) << heading;
        at = found;
    }
    EXPECT_TRUE(text.ends_with("END\n\n"));
    EXPECT_NE(text.find("bytes left out"), std::string::npos);
    EXPECT_LT(text.size(), 2 * kTraceKeep + 2000);
}

TEST(Diagnostics, TheMessagesOfTheRunAreKeptAndStillShown) {
    CountingBox real;
    RecordingMessageBox box(real);
    for (std::size_t i = 0; i < RecordingMessageBox::kKept + 2; ++i)
        box.critical("message " + std::to_string(i), "Calvex ADJ Rev.1.0", i == 1 ? "why" : "");
    EXPECT_EQ(real.shown, static_cast<int>(RecordingMessageBox::kKept) + 2);
    ASSERT_EQ(box.shown().size(), RecordingMessageBox::kKept);
    EXPECT_EQ(box.shown().front(), "message 2");
    EXPECT_EQ(box.shown().back(), "message " + std::to_string(RecordingMessageBox::kKept + 1));
}

}  // namespace
}  // namespace calvex
