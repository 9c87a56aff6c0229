// The monitor between the adapter's ring and its output: the bounded buffer and its drop count,
// the reader thread draining a ring while the output is paused, filters and bus statistics.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bus_stats.h"
#include "dnettest.h"
#include "frame_buffer.h"
#include "frame_filter.h"
#include "frame_printer.h"
#include "ring_reader.h"

namespace dnetmon {
namespace {

using namespace std::chrono_literals;

// Record `seq` as the adapter delivers it: poll response of MAC `seq % 64`, the number in the data.
RecordBytes NumberedRecord(uint32_t seq, uint8_t flags = 1) {
    RecordBytes r{};
    const uint16_t id = static_cast<uint16_t>((15 << 6) | (seq % 64));
    r[0] = flags;
    r[1] = static_cast<uint8_t>(id);
    r[2] = static_cast<uint8_t>(id >> 8);
    r[3] = 4;
    for (int i = 0; i < 4; ++i) r[4 + i] = static_cast<uint8_t>(seq >> (8 * i));
    r[12] = static_cast<uint8_t>(seq);
    return r;
}

uint32_t NumberOf(const RecordBytes& r) {
    return static_cast<uint32_t>(r[4] | r[5] << 8 | r[6] << 16 | static_cast<uint32_t>(r[7]) << 24);
}

std::vector<uint8_t> Records(uint32_t first, uint32_t count) {
    std::vector<uint8_t> out;
    for (uint32_t i = first; i < first + count; ++i) {
        const RecordBytes r = NumberedRecord(i);
        out.insert(out.end(), r.begin(), r.end());
    }
    return out;
}

// A ring in memory written as libtamsen.so's receive thread writes it: only into free slots,
// head published after the records; it waits while the ring is full.
class LibraryRing {
public:
    LibraryRing() : slots_(DNETTEST_RING_SLOTS * DNETTEST_RECORD_SIZE), table_(DNETTEST_RING_SLOTS) {
        for (std::size_t i = 0; i < table_.size(); ++i) table_[i] = slots_.data() + i * DNETTEST_RECORD_SIZE;
        header_.mask = DNETTEST_RING_MASK;
        header_.slots = table_.data();
    }
    void Write(const RecordBytes& r) {
        const uint32_t head = __atomic_load_n(&header_.head, __ATOMIC_RELAXED);
        // The consumer's tail with acquire: the slots it read are free to be written again.
        while (((head - __atomic_load_n(&header_.tail, __ATOMIC_ACQUIRE)) & DNETTEST_RING_MASK) >= DNETTEST_RING_MASK) {
            std::this_thread::sleep_for(100us);
        }
        std::copy(r.begin(), r.end(), table_[head & DNETTEST_RING_MASK]);
        __atomic_store_n(&header_.head, (head + 1) & DNETTEST_RING_MASK, __ATOMIC_RELEASE);
    }
    DNetTestRingHeader* Header() { return &header_; }

private:
    std::vector<uint8_t> slots_;
    std::vector<uint8_t*> table_;
    DNetTestRingHeader header_{};
};

class LibraryRingSource final : public RecordSource {
public:
    explicit LibraryRingSource(LibraryRing& ring) : ring_(ring) {}
    std::size_t Read(std::span<uint8_t> out, std::chrono::milliseconds wait) override {
        const auto max = static_cast<uint32_t>(out.size() / DNETTEST_RECORD_SIZE);
        const uint32_t n = DNetTestRing_Read(ring_.Header(), out.data(), max);
        if (n == 0) std::this_thread::sleep_for(std::min<std::chrono::milliseconds>(wait, 1ms));
        return n;
    }

private:
    LibraryRing& ring_;
};

TEST(FrameBuffer, KeepsUpToItsCapacityAndCountsWhatItDrops) {
    FrameBuffer buffer(4);
    buffer.Push(Records(0, 3));
    buffer.Push(Records(3, 3));  // 5 does not fit
    buffer.Push(Records(6, 2));  // neither fits
    EXPECT_EQ(buffer.Size(), 4u);
    EXPECT_EQ(buffer.DroppedTotal(), 4u);
    FrameBuffer::Batch b = buffer.Pop(3, 0ms);
    ASSERT_EQ(b.entries.size(), 3u);
    EXPECT_EQ(b.droppedAfter, 0u) << "record 3 is still there";
    b = buffer.Pop(10, 0ms);
    ASSERT_EQ(b.entries.size(), 1u);
    EXPECT_EQ(NumberOf(b.entries[0].record), 3u);
    EXPECT_EQ(b.droppedAfter, 4u) << "after record 3";
    // The count of a later drop travels with the first record that fits after it.
    buffer.Push(Records(10, 4));
    buffer.Push(Records(14, 1));
    (void)buffer.Pop(1, 0ms);
    buffer.Push(Records(15, 2));
    b = buffer.Pop(10, 0ms);
    ASSERT_EQ(b.entries.size(), 4u);
    std::vector<std::pair<uint32_t, uint64_t>> got;
    for (const auto& e : b.entries) got.emplace_back(NumberOf(e.record), e.droppedBefore);
    EXPECT_EQ(got, (std::vector<std::pair<uint32_t, uint64_t>>{{11, 0}, {12, 0}, {13, 0}, {15, 1}}));
    EXPECT_EQ(b.droppedAfter, 1u) << "16 did not fit";
    EXPECT_FALSE(b.closed);
    buffer.Close();
    EXPECT_TRUE(buffer.Pop(10, 1s).closed);
}

// The library writes 5,000 records into its 1024-slot ring while the output is paused for 3 s:
// the reader thread keeps the ring drained, so the library never waits long and nothing is lost.
TEST(RingReader, PausedOutputLosesNothing) {
    LibraryRing ring;
    LibraryRingSource source(ring);
    FrameBuffer buffer;
    RingReader reader(source, buffer);
    EXPECT_NE(reader.ThreadId(), 0u);
    constexpr uint32_t kFrames = 5000;
    std::atomic<bool> written{false};
    std::thread library([&] {
        for (uint32_t i = 0; i < kFrames; ++i) {
            ring.Write(NumberedRecord(i));
            if (i % 50 == 49) std::this_thread::sleep_for(1ms);  // a busy bus, not a burst
        }
        written = true;
    });
    std::this_thread::sleep_for(3s);  // the output is paused
    EXPECT_TRUE(written.load()) << "the library had to wait for the paused output";
    library.join();
    std::vector<uint32_t> numbers;
    while (numbers.size() < kFrames) {
        FrameBuffer::Batch b = buffer.Pop(1000, 2s);
        if (b.entries.empty()) break;
        for (const auto& e : b.entries) {
            EXPECT_EQ(e.droppedBefore, 0u);
            numbers.push_back(NumberOf(e.record));
        }
    }
    ASSERT_EQ(numbers.size(), kFrames);
    for (uint32_t i = 0; i < kFrames; ++i) ASSERT_EQ(numbers[i], i);
    reader.Stop();
    EXPECT_TRUE(buffer.Pop(10, 1s).closed);
    EXPECT_EQ(buffer.DroppedTotal(), 0u);
}

std::string PrintAll(FrameBuffer& buffer, const FrameFilter& filter) {
    std::FILE* out = std::tmpfile();
    FramePrinter printer(out, filter);
    for (;;) {
        FrameBuffer::Batch b = buffer.Pop(100, 0ms);
        for (const auto& e : b.entries) (void)printer.Print(e);
        printer.PrintDropped(b.droppedAfter);
        if (b.entries.empty() && b.droppedAfter == 0) break;
    }
    std::string text(static_cast<std::size_t>(std::ftell(out)), '\0');
    std::rewind(out);
    text.resize(std::fread(text.data(), 1, text.size(), out));
    std::fclose(out);
    return text;
}

TEST(FramePrinter, OneLinePerGapOfTheMonitorAndOfTheAdapter) {
    FrameBuffer buffer(3);
    buffer.Push(Records(0, 5));  // 3 and 4 dropped
    std::string text = PrintAll(buffer, {});
    EXPECT_EQ(text,
              "     0.000  3C0  G1 mac  0 msg 15  [4] 00 00 00 00              poll response from slave 0\n"
              "     0.001  3C1  G1 mac  1 msg 15  [4] 01 00 00 00              poll response from slave 1\n"
              "     0.002  3C2  G1 mac  2 msg 15  [4] 02 00 00 00              poll response from slave 2\n"
              "            -- dnetmon dropped 2 frames (its output did not keep up) --\n");
    // The adapter's gap mark and the monitor's drop are shown even when the frame is filtered out.
    const RecordBytes lost = NumberedRecord(65, 0x81);
    buffer.Push(Records(63, 1));
    buffer.Push(lost);
    buffer.Push(Records(66, 3));  // 67 and 68 dropped
    FrameFilter onlyOne;
    onlyOne.SetMacs(*FrameFilter::ParseList("2", 63));
    text = PrintAll(buffer, onlyOne);
    EXPECT_EQ(text,
              "            -- frames were lost before this one --\n"
              "     0.066  3C2  G1 mac  2 msg 15  [4] 42 00 00 00              poll response from slave 2\n"
              "            -- dnetmon dropped 2 frames (its output did not keep up) --\n");
}

TEST(FramePrinter, DroppedLineCountsInWords) {
    EXPECT_EQ(DroppedLine(1), "-- dnetmon dropped 1 frame (its output did not keep up) --");
    EXPECT_EQ(DroppedLine(4000), "-- dnetmon dropped 4000 frames (its output did not keep up) --");
}

TEST(FrameFilter, ListsAndWhatPasses) {
    struct ListCase {
        const char* text;
        unsigned max;
        std::optional<std::bitset<64>> set;
    };
    const ListCase lists[] = {
        {"4", 63, std::bitset<64>(0x10)},
        {"1,3-5,63", 63, std::bitset<64>(0x8000000000000000ull | 0x3A)},
        {"0-63", 63, std::bitset<64>().set()},
        {"64", 63, std::nullopt},
        {"5-3", 63, std::nullopt},
        {"1,,2", 63, std::nullopt},
        {"", 63, std::nullopt},
        {"1-", 63, std::nullopt},
        {"x", 63, std::nullopt},
        {"1,5", 4, std::nullopt},
    };
    for (const ListCase& c : lists) EXPECT_EQ(FrameFilter::ParseList(c.text, c.max), c.set) << c.text;

    FrameFilter f;
    f.SetMacs(*FrameFilter::ParseList("4", 63));
    f.SetGroups(*FrameFilter::ParseList("1,2", 4));
    struct PassCase {
        uint16_t id;
        bool passes;
    };
    const PassCase ids[] = {
        {0x3C4, true},  // group 1, MAC 4
        {0x3C5, false},  // group 1, MAC 5
        {0x423, true},  // group 2, MAC 4
        {0x644, false},  // group 3, MAC 4
        {0x7C4, false},  // group 4: no MAC ID
    };
    for (const PassCase& c : ids) EXPECT_EQ(f.Passes(c.id), c.passes) << std::hex << c.id;
    EXPECT_TRUE(FrameFilter{}.Passes(0x7C4));
}

TEST(BusStats, BitsOfAFrameAndTheLoadTheyMake) {
    // 34 stuffed bits all zero: a stuff bit after every five, 13 fixed bits after the CRC.
    EXPECT_EQ(CanFrameBits(0x000, {}), 34u + 6u + 13u);
    // Without stuffing a frame takes 47 + 8 n bits; stuffing adds at most one bit per four after
    // the first.
    for (uint16_t id : {0x000, 0x3C1, 0x555, 0x7FF}) {
        for (std::size_t n = 0; n <= 8; ++n) {
            const std::vector<uint8_t> data(n, static_cast<uint8_t>(id));
            const unsigned bits = CanFrameBits(id, data);
            EXPECT_GE(bits, 47u + 8u * n);
            EXPECT_LE(bits, 47u + 8u * n + (34u + 8u * n - 1u) / 4u);
        }
    }
    BusStats stats(125);
    for (int i = 0; i < 1000; ++i) stats.Add(0x000, {});
    for (int i = 0; i < 500; ++i) stats.Add(0x7C3, {});
    const unsigned g4 = CanFrameBits(0x7C3, {});
    char g4Row[64];
    std::snprintf(g4Row, sizeof g4Row, "  G4              250 %8.1f\n", 500.0 * g4 / 2.0 / 125000.0 * 100.0);
    char head[96];
    std::snprintf(head, sizeof head, "dnetmon: 750 frames/s, bus load %.1f %% of 125 kbit/s\n",
                  (1000.0 * 53 + 500.0 * g4) / 2.0 / 125000.0 * 100.0);
    EXPECT_EQ(stats.Report(2.0), std::string(head) +
                                     "  group      frames/s   load %\n"
                                     "  G1              500     21.2\n" +
                                     g4Row +
                                     "  MAC ID     frames/s   load %\n"
                                     "  0               500     21.2\n");
    EXPECT_EQ(stats.Report(1.0),
              "dnetmon: 0 frames/s, bus load 0.0 % of 125 kbit/s\n"
              "  group      frames/s   load %\n"
              "  MAC ID     frames/s   load %\n")
        << "a new interval begins";
}

}  // namespace
}  // namespace dnetmon
