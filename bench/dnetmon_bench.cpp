// dnetmon's output path: frames per second it decodes and prints to a file (readable line and
// candump log line), taken from its buffer as the output loop takes them. The goal: ten times
// the frames a fully loaded 500 kbit/s bus can carry, so the output never is what limits it.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bus_stats.h"
#include "frame_buffer.h"
#include "frame_printer.h"

namespace {

// A mix as a master's scan cycle puts it on the bus: poll command and response, bit strobe,
// change of state with acknowledge, an explicit request and its answer.
std::vector<dnetmon::FrameBuffer::Entry> TrafficMix(std::size_t count) {
    struct Frame {
        uint16_t id;
        std::vector<uint8_t> data;
    };
    const Frame mix[] = {
        {0x40D, {0x11, 0x22}},
        {0x3C1, {0x01, 0x02, 0x03, 0x04}},
        {0x400, std::vector<uint8_t>(8, 0)},
        {0x382, {0x01}},
        {0x343, {0x10, 0x20, 0x30, 0x40}},
        {0x41A, {}},
        {0x424, {0x00, 0x0E, 0x01, 0x01, 0x07}},
        {0x423, {0x80, 0x00, 0x8E, 0x08, 0x49, 0x4F, 0x20, 0x42}},
    };
    std::vector<dnetmon::FrameBuffer::Entry> entries(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Frame& f = mix[i % std::size(mix)];
        auto& r = entries[i].record;
        r[0] = 1;
        r[1] = static_cast<uint8_t>(f.id);
        r[2] = static_cast<uint8_t>(f.id >> 8);
        r[3] = static_cast<uint8_t>(f.data.size());
        std::copy(f.data.begin(), f.data.end(), r.begin() + 4);
        const auto ms = static_cast<uint32_t>(i / 8);
        for (int b = 0; b < 4; ++b) r[12 + b] = static_cast<uint8_t>(ms >> (8 * b));
    }
    return entries;
}

void BM_DecodeAndPrintToFile(benchmark::State& state) {
    const bool withLog = state.range(0) != 0;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("dnetmon-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::FILE* out = std::fopen((dir / "frames.txt").c_str(), "w");
    std::ofstream log;
    if (withLog) log.open(dir / "frames.log");
    if (out == nullptr || (withLog && !log)) {
        state.SkipWithError("the output files cannot be written");
        return;
    }
    std::setvbuf(out, nullptr, _IOFBF, 1 << 16);
    const auto entries = TrafficMix(4096);
    dnetmon::FramePrinter printer(out, {}, withLog ? &log : nullptr);
    int64_t frames = 0;
    for (auto _ : state) {
        for (const auto& e : entries) benchmark::DoNotOptimize(printer.Print(e));
        std::fflush(out);
        frames += static_cast<int64_t>(entries.size());
    }
    std::fclose(out);
    std::filesystem::remove_all(dir);
    // The shortest frame (no data) takes at least 47 bits: at most 10,638 frames/s at 500 kbit/s.
    const double busMax = 500000.0 / 47.0;
    state.SetItemsProcessed(frames);
    state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["goal_frames_per_s"] = 10 * busMax;
}

BENCHMARK(BM_DecodeAndPrintToFile)->Arg(0)->Arg(1)->ArgName("with_log")->Unit(benchmark::kMillisecond)->UseRealTime();

// Bus statistics of the same mix (the --stats path, without printing frames).
void BM_Statistics(benchmark::State& state) {
    const auto entries = TrafficMix(4096);
    dnetmon::BusStats stats(500);
    int64_t frames = 0;
    for (auto _ : state) {
        for (const auto& e : entries) {
            const auto& r = e.record;
            stats.Add(static_cast<uint16_t>(r[1] | r[2] << 8), std::span<const uint8_t>(r.data() + 4, r[3]));
        }
        frames += static_cast<int64_t>(entries.size());
    }
    benchmark::DoNotOptimize(stats.Report(1.0));
    state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["goal_frames_per_s"] = 10 * 500000.0 / 47.0;
}

BENCHMARK(BM_Statistics)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
