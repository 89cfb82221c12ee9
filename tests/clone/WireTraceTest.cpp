#include "clone/WireTrace.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "base/TempDir.h"
#include "clone/MemoryTraceStore.h"
#include "link/FakeTickSource.h"

namespace calvex {
namespace {

using testing::FakeTickSource;
using testing::MemoryTraceStore;
using testing::TempDir;

// 2024-05-01T12:00:00Z
constexpr int64_t kNoon = 1714564800;

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (const int v : values)
        s += static_cast<char>(v);
    return s;
}

struct TraceBench {
    FakeTickSource ticks{-20};  // across the wrap of the count
    MemoryTraceStore store;
    WireTrace trace{ticks};
    TraceBench() {
        trace.UseStore(store);
        trace.commandNamer([](int command) { return command == 5 ? "Power(Hi)" : ""; });
        trace.heading("Calvex ADJ test ");
        trace.enabled(true);
    }
};

TEST(FrameText, DescribesEachCommandOfTheLine) {
    struct Case {
        std::string body;
        const char* text;
    } cases[] = {
        {Bytes({0xEE, 0xEF, 0xE0, 0x26, 0x01, 0x00, 0x00}), "E0 EF>EE identify model 2601"},
        {Bytes({0xEF, 0xEE, 0xE1, 0x26, 0x01, 0x01, 0x00, 0x02, 0x41, 0x42}),
         "E1 EE>EF identity model 2601 sub 0100, 7 payload bytes"},
        {Bytes({0xEE, 0xEF, 0xE2, 0x26, 0x01, 0x01, 0x00}),
         "E2 EF>EE clone read model 2601 sub 0100"},
        {Bytes({0xEF, 0xEE, 0xE4}) + "012002AABB99", "E4 EE>EF data at 0120, 2 bytes"},
        {Bytes({0xEF, 0xEE, 0xE4}) + "0120ZZ", "E4 EE>EF data, not readable as hex"},
        {Bytes({0xEF, 0xEE, 0xE5, 0x56, 0x61, 0x72, 0x6E, 0x20, 0x49, 0x6E, 0x63, 0x2E}) + "1A",
         "E5 EE>EF end of data, 26 blocks"},
        {Bytes({0xEF, 0xEE, 0xE6, 0x01}), "E6 EE>EF write result failed"},
        {Bytes({0xEE, 0xEF, 0xE8, 0x26, 0x01, 0x01, 0x00, 0x05}) + "1F",
         "E8 EF>EE model 2601 sub 0100, command 05 \"Power(Hi)\" value 1F (31)"},
        {Bytes({0xEF, 0xEE, 0xE8, 0x26, 0x01, 0x01, 0x00, 0x03}) + "AA",
         "E8 EE>EF model 2601 sub 0100, command 03 value AA (170)"},
        {Bytes({0xEE, 0xEF}), "short frame of 2 bytes"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DescribeFrame(c.body,
                                [](int command) {
                                    return command == 5 ? std::string("Power(Hi)") : std::string();
                                }),
                  c.text);
    }
}

TEST(FrameText, FramesAreCutAsTheDriverCutsThem) {
    FrameSplitter split;
    // Noise before a frame, two preambles, a frame split over two reads, a restart by FE.
    EXPECT_TRUE(split.feed(Bytes({0x00, 0xFE, 0xFE, 0xEE})).empty());
    EXPECT_EQ(split.feed(Bytes({0xEF, 0xE0, 0xFD, 0x11, 0xFE, 0x01, 0xFE, 0x02, 0xFD})),
              (std::vector<std::string>{Bytes({0xEE, 0xEF, 0xE0}), Bytes({0x02})}));
}

TEST(WireTrace, OneFilePerConnectionNamedByTimeAndRadioWithEveryByteAndItsFrame) {
    TraceBench b;
    b.trace.begin(kNoon);
    b.trace.sent(Bytes({0xFE, 0xFE, 0xEE, 0xEF, 0xE0, 0x26, 0x01, 0x00, 0x00, 0xFD}), 9600);
    b.ticks.advance(40);
    b.trace.received(Bytes({0xFE, 0xFE, 0xEF, 0xEE, 0xE1, 0x26, 0x01}), 9600);
    b.ticks.advance(5);
    b.trace.received(Bytes({0x01, 0x00, 0x00, 0xFD}), 38400);
    EXPECT_TRUE(b.store.files.empty()) << "nothing reaches the disk before the flush";
    b.trace.flush();
    ASSERT_EQ(b.store.files.size(), 1u);
    const auto& [name, text] = *b.store.files.begin();
    EXPECT_EQ(name, "20240501-120000Z-2601-0100.trace");
    EXPECT_EQ(b.trace.currentFile(), name);
    EXPECT_EQ(
        text.rfind("# Calvex ADJ test wire trace of 2601-0100, begun 2024-05-01T12:00:00Z\n", 0),
        0u)
        << text;
    EXPECT_NE(text.find("    0.000 TX   9600 FE FE EE EF E0 26 01 00 00 FD\n"
                        "                    = E0 EF>EE identify model 2601\n"
                        "    0.040 RX   9600 FE FE EF EE E1 26 01\n"
                        "    0.045 RX  38400 01 00 00 FD\n"
                        "                    = E1 EE>EF identity model 2601 sub 0100, 5 payload "
                        "bytes\n"),
              std::string::npos)
        << text;

    // The next connection, in the same second with the same radio, gets a file of its own.
    b.trace.begin(kNoon);
    b.trace.received(Bytes({0xFE, 0xEF, 0xEE, 0xE1, 0x26, 0x01, 0x01, 0x00, 0xFD}), 9600);
    b.trace.flush();
    EXPECT_EQ(b.store.files.size(), 2u);
    EXPECT_EQ(b.trace.currentFile(), "20240501-120000Z-2601-0100-2.trace");

    // Off, nothing is kept.
    b.trace.enabled(false);
    b.trace.begin(kNoon + 60);
    b.trace.sent(Bytes({0xFE, 0xFD}), 9600);
    b.trace.flush();
    EXPECT_EQ(b.store.files.size(), 2u);
}

TEST(WireTrace, AFileStopsAtItsBoundAndTheFolderKeepsTheNewest) {
    TraceBench b;
    for (int i = 0; i < static_cast<int>(WireTrace::kMaxFiles) + 3; ++i) {
        b.store.files["2023010" + std::to_string(i % 10) + "-" + std::to_string(100 + i) +
                      "Z-x.trace"] = "old";
    }
    b.store.files["notes.txt"] = "not a trace";
    b.trace.begin(kNoon);
    const std::string chunk(64 * 1024, '\x55');
    for (std::size_t sent = 0; sent < WireTrace::kMaxFileBytes; sent += chunk.size()) {
        b.trace.sent(chunk, 9600);
        b.trace.flush();
    }
    const std::string& text = b.store.files.at(b.trace.currentFile());
    EXPECT_LE(text.size(), WireTrace::kMaxFileBytes + 200);
    EXPECT_NE(text.find("# The trace stops here: the file reached its bound of 4194304 bytes.\n"),
              std::string::npos);
    std::size_t traces = 0;
    for (const auto& entry : b.store.files)
        traces += entry.first.ends_with(".trace") ? 1 : 0;
    EXPECT_EQ(traces, WireTrace::kMaxFiles);
    EXPECT_TRUE(b.store.files.count("notes.txt")) << "only traces are pruned";
    EXPECT_TRUE(b.store.files.count(b.trace.currentFile()));
}

// The traces written longest ago go first, whatever their names say: a name holds the wall clock
// at its start, which may have been wrong.
TEST(WireTrace, TheFolderKeepsTheTracesWrittenLast) {
    TraceBench b;
    const int n = static_cast<int>(WireTrace::kMaxFiles) + 2;
    std::vector<std::string> byAge;  // written longest ago first, named newest first
    for (int i = 0; i < n; ++i) {
        const std::string name = "2030" + std::to_string(1000 + n - i) + "-000000Z-x.trace";
        b.store.files[name] = "old";
        b.store.modified[name] = 100 + i;
        byAge.push_back(name);
    }
    b.trace.begin(kNoon);
    b.trace.sent(Bytes({0xFE, 0xFD}), 9600);
    b.trace.flush();
    // Room for the new one: the three written longest ago are gone, the rest kept.
    for (int i = 0; i < n; ++i)
        EXPECT_EQ(b.store.files.count(byAge[i]), i < 3 ? 0u : 1u) << byAge[i];
    EXPECT_EQ(b.store.files.size(), WireTrace::kMaxFiles);
    EXPECT_EQ(b.trace.newestFile(), b.trace.currentFile());
}

TEST(WireTrace, TheNewestTraceOfAnEarlierRunIsTheOneWrittenLast) {
    TraceBench b;
    b.store.files["20300101-000000Z-x.trace"] = "named last, written first";
    b.store.modified["20300101-000000Z-x.trace"] = 10;
    b.store.files["20200101-000000Z-x.trace"] = "named first, written last";
    b.store.modified["20200101-000000Z-x.trace"] = 20;
    b.store.files["notes.txt"] = "not a trace";
    b.store.modified["notes.txt"] = 30;
    EXPECT_EQ(b.trace.newestFile(), "20200101-000000Z-x.trace");
}

TEST(WireTrace, AFolderThatCannotBeListedIsToldAndNothingIsWritten) {
    TraceBench b;
    b.store.failList = "Permission denied";
    b.trace.begin(kNoon);
    b.trace.sent(Bytes({0xFE, 0xFD}), 9600);
    b.trace.flush();
    EXPECT_EQ(b.trace.TakeProblem(),
              "/state/calvexadj/traces: cannot be listed: Permission denied");
    EXPECT_TRUE(b.store.files.empty());
    EXPECT_EQ(b.trace.newestFile(), "");
}

// On the disk: the folder and every trace are the user's alone, and the modification times the
// folder gives decide what is pruned.
TEST(FileTraceStore, PrivateFilesPrunedByTheirModificationTime) {
    namespace fs = std::filesystem;
    TempDir dir;
    const std::string folder = dir.path() + "/state/calvexadj/traces";
    FileTraceStore store(folder);
    ASSERT_TRUE(store.append("a.trace", "first\n"));
    ASSERT_TRUE(store.append("a.trace", "second\n"));
    EXPECT_EQ(TempDir::read(folder + "/a.trace"), "first\nsecond\n");
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(fs::status(dir.path() + "/state").permissions() & fs::perms::all,
              fs::perms::owner_all);
    EXPECT_EQ(fs::status(folder + "/a.trace").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    // Named in the opposite order of their writing.
    const int n = static_cast<int>(WireTrace::kMaxFiles) + 1;
    const auto start = fs::file_time_type::clock::now() - std::chrono::hours(1000);
    std::vector<std::string> byAge;
    for (int i = 0; i < n; ++i) {
        const std::string name = "2030" + std::to_string(1000 + n - i) + "-000000Z-x.trace";
        TempDir::write(folder + "/" + name, "old");
        fs::last_write_time(folder + "/" + name, start + std::chrono::hours(i));
        byAge.push_back(name);
    }
    fs::remove(folder + "/a.trace");
    FakeTickSource ticks{0};
    WireTrace trace{ticks};
    trace.UseStore(store);
    trace.enabled(true);
    trace.begin(kNoon);
    trace.sent(Bytes({0xFE, 0xFD}), 9600);
    trace.flush();
    for (int i = 0; i < n; ++i)
        EXPECT_EQ(fs::exists(folder + "/" + byAge[i]), i >= 2) << byAge[i];
    EXPECT_TRUE(fs::exists(folder + "/" + trace.currentFile()));
}

TEST(WireTrace, AFailedWriteIsToldOnceAndTheConnectionIsGivenUp) {
    TraceBench b;
    b.store.failAppends = "No space left on device";
    b.trace.begin(kNoon);
    b.trace.sent(Bytes({0xFE, 0xFD}), 9600);
    b.trace.flush();
    EXPECT_EQ(b.trace.TakeProblem(),
              "/state/calvexadj/traces/20240501-120000Z-no-radio.trace: No space left on device");
    EXPECT_FALSE(b.trace.TakeProblem().has_value());
    b.store.failAppends.clear();
    b.trace.sent(Bytes({0xFE, 0xFD}), 9600);
    b.trace.flush();
    EXPECT_TRUE(b.store.files.empty());
    b.trace.begin(kNoon + 1);
    b.trace.sent(Bytes({0xFE, 0xFD}), 9600);
    b.trace.flush();
    EXPECT_EQ(b.store.files.size(), 1u) << "the next connection writes again";
}

}  // namespace
}  // namespace calvex
