// Speed of the binary document font extractor, as ratios against baselines measured in the same
// run over the same bytes:
//  - each pass's byte scan (the chunk loop over a buffer in memory) against one memchr over the
//    whole buffer for a byte that does not occur (the speed at which the bytes can be read);
//  - the whole process `portolan-fonts FILE` against `grep -c -F MARKER FILE` for the pass's
//    section-start marker, both reading the same file from the page cache, with their peak
//    resident memory.
// The file (1 GiB and a bit: binary data with sparse markers) is generated into a scratch folder
// (PORTOLAN_BENCH_SCRATCH, else the system's temporary folder) and removed at the end.
#include "DocumentBytes.h"
#include "GBinaryDocumentFontExtractor.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Extractor = GBinaryDocumentFontExtractor;

constexpr TUInt64 kFileSize = (TUInt64(1) << 30) + (TUInt64(1) << 20);
constexpr TUInt64 kMarkerSpacing = 4 << 20;
constexpr TUInt8 kAbsentByte = 0xF7; // never written, so memchr reads the whole buffer

// Pseudo-random bytes (no kAbsentByte) with a Photoshop font set, an Illustrator font descriptor
// and an After Effects section every kMarkerSpacing bytes.
std::vector<TUInt8> MakeDocumentBytes()
{
    std::vector<TUInt8> bytes(kFileSize);
    TUInt64 state = 0x9E3779B97F4A7C15ull;
    for (TUInt64 i = 0; i + 8 <= bytes.size(); i += 8)
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        std::memcpy(&bytes[i], &state, 8);
    }
    std::replace(bytes.begin(), bytes.end(), kAbsentByte, TUInt8(kAbsentByte - 1));
    const std::string blocks[] = {
        FontSet({"AdobeInvisFont", "Garamond-Bold"}),
        FontDescriptor("ABCDEF+Futura-Book", true),
        AfterEffectsSection({{"Optima-Regular"}}),
    };
    TUInt64 kind = 0;
    for (TUInt64 at = kMarkerSpacing / 2; at + 256 < bytes.size(); at += kMarkerSpacing / 3, ++kind)
    {
        const std::string& block = blocks[kind % 3];
        std::memcpy(&bytes[at], block.data(), block.size());
    }
    return bytes;
}

// The extractor's chunk loop over bytes in memory.
using ChunkScan = TUInt64 (Extractor::*)(const TUInt8*, TUInt64, Extractor::TFontNameSet&) const;
Extractor::TFontNameSet ScanAll(const Extractor& extractor, ChunkScan scan, const std::vector<TUInt8>& bytes)
{
    Extractor::TFontNameSet names;
    TUInt64 position = 0;
    while (position < bytes.size())
    {
        const TUInt64 count = std::min<TUInt64>(bytes.size() - position, extractor.GetChunkSize());
        position += (extractor.*scan)(bytes.data() + position, count, names);
    }
    return names;
}

std::map<std::string, double> sBestSeconds; // best time of each in-process benchmark

