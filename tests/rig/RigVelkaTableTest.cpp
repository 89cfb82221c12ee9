#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "rig/RigVelkaFixture.h"

namespace calvex {
namespace {

using testing::RigVelkaFixture;
using RigTable = RigVelkaFixture;

struct Row {
    const char* title;
    int16_t min, max;
    int32_t eeAdr;
    bool isSigned;
    int16_t e8;
    bool bar, loop;
    int16_t evDisp, evSend, evEnter;
};

constexpr Row kTable[] = {
    {"    CH No.", 0, 0, -1, false, 0, false, true, 0, 0, -1},
    {" Power(Hi)", 0, 255, 79, false, 5, true, false, -1, -1, -1},
    {" Power(L2)", 0, 255, 78, false, 6, true, false, -1, -1, -1},
    {" Power(L1)", 0, 255, 77, false, 7, true, false, -1, -1, -1},
    {"     BAL W", 0, 255, 106, false, 10, true, false, -1, -1, -1},
    {" BAL Ratio", 0, 255, -1, false, -1, true, false, -1, -1, -1},
    {"     MOD W", 0, 255, 72, false, 8, true, false, -1, -1, -1},
    {" MOD Ratio", 0, 255, -1, false, -1, true, false, -1, -1, -1},
    {" CTCS/DTCS", 0, 255, 76, false, 17, true, false, -1, -1, -1},
    {"       SQL", 0, 255, 274, false, 4, true, false, -1, -1, -1},
    {"   BPF ALL", 0, 255, -1, false, -1, false, false, 2, -1, 4},
    {"    BPF T1", -128, 127, 68, true, 12, true, false, 3, -1, 2},
    {"    BPF T2", -128, 127, 69, true, 13, true, false, 3, -1, 3},
    {"       TXF", 0, 255, -1, false, -1, false, false, 1, -1, 0},
};

void expectTable(clsConsole& con) {
    ASSERT_EQ(con.ListCount(), 14);
    for (int16_t i = 0; i < 14; ++i) {
        const Row& r = kTable[i];
        SCOPED_TRACE(r.title);
        EXPECT_EQ(con.Title(i), r.title);
        EXPECT_EQ(con.Title(i).size(), 10u);
        EXPECT_EQ(con.Min(i), r.min);
        EXPECT_EQ(con.Max(i), r.max);
        EXPECT_EQ(con.Value(i), 0);
        EXPECT_EQ(con.EeAdr(i), r.eeAdr);
        EXPECT_EQ(con.EeDataSigned(i), r.isSigned);
        EXPECT_EQ(con.E8Command(i), r.e8);
        EXPECT_EQ(con.BarExist(i), r.bar);
        EXPECT_EQ(con.LoopVal(i), r.loop);
        EXPECT_EQ(con.WaitAfterE8(i), 200);
        EXPECT_EQ(con.Event_Disp(i), r.evDisp);
        EXPECT_EQ(con.Event_SendE8(i), r.evSend);
        EXPECT_EQ(con.Event_Enter(i), r.evEnter);
        EXPECT_EQ(con.Event_Changed(i), -1);
        EXPECT_FALSE(con.flgChanged(i));
        EXPECT_FALSE(con.flgEnterOn(i));
    }
}

TEST_F(RigTable, CreationBuildsTheFourteenItems) {
    expectTable(console);
    EXPECT_EQ(window.console.lines.size(), 14u);
    EXPECT_EQ(window.console.lines[Index(VelkaItem::PowerHi)],
              " Power(Hi):   0 [--------------------]");
    EXPECT_EQ(window.console.lines[Index(VelkaItem::Sql)],
              "       SQL:   0 [--------------------]");
    EXPECT_EQ(seq.resets, std::vector<int16_t>{1});
    EXPECT_EQ(Access::opState(rig), 0);
    EXPECT_EQ(Access::procStep(rig), 0);
    for (std::size_t k = 0; k < 4; ++k)
        EXPECT_EQ(Access::lastMon(rig)[k], -1);
    for (std::size_t k = 0; k < 8; ++k)
        EXPECT_EQ(Access::lastAdj(rig)[k], -1);
}

TEST_F(RigTable, SecondResetLeavesFourteenItemsAndLines) {
    console.Value(Index(VelkaItem::PowerHi), 99);
    console.EnterPushed(Index(VelkaItem::BpfT2));
    Access::procStep(rig) = 11;
    rig.RigOpFunc_ResetAll();
    expectTable(console);
    EXPECT_EQ(window.console.lines.size(), 14u);
    EXPECT_EQ(Access::procStep(rig), 0);
    EXPECT_EQ(seq.resets, (std::vector<int16_t>{1, 1}));
}

TEST_F(RigTable, ChannelSelectorDoesNotMoveBeforeChannelsAreKnown) {
    const int16_t ch = Index(VelkaItem::ChNo);
    console.UpDown(ch, 1);
    EXPECT_EQ(console.Value(ch), 0);
    console.UpDown(ch, -5);
    EXPECT_EQ(console.Value(ch), 0);
}

TEST_F(RigTable, FormResource) {
    EXPECT_EQ(window.buttons[0].caption, "Connect");
    EXPECT_EQ(window.buttons[1].caption, "Reload(F5)");
    EXPECT_EQ(window.buttons[2].caption, "Disp para");
    EXPECT_EQ(window.monitors[0].lines,
              (std::vector<std::string>{"[A/D]", "----", "----", "----", "----"}));
    ASSERT_EQ(window.monitors[1].lines.size(), 9u);
    EXPECT_EQ(window.monitors[1].lines[0], "[D/A]");
    EXPECT_EQ(window.monitors[1].lines[8], "----");
    EXPECT_EQ(window.progress, std::string(32, ' '));
    rig.RigOpFunc_FormResource();  // refilled, not appended
    EXPECT_EQ(window.monitors[0].lines.size(), 5u);
}

TEST_F(RigTable, TemperatureBorders) {
    const int16_t expected[] = {0,   16,  24,  32,  40,  48,  64,  80,  96,  112, 128,
                                144, 160, 176, 192, 208, 216, 224, 232, 240, 255, 0};
    for (int16_t i = 0; i < 22; ++i)
        EXPECT_EQ(rig.RigVelkaOp_Table_Txf_TempBorder(i), expected[i]);
    EXPECT_THROW((void)rig.RigVelkaOp_Table_Txf_TempBorder(22), std::out_of_range);
    EXPECT_THROW((void)rig.RigVelkaOp_Table_Txf_TempBorder(-1), std::out_of_range);
}

TEST_F(RigTable, StopProceduresRestoresTheFilterPauses) {
    const int16_t t1 = Index(VelkaItem::BpfT1), t2 = Index(VelkaItem::BpfT2);
    console.WaitAfterE8(t1, 0);
    console.WaitAfterE8(t2, 0);
    console.EnterPushed(Index(VelkaItem::Txf));
    Access::procStep(rig) = 3;
    rig.RigOpFunc_ClickCmd00(5);  // any click stops the procedures
    EXPECT_EQ(console.WaitAfterE8(t1), 200);
    EXPECT_EQ(console.WaitAfterE8(t2), 200);
    EXPECT_FALSE(console.flgEnterOn(Index(VelkaItem::Txf)));
    EXPECT_EQ(Access::procStep(rig), 0);
}

}  // namespace
}  // namespace calvex
