// Throughput of the EDS reader and the cost of copying a large document.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>
#include <string>
#include <unistd.h>

#include "eds/eds_file.h"

namespace {

// A generated EDS file of about 3 MB with 20 000 parameters, enumerations and IO entries.
std::string GenerateEds() {
    std::string text =
        "$ generated\n[File]\nDescText = \"Generated\";\nCreateDate = 01-01-2024;\n"
        "[Device]\nVendCode = 283;\nVendName = \"Bench\";\nProdType = 12;\nProdCode = 1;\nMajRev = 1;\n"
        "[IO_Info]\nDefault = 0x0001;\nPollInfo = 0x000F, 1, 1;\n";
    for (int i = 1; i <= 64; ++i)
        text += "Input" + std::to_string(i) + " = 8, 64, 0x000F, \"Input " + std::to_string(i) +
                "\", 6, \"20 04 24 64 30 03\", \"help text, with a comma\";\n";
    text += "[Params]\n";
    for (int n = 1; n <= 20000; ++n) {
        const std::string num = std::to_string(n);
        text += "Param" + num + " =\n    0, 6, \"20 0F 24 " + std::to_string(n % 100) +
                " 30 01\", 0x0010, 0xC7, 2,\n    \"Parameter " + num + "\", \"rpm\", \"Help of " + num +
                "\",\n    0, 65535, 100, 1,1,1,0, 0,0,0,0, 0;  $ comment\n";
        if (n % 4 == 0) text += "Enum" + num + " = 0,\"Off\",1,\"On\",2,\"Auto\";\n";
    }
    text += "[Groups]\nGroup1 = \"All\", 3, 1, 2, 3;\n";
    return text;
}

class ScratchFile {
public:
    explicit ScratchFile(const std::string& content) {
        char tmpl[] = "/tmp/eds_bench_XXXXXX";
        int fd = ::mkstemp(tmpl);
        if (fd >= 0) ::close(fd);
        path_ = tmpl;
        std::ofstream(path_, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    ~ScratchFile() { std::remove(path_.c_str()); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

void BM_LoadGenerated(benchmark::State& state) {
    const std::string text = GenerateEds();
    ScratchFile file(text);
    for (auto _ : state) {
        CEDSFile doc;
        benchmark::DoNotOptimize(doc.Load(file.Path()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.counters["file_MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_LoadGenerated)->Unit(benchmark::kMillisecond);

// The EDS files published by device makers (the shared sample folder) and those of the demo
// network that ships with the program.
std::vector<std::string> SampleFiles(int64_t& bytes) {
    const char* env = std::getenv("NORVANE_EDS_SAMPLES");
    const std::filesystem::path dirs[] = {env ? env : NORVANE_EDS_SAMPLES_DIR,
                                          std::filesystem::path(NORVANE_SOURCE_DIR) / "resources/demo/eds"};
    std::vector<std::string> files;
    bytes = 0;
    for (const auto& dir : dirs) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
            std::string ext = entry.path().extension().string();
            if (ext == ".eds" || ext == ".EDS") {
                files.push_back(entry.path().string());
                bytes += static_cast<int64_t>(entry.file_size());
            }
        }
    }
    return files;
}

void BM_LoadSamples(benchmark::State& state) {
    int64_t bytes = 0;
    const std::vector<std::string> files = SampleFiles(bytes);
    if (files.empty()) {
        state.SkipWithError("sample EDS files not available");
        return;
    }
    for (auto _ : state) {
        for (const std::string& f : files) {
            CEDSFile doc;
            benchmark::DoNotOptimize(doc.Load(f));
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
    state.counters["files"] = static_cast<double>(files.size());
}
BENCHMARK(BM_LoadSamples);

void BM_DeepCopyLarge(benchmark::State& state) {
    CEDSFile doc;
    doc.LoadFromMemory(GenerateEds(), "generated.eds");
    for (auto _ : state) {
        CEDSFile copy = doc;
        benchmark::DoNotOptimize(copy.Params().Params().size());
    }
    state.counters["params"] = static_cast<double>(doc.Params().Params().size());
}
BENCHMARK(BM_DeepCopyLarge)->Unit(benchmark::kMillisecond);

// Keeps the reading rates (bytes per CPU second) to print them beside their goals.
class RateReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            auto it = run.counters.find("bytes_per_second");
            if (it != run.counters.end()) rates[run.benchmark_name()] = it->second.value;
        }
    }
    std::map<std::string, double> rates;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const struct {
        const char* name;
        const char* what;
        double goal;  // MB/s
    } goals[] = {{"BM_LoadSamples", "sample files", 200.0}, {"BM_LoadGenerated", "generated 3.3 MB file", 150.0}};
    std::printf("\n");
    for (const auto& g : goals) {
        auto it = reporter.rates.find(g.name);
        if (it == reporter.rates.end()) continue;
        const double mbPerSecond = it->second / 1e6;
        std::printf("EDS reading, %s: %.0f MB/s (goal >= %.0f MB/s): %s\n", g.what, mbPerSecond, g.goal,
                    mbPerSecond >= g.goal ? "met" : "NOT met");
    }
    benchmark::Shutdown();
    return 0;
}
