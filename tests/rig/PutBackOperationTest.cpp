// The put-back of a stopped procedure's trial values, step by step.
#include "rig/PutBackOperation.h"

#include <gtest/gtest.h>

#include <vector>

namespace calvex {
namespace {

using Addresses = std::vector<int32_t>;

TEST(PutBackOperation, SendsEachByteInTurnAndCountsItTakenAtTheNextStep) {
    PutBackOperation op("TXF", {{20, 0x14, 5}, {21, 0x15, 6}, {22, 0x16, 7}});
    // What a lost line would leave in doubt, before each step: every byte not yet taken.
    const Addresses before[] = {{20, 21, 22}, {20, 21, 22}, {21, 22}, {22}};
    const int32_t sent[] = {20, 21, 22};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(op.Unconfirmed(), before[k]);
        const auto b = op.Step();
        ASSERT_TRUE(b.has_value());
        EXPECT_EQ(b->adr, sent[k]);
        EXPECT_EQ(b->original, 5 + k) << "the value from before the procedure";
        EXPECT_EQ(op.state(), PutBackOperation::State::Sending);
    }
    EXPECT_EQ(op.Unconfirmed(), before[3]) << "the last byte sent is not yet taken";
    EXPECT_FALSE(op.Step().has_value());
    EXPECT_EQ(op.state(), PutBackOperation::State::Ended);
    EXPECT_TRUE(op.Unconfirmed().empty());
}

TEST(PutBackOperation, BytesAddedLaterGoBackTooUnderTheirProceduresName) {
    PutBackOperation op("TXF", {{20, 0x14, 5}});
    ASSERT_TRUE(op.Step());
    op.Add("BPF", {});
    EXPECT_EQ(op.procedure(), "TXF") << "nothing added, nothing renamed";
    op.Add("BPF", {{68, 0x0C, 10}});
    EXPECT_EQ(op.procedure(), "BPF");
    const auto b = op.Step();
    ASSERT_TRUE(b.has_value());
    EXPECT_EQ(b->adr, 68);
    EXPECT_EQ(op.Unconfirmed(), Addresses{68});
    EXPECT_FALSE(op.Step().has_value());
}

}  // namespace
}  // namespace calvex
