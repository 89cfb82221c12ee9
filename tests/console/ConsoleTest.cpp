#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "clone/CloneCodes.h"
#include "console/FakeListBox.h"
#include "console/clsConsole.h"

namespace calvex {
namespace {

using testing::FakeListBox;

// Records every event the console raises.
class RecordingSink : public IConsoleEvents {
  public:
    struct Call {
        std::string kind;
        int16_t index;
        int16_t eventNo;
        int16_t value;
    };
    std::string ConsEv_Disp(clsConsole&, int16_t& index, int16_t eventNo, int16_t value) override {
        calls.push_back({"Disp", index, eventNo, value});
        return "event " + std::to_string(eventNo) + " value " + std::to_string(value);
    }
    void ConsEv_SendE8(clsConsole&, int16_t& index, int16_t eventNo, int16_t value) override {
        calls.push_back({"SendE8", index, eventNo, value});
    }
    void ConsEv_Enter(clsConsole&, int16_t& index, int16_t eventNo, int16_t value) override {
        calls.push_back({"Enter", index, eventNo, value});
    }
    void ConsEv_QueueE8(int16_t command, int16_t value, int32_t imageAdr) override {
        queued.push_back({command, value, imageAdr});
    }
    void WaitE8Required(int32_t ms) override { waits.push_back(ms); }

    struct Queued {
        int16_t command, value;
        int32_t imageAdr;
        bool operator==(const Queued&) const = default;
    };
    std::vector<Call> calls;
    std::vector<Queued> queued;
    std::vector<int32_t> waits;
};

class ConsoleTest : public ::testing::Test {
  protected:
    ConsoleTest() {
        con.myListBox(box);
        con.myEventClass(sink);
        con.myEeprom(image);
    }
    // Adds an item with the given settings and returns its index.
    int16_t add(const std::string& title, int16_t min, int16_t max, int16_t value,
                bool bar = false) {
        con.AddItem();
        const auto i = static_cast<int16_t>(con.ListCount() - 1);
        con.Title(i, title);
        con.Min(i, min);
        con.Max(i, max);
        con.Value(i, value);
        con.BarExist(i, bar);
        con.flgChanged(i, false);
        return i;
    }

