// The Velka's item table: what must hold of any table the console is built from, and a console
// built from a table of one row.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "console/FakeListBox.h"
#include "rig/VelkaItems.h"

namespace calvex {
namespace {

using testing::FakeListBox;

bool InImage(int32_t adr) {
    return adr >= 0 && adr <= VelkaMemory::kLastAddress;
}

TEST(VelkaItems, TheTableKeepsItsInvariants) {
    // Commands the radio takes that no item may take as well.
    std::set<int> commands = {1, VelkaMemory::kAdjustModeCommand, VelkaMemory::kReadingCommand,
                              VelkaMemory::kRssiS1Command, VelkaMemory::kRssiS3Command};
    for (int k = 0; k < VelkaMemory::kTxfPositions; ++k)
        commands.insert(VelkaMemory::kTxfFirstCommand + k);
    std::set<int32_t> bytes;
    std::set<int> wideItems;
    for (std::size_t i = 0; i < kVelkaItems.size(); ++i) {
        const ItemRow& row = kVelkaItems[i];
        SCOPED_TRACE(std::string(row.title));
        EXPECT_EQ(Index(row.item), static_cast<int16_t>(i)) << "rows in the order of the items";
        EXPECT_EQ(row.title.size(), 10u) << "titles line up on the console";
        EXPECT_LE(row.min, row.max);
        if (row.e8Command >= 0) {
            EXPECT_TRUE(commands.insert(row.e8Command).second) << "command " << row.e8Command;
        }
        if (row.eeAdr >= 0) {
            EXPECT_TRUE(InImage(row.eeAdr));
            EXPECT_TRUE(bytes.insert(row.eeAdr).second) << "byte " << row.eeAdr;
            // The byte can hold every value of the range.
            EXPECT_GE(row.min, row.eeSigned ? -128 : 0);
            EXPECT_LE(row.max, row.eeSigned ? 127 : 255);
            EXPECT_GE(row.e8Command, 0) << "a byte is set live by its command";
        }
        if (row.isRatio) {
            EXPECT_LT(row.eeAdr, 0) << "a ratio keeps no byte of its own";
            const ItemRow& wide = RowOf(row.wide);
            EXPECT_FALSE(wide.isRatio);
            EXPECT_GE(wide.eeAdr, 0);
            EXPECT_TRUE(wideItems.insert(Index(row.wide)).second) << "one ratio per wide item";
            EXPECT_TRUE(InImage(row.narrowAdr));
            EXPECT_TRUE(bytes.insert(row.narrowAdr).second) << "narrow byte " << row.narrowAdr;
            EXPECT_TRUE(commands.insert(row.narrowCommand).second)
                << "narrow command " << row.narrowCommand;
            // Both partners find the ratio.
            EXPECT_EQ(RatioRowOf(Index(row.item)), &row);
            EXPECT_EQ(RatioRowOf(Index(row.wide)), &row);
        }
    }
}

// The console's sink: no item of the one-row table raises events.
class NoEvents : public IConsoleEvents {
  public:
    std::string ConsEv_Disp(clsConsole&, int16_t&, int16_t, int16_t) override { return "?"; }
    void ConsEv_SendE8(clsConsole&, int16_t&, int16_t, int16_t) override {}
    void ConsEv_QueueE8(int16_t command, int16_t value, int32_t imageAdr) override {
        queued.push_back({command, value, imageAdr});
    }
    void ConsEv_Enter(clsConsole&, int16_t&, int16_t, int16_t) override {}
    void WaitE8Required(int32_t ms) override { waits.push_back(ms); }
    std::vector<int32_t> waits;
    std::vector<std::tuple<int16_t, int16_t, int32_t>> queued;
};

TEST(VelkaItems, AnItemIsOneRow) {
    // A further plain item: one row, and the console shows it, keeps its byte and sends it.
    constexpr ItemRow kOneRow[] = {
        {.item = VelkaItem::PowerHi,
         .title = "  Power(X)",
         .eeAdr = 90,
         .e8Command = 30,
         .max = 200,
         .bar = true},
    };
    FakeListBox box;
    NoEvents sink;
    clsCmcEeprom image;
    clsConsole console;
    console.myListBox(box);
    console.myEventClass(sink);
    console.myEeprom(image);

    AddItems(console, kOneRow);
    ASSERT_EQ(console.ListCount(), 1);
    EXPECT_EQ(box.lines, std::vector<std::string>{"  Power(X):   0 [--------------------]"});
    image.WriteByte(90, 150);
    console.ReadFromEe(0);
    EXPECT_EQ(console.Value(0), 150);
    console.UpDown(0, 100);
    EXPECT_EQ(console.Value(0), 200) << "the row's range";
    console.SendE8(0);
    const std::vector<std::tuple<int16_t, int16_t, int32_t>> sent{{30, 200, 90}};
    EXPECT_EQ(sink.queued, sent);
    EXPECT_EQ(sink.waits, std::vector<int32_t>{200});
}

}  // namespace
}  // namespace calvex
