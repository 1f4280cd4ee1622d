// What one reply from the radio costs in the core: framing alone, and the whole receive handler
// (read, lamp, watchdog, framing, display) against recording fakes.
#include "link/ReplyFraming.h"
#include "tests/fakes/FormHarness.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void BM_FrameReply(benchmark::State& state) {
    const std::string read = "PC0501;";
    for (auto _ : state) {
        benchmark::DoNotOptimize(quorvel::frameReply(read));
    }
}
BENCHMARK(BM_FrameReply);

void handleReplies(benchmark::State& state, const std::string& reply) {
    quorvel::fakes::FormHarness h;
    h.form.Form_Load();
    const auto reportsBefore = h.dialogs.messages.size();
    for (auto _ : state) {
        h.comm.received = reply;
        h.form.MSComm1_OnComm();
        // The fakes record every change; keep their logs from growing through the run.
        h.slider.calls.clear();
        h.shpK3Con.history.clear();
        h.shpPAEnabled.history.clear();
    }
    benchmark::DoNotOptimize(h.form.txpwrText());
    if (h.dialogs.messages.size() != reportsBefore) {
        state.SkipWithError("the reply raised an error report");
    }
}

void BM_HighRangeReply(benchmark::State& state) {
    handleReplies(state, "PC0501;");
}
void BM_LowRangeReply(benchmark::State& state) {
    handleReplies(state, "PC0550;");
}
BENCHMARK(BM_HighRangeReply);
BENCHMARK(BM_LowRangeReply);

void BM_SplitReply(benchmark::State& state) {
    quorvel::fakes::FormHarness h;
    h.form.Form_Load();
    for (auto _ : state) {
        h.comm.received = "PC05";
        h.form.MSComm1_OnComm();
        h.comm.received = "01;";
        h.form.MSComm1_OnComm();
        h.slider.calls.clear();
        h.shpK3Con.history.clear();
        h.shpPAEnabled.history.clear();
    }
}
BENCHMARK(BM_SplitReply);

} // namespace