    FakeListBox box;
    RecordingSink sink;
    clsCmcEeprom image;
    clsConsole con;
};

TEST_F(ConsoleTest, FreshConsoleAndFirstItem) {
    EXPECT_EQ(con.ListCount(), 0);
    con.AddItem();
    EXPECT_EQ(con.ListCount(), 1);
    ASSERT_EQ(box.lines.size(), 1u);
    EXPECT_EQ(box.lines[0], ":   0");
    EXPECT_EQ(con.Max(0), 255);
    EXPECT_EQ(con.WaitAfterE8(0), 200);
    EXPECT_EQ(con.EeAdr(0), -1);
    EXPECT_EQ(con.E8Command(0), -1);
    EXPECT_EQ(con.Event_Disp(0), -1);
    EXPECT_FALSE(con.flgChanged(0));
    EXPECT_FALSE(con.flgEnterOn(0));
}

TEST_F(ConsoleTest, ClearStartsAgainWithoutOldLines) {
    add("a", 0, 10, 1);
    add("b", 0, 10, 2);
    con.Clear();
    EXPECT_EQ(con.ListCount(), 0);
    EXPECT_TRUE(box.lines.empty());
    con.AddItem();
    EXPECT_EQ(con.ListCount(), 1);
    EXPECT_EQ(box.lines, std::vector<std::string>{":   0"});
}

TEST_F(ConsoleTest, StandardLineAndBar) {
    struct Case {
        const char* title;
        int16_t min, max, value;
        bool bar;
        const char* line;
    } cases[] = {
        {" Power(Hi)", 0, 255, 200, true, " Power(Hi): 200 [################----]"},
        {" Power(Hi)", 0, 255, 0, true, " Power(Hi):   0 [--------------------]"},
        {" Power(Hi)", 0, 255, 128, true, " Power(Hi): 128 [##########----------]"},
        {" Power(Hi)", 0, 255, 255, true, " Power(Hi): 255 [####################]"},
        {"    BPF T1", -128, 127, 0, true, "    BPF T1:   0 [##########----------]"},
        {"    BPF T1", -128, 127, -128, false, "    BPF T1:-128"},
        {"x", 0, 40, 1, true, "x:   1 [--------------------]"},  // 0.5 marks: even 0
        {"x", 0, 40, 3, true, "x:   3 [##------------------]"},  // 1.5 marks: even 2
        {"x", 0, 9999, 5, false, "x:   5"},
        {"x", 0, 20000, 12345, false, "x:2345"},  // only four characters of the value stay
        {"x", -9999, 0, -1000, false, "x:1000"},
    };
    for (const auto& c : cases) {
        const int16_t i = add(c.title, c.min, c.max, c.value, c.bar);
        con.Disp(i);
        EXPECT_EQ(box.lines[static_cast<std::size_t>(i)], c.line) << c.title << " " << c.value;
        EXPECT_EQ(con.DefaultString(i), c.line);
    }
}

TEST_F(ConsoleTest, BarOfAnItemWithoutRangeIsEmpty) {
    const int16_t i = add("x", 7, 7, 7, true);
    con.Disp(i);
    EXPECT_EQ(box.lines[0], "x:   7 [--------------------]");
}

TEST_F(ConsoleTest, BarArithmeticBeyond16BitsFails) {
    const int16_t i = add("x", 0, 20000, 2000, true);
    EXPECT_THROW(con.Disp(i), std::overflow_error);
}

TEST_F(ConsoleTest, LimitsDragEachOtherAndClampWithoutMarking) {
    const int16_t i = add("x", 10, 20, 15);
    con.Max(i, 5);
    EXPECT_EQ(con.Min(i), 5);
    EXPECT_EQ(con.Max(i), 5);
    EXPECT_EQ(con.Value(i), 5);
    EXPECT_FALSE(con.flgChanged(i));
    EXPECT_EQ(box.lines[0], "x:   5");

    con.Min(i, 30);
    EXPECT_EQ(con.Max(i), 30);
    EXPECT_EQ(con.Value(i), 30);
    EXPECT_FALSE(con.flgChanged(i));
    EXPECT_EQ(box.lines[0], "x:  30");
}

TEST_F(ConsoleTest, ValueWriteClampsAndAlwaysMarks) {
    const int16_t i = add("x", 0, 255, 0);
    con.Value(i, 300);
    EXPECT_EQ(con.Value(i), 255);
    EXPECT_TRUE(con.flgChanged(i));
    EXPECT_EQ(box.lines[0], "x: 255");

    con.flgChanged(i, false);
    const int before = box.replacements;
    con.Value(i, 255);
    EXPECT_EQ(box.replacements, before);  // nothing moved: no redraw
    EXPECT_TRUE(con.flgChanged(i));
}

TEST_F(ConsoleTest, BarExistTakesEffectAtTheNextRedraw) {
    const int16_t i = add("x", 0, 255, 255);
    con.BarExist(i, true);
    EXPECT_EQ(box.lines[0], "x: 255");
    con.Disp(i);
    EXPECT_EQ(box.lines[0], "x: 255 [####################]");
}

TEST_F(ConsoleTest, Stepping) {
    struct Case {
        bool loop;
        int16_t min, max, value, step, expected;
    } cases[] = {
        {false, 0, 255, 253, 5, 255},  // stops at the limit
        {false, 0, 255, 2, -5, 0},    {false, 0, 255, 100, 1, 101},
        {true, 0, 3, 3, 1, 0},                                // wraps from the limit itself
        {true, 0, 3, 0, -1, 3},       {true, 0, 3, 1, 5, 3},  // clamped, no wrap
        {true, 0, 255, 253, 5, 255},  {true, 0, 255, 255, 5, 0},
        {true, 0, 0, 0, 1, 0},  // the channel selector before channels are known
        {true, 0, 0, 0, -1, 0},
    };
    for (const auto& c : cases) {
        const int16_t i = add("x", c.min, c.max, c.value);
        con.LoopVal(i, c.loop);
        con.UpDown(i, c.step);
        EXPECT_EQ(con.Value(i), c.expected) << c.loop << " " << c.value << " " << c.step;
        EXPECT_TRUE(con.flgChanged(i));
    }
}

TEST_F(ConsoleTest, StepBeyond16BitsFailsAndChangesNothing) {
    const int16_t i = add("x", 0, std::numeric_limits<int16_t>::max(), 32767);
    EXPECT_THROW(con.UpDown(i, 1), std::overflow_error);
    EXPECT_EQ(con.Value(i), 32767);
    EXPECT_FALSE(con.flgChanged(i));
}

TEST_F(ConsoleTest, OnlyTheLastEnterStaysPending) {
    for (int k = 0; k < 6; ++k)
        add("x", 0, 255, 0);
    con.EnterPushed(3);
    con.EnterPushed(5);
    for (int16_t k = 0; k < 6; ++k)
        EXPECT_EQ(con.flgEnterOn(k), k == 5) << k;
    con.flgEnterOn(5, false);
    EXPECT_FALSE(con.flgEnterOn(5));
}

TEST_F(ConsoleTest, EnterExecRaisesTheEventAndRedraws) {
    const int16_t plain = add("p", 0, 255, 0);
    const int16_t withEvent = add("e", 0, 255, 42);
    con.Event_Enter(withEvent, 4);

    const int before = box.replacements;
    con.EnterExec(plain);
    EXPECT_TRUE(sink.calls.empty());
    EXPECT_EQ(box.replacements, before);

    con.EnterExec(withEvent);
    ASSERT_EQ(sink.calls.size(), 1u);
    EXPECT_EQ(sink.calls[0].kind, "Enter");
    EXPECT_EQ(sink.calls[0].index, withEvent);
    EXPECT_EQ(sink.calls[0].eventNo, 4);
    EXPECT_EQ(sink.calls[0].value, 42);
    EXPECT_EQ(box.replacements, before + 1);
}

TEST_F(ConsoleTest, DisplayEventDrawsTheLine) {
    const int16_t i = add("x", 0, 255, 9);
    con.Event_Disp(i, 2);
    EXPECT_EQ(box.lines[0], "event 2 value 9");
    con.Value(i, 10);
    EXPECT_EQ(box.lines[0], "event 2 value 10");
}

TEST_F(ConsoleTest, ReadFromImage) {
    struct Case {
        bool isSigned;
        int16_t min, max;
        uint8_t byte;
        int16_t expected;
    } cases[] = {
        {true, -128, 127, 128, -128}, {true, -128, 127, 255, -1}, {true, -128, 127, 127, 127},
        {false, 0, 100, 128, 100},  // unsigned, clamped to the item's Max
        {false, 0, 255, 200, 200},
    };
    for (const auto& c : cases) {
        const int16_t i = add("x", c.min, c.max, 0);
        con.EeAdr(i, 68);
        con.EeDataSigned(i, c.isSigned);
        image.WriteByte(68, c.byte);
        con.ReadFromEe(i);
        EXPECT_EQ(con.Value(i), c.expected) << int{c.byte};
        EXPECT_TRUE(con.flgChanged(i));
    }
    const int16_t none = add("n", 0, 255, 7);
    con.ReadFromEe(none);
    EXPECT_EQ(con.Value(none), 7);
    EXPECT_FALSE(con.flgChanged(none));
}

TEST_F(ConsoleTest, SendE8QueuesTheCommandAndLeavesTheImageUntilItIsSent) {
    struct Case {
        int16_t command, min, max, value;
        int32_t wait;
        const char* text;
    } cases[] = {
        {5, 0, 255, 200, 200, "054338"},
        {12, -128, 127, -1, 0, "0C4646"},
        {17, 0, 255, 0, 200, "113030"},
        {7, 0, 255, 200, 50, "074338"},
    };
    image.WriteByte(100, 77);
    for (const auto& c : cases) {
        const int16_t i = add("x", c.min, c.max, c.value);
        con.E8Command(i, c.command);
        con.EeAdr(i, 100);
        con.WaitAfterE8(i, c.wait);
        sink.queued.clear();
        sink.waits.clear();
        con.SendE8(i);
        EXPECT_EQ(sink.queued, (std::vector<RecordingSink::Queued>{{c.command, c.value, 100}}));
        EXPECT_EQ(sink.waits, std::vector<int32_t>{c.wait});
        // The radio does not hold it yet: the image keeps what it holds.
        EXPECT_EQ(image.ReadByte(100), 77);
        EXPECT_EQ(E8DataText(c.command, c.value), c.text);
    }
}

TEST_F(ConsoleTest, SendE8WithoutCommandOrAddressDoesNothing) {
    const int16_t ratio = add(" BAL Ratio", 0, 255, 99);
    con.SendE8(ratio);
    EXPECT_TRUE(sink.queued.empty());
    EXPECT_TRUE(sink.waits.empty());
    EXPECT_TRUE(sink.calls.empty());

    // An address without a command still keeps the image in step.
    con.EeAdr(ratio, 10);
    con.SendE8(ratio);
    EXPECT_TRUE(sink.queued.empty());
    EXPECT_EQ(image.ReadByte(10), 99);
}

TEST_F(ConsoleTest, SendEventReplacesTheCommandAndTheImageWrite) {
    const int16_t i = add("ch", 0, 255, 3);
    con.E8Command(i, 0);
    con.Event_SendE8(i, 0);
    con.EeAdr(i, 20);
    con.SendE8(i);
    EXPECT_TRUE(sink.queued.empty());
    EXPECT_TRUE(sink.waits.empty());
    ASSERT_EQ(sink.calls.size(), 1u);
    EXPECT_EQ(sink.calls[0].kind, "SendE8");
    EXPECT_EQ(sink.calls[0].value, 3);
    EXPECT_EQ(image.ReadByte(20), 0);
}

TEST_F(ConsoleTest, BadIndexFailsAndChangesNothing) {
    add("x", 0, 255, 5);
    EXPECT_THROW(con.Value(1, 3), std::out_of_range);
    EXPECT_THROW(con.Value(-1, 3), std::out_of_range);
    EXPECT_THROW((void)con.Title(1), std::out_of_range);
    EXPECT_THROW(con.UpDown(1, 1), std::out_of_range);
    EXPECT_THROW(con.flgEnterOn(1, true), std::out_of_range);
    EXPECT_THROW(con.SendE8(1), std::out_of_range);
    EXPECT_THROW(con.Disp(1), std::out_of_range);
    con.EnterPushed(0);
    EXPECT_THROW(con.EnterPushed(2), std::out_of_range);
    EXPECT_TRUE(con.flgEnterOn(0));
    EXPECT_EQ(con.Value(0), 5);
}

TEST(ConsoleWiring, MissingListBoxIsReported) {
    clsConsole con;
    EXPECT_THROW(con.AddItem(), std::logic_error);
    EXPECT_EQ(con.ListCount(), 0);
}

}  // namespace
}  // namespace calvex
