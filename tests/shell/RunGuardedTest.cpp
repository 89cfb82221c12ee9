#include "shell/RunGuarded.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace calvex {
namespace {

struct NestingBox : IMessageBox {
    std::vector<std::string> texts;
    std::function<void()> whileOpen;
    int16_t critical(const std::string& text, const std::string&, const std::string&) override {
        texts.push_back(text);
        if (whileOpen) whileOpen();
        return kButtonOk;
    }
};

TEST(RunGuarded, ReportsAnErrorAndGoesOn) {
    NestingBox box;
    EXPECT_TRUE(RunGuarded(box, [] {}));
    EXPECT_FALSE(
        RunGuarded(box, [] { throw std::out_of_range("console item index out of range"); }));
    ASSERT_EQ(box.texts.size(), 1u);
    EXPECT_EQ(box.texts[0], "Run-time error: console item index out of range");
    EXPECT_TRUE(RunGuarded(box, [] {}));
}

TEST(RunGuarded, ErrorsWhileAReportIsOpenAreNotStacked) {
    NestingBox box;
    int nested = 0;
    box.whileOpen = [&] {
        // The box's event loop runs more ticks, which fail the same way.
        for (int i = 0; i < 3; ++i) {
            ++nested;
            EXPECT_FALSE(RunGuarded(box, [] { throw std::overflow_error("again"); }));
        }
    };
    RunGuarded(box, [] { throw std::overflow_error("first"); });
    EXPECT_EQ(nested, 3);
    EXPECT_EQ(box.texts.size(), 1u);
    box.whileOpen = nullptr;
    RunGuarded(box, [] { throw std::overflow_error("later"); });
    EXPECT_EQ(box.texts.size(), 2u);
}

}  // namespace
}  // namespace calvex
