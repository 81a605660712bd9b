// One service pass of the panel's notifications: 1,000 distinct activated fonts queued, then one
// PopNotifications that sends them as one message 24 (JSON built, serialised, wrapped, dispatched
// to an event library that keeps the text). The baseline is the least any sender must do in the
// same run: the same message text written with snprintf into a string and handed over.
// Printed: each one's best time per pass and their ratio (the goal: a pass well under 1 ms).

#include "FakePanelHost.h"
#include "HTMLPanel.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace
{
constexpr int kFonts = 1000;

double sPanelSeconds = 0;
double sBaselineSeconds = 0;

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    FakePanelHost host;
    FakeEventLibrary events;
    HTMLPanel panel(&events.library);
    std::string kept;

    benchmark::RegisterBenchmark("panel/pass-1000-activated",
                                 [&](benchmark::State& state)
                                 {
                                     for (auto _ : state)
                                     {
                                         state.PauseTiming();
                                         events.dispatched.clear();
                                         for (int id = 0; id < kFonts; ++id)
                                         {
                                             panel.PushFontActivatedNotification(1000 + id);
                                         }
                                         state.ResumeTiming();
                                         panel.PopNotifications();
                                     }
                                     benchmark::DoNotOptimize(events.dispatched.data());
                                 })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("baseline/snprintf-same-message",
                                 [&](benchmark::State& state)
                                 {
                                     for (auto _ : state)
                                     {
                                         std::string text = "({\"messageID\":24,\"fontIDs\":[";
                                         char number[16];
                                         for (int id = 0; id < kFonts; ++id)
                                         {
                                             std::snprintf(number, sizeof number, id == 0 ? "%d" : ",%d",
                                                           1000 + id);
                                             text += number;
                                         }
                                         text += "]})";
                                         kept = text;
                                         benchmark::DoNotOptimize(kept.data());
                                     }
                                 })
        ->Unit(benchmark::kMicrosecond);

    class GBestTimes : public benchmark::ConsoleReporter
    {
    public:
        void ReportRuns(const std::vector<Run>& runs) override
        {
            ConsoleReporter::ReportRuns(runs);
            for (const Run& run : runs)
            {
                const double perPass = run.GetAdjustedRealTime() * 1e-6; // microseconds -> seconds
                double& best =
                    run.benchmark_name().rfind("panel/", 0) == 0 ? sPanelSeconds : sBaselineSeconds;
                best = best == 0 ? perPass : std::min(best, perPass);
            }
        }
    } reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (sPanelSeconds > 0 && sBaselineSeconds > 0)
    {
        std::printf(
            "one pass with %d queued fonts: %.1f us (baseline %.1f us), ratio %.2f; goal under 1000 us\n",
            kFonts, sPanelSeconds * 1e6, sBaselineSeconds * 1e6, sPanelSeconds / sBaselineSeconds);
    }
    benchmark::Shutdown();
    return 0;
}