void Timed(benchmark::State& state, const std::string& name, TUInt64 bytes, const std::function<void()>& body)
{
    double best = 1e30;
    for (auto _ : state)
    {
        const auto start = Clock::now();
        body();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    sBestSeconds[name] = best;
}

struct ProcessRun
{
    double seconds = 1e30;
    long peakKiB = 0;
    int status = -1;
};

// Runs a command with its output to a file (GNU grep stops at the first match when its output is
// /dev/null); best wall time of a few runs, and its peak RSS.
ProcessRun RunProcess(const std::vector<std::string>& command, const std::string& output, int runs = 3)
{
    ProcessRun result;
    for (int run = 0; run < runs; ++run)
    {
        std::vector<char*> argv;
        for (const std::string& part : command)
        {
            argv.push_back(const_cast<char*>(part.c_str()));
        }
        argv.push_back(nullptr);
        const auto start = Clock::now();
        // fork, not vfork/posix_spawn: a vfork child's peak RSS starts from this process's peak.
        const pid_t pid = fork();
        if (pid == 0)
        {
            const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(fd, 1);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        result.seconds = std::min(result.seconds, seconds);
        result.peakKiB = std::max(result.peakKiB, usage.ru_maxrss);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return result;
}

std::string ToolPath()
{
    return (fs::read_symlink("/proc/self/exe").parent_path() / "portolan-fonts").string();
}
} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const char* scratchEnv = std::getenv("PORTOLAN_BENCH_SCRATCH");
    const fs::path scratch =
        fs::path(scratchEnv != nullptr ? scratchEnv : fs::temp_directory_path().string()) /
        ("portolan-extractor-bench-" + std::to_string(getpid()));
    fs::create_directories(scratch);

    std::printf("generating %llu bytes of binary data with sparse markers in %s\n",
                static_cast<unsigned long long>(kFileSize), scratch.c_str());
    std::vector<TUInt8> bytes = MakeDocumentBytes();
    const fs::path file = scratch / "document.bin";
    {
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    // The same bytes under the names that choose each pass.
    for (const char* extension : {".psd", ".ai", ".aep"})
    {
        fs::create_hard_link(file, fs::path(file).replace_extension(extension));
    }

    const Extractor extractor("");
    const struct
    {
        const char* name;
        ChunkScan scan;
        const char* extension;
        const Extractor::Markers& markers;
    } passes[] = {
        {"Photoshop", &Extractor::ScanPhotoshopChunk, ".psd", Extractor::kPhotoshopMarkers},
        {"Illustrator", &Extractor::ScanIllustratorChunk, ".ai", Extractor::kIllustratorFirstPassMarkers},
        {"AfterEffects", &Extractor::ScanAfterEffectsChunk, ".aep", Extractor::kAfterEffectsOuterMarkers},
    };

    benchmark::RegisterBenchmark(
        "memchr/absent byte",
        [&](benchmark::State& state)
        {
            Timed(state, "memchr", bytes.size(),
                  [&] { benchmark::DoNotOptimize(std::memchr(bytes.data(), kAbsentByte, bytes.size())); });
        })
        ->Iterations(5)
        ->Unit(benchmark::kMillisecond);
    for (const auto& pass : passes)
    {
        benchmark::RegisterBenchmark((std::string("pass/") + pass.name).c_str(),
                                     [&](benchmark::State& state)
                                     {
                                         Timed(state, pass.name, bytes.size(),
                                               [&]
                                               {
                                                   auto names = ScanAll(extractor, pass.scan, bytes);
                                                   names.erase(""); // a name cut by the chunk's end
                                                   if (names.size() != 1)
                                                   {
                                                       state.SkipWithError("unexpected names");
                                                   }
                                               });
                                     })
            ->Iterations(3)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();

    const double gib = static_cast<double>(bytes.size()) / (1 << 30);
    const double memchrSeconds = sBestSeconds["memchr"];
    std::printf("\nIn memory, %.3f GiB (best of the runs above):\n", gib);
    std::printf("  %-14s %8.1f ms  %6.2f GiB/s\n", "memchr", memchrSeconds * 1e3, gib / memchrSeconds);
    for (const auto& pass : passes)
    {
        const double seconds = sBestSeconds[pass.name];
        std::printf("  %-14s %8.1f ms  %6.2f GiB/s  %5.2fx memchr time (target <= 3)\n", pass.name,
                    seconds * 1e3, gib / seconds, seconds / memchrSeconds);
    }

    // Free the buffer: a forked child starts with this process's resident pages.
    std::vector<TUInt8>().swap(bytes);

    std::printf("\nWhole process on the file (page cache warm; best of 3 runs; peak RSS):\n");
    const std::string tool = ToolPath();
    const std::string output = (scratch / "output.txt").string();
    for (const auto& pass : passes)
    {
        const std::string path = fs::path(file).replace_extension(pass.extension).string();
        const std::string marker(pass.markers.sectionStart);
        RunProcess({"cat", path}, output, 1); // warm the page cache
        const ProcessRun grep = RunProcess({"grep", "-c", "-F", "--", marker, path}, output);
        std::printf("  %s pass, %s: grep -c -F '%s' %.1f ms, %.1f MiB\n", pass.name,
                    fs::path(path).filename().c_str(), marker.c_str(), grep.seconds * 1e3,
                    grep.peakKiB / 1024.0);
        for (const TUInt64 chunkMiB : {TUInt64(4), Extractor::kDefaultChunkSize >> 20})
        {
            const ProcessRun fonts =
                RunProcess({tool, "--chunk-mib", std::to_string(chunkMiB), path}, output);
            std::printf(
                "    portolan-fonts --chunk-mib %3llu: %7.1f ms (%.2fx grep; target <= 1), peak %6.1f MiB"
                " (chunk + %.1f MiB), exit %d\n",
                static_cast<unsigned long long>(chunkMiB), fonts.seconds * 1e3, fonts.seconds / grep.seconds,
                fonts.peakKiB / 1024.0, fonts.peakKiB / 1024.0 - static_cast<double>(chunkMiB), fonts.status);
        }
    }

    fs::remove_all(scratch);
    benchmark::Shutdown();
    return 0;
}
