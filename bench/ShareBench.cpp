// One shared exchange through the hub's core: a program's query in, on the line, the radio's
// reply back to that program. No sockets: what the hub itself adds per exchange.
#include "share/Arbiter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

namespace quorvel {
namespace {

// The hub past its start-up, with `programs` programs connected.
Arbiter startedHub(Arbiter::Time& now, std::size_t programs, std::vector<Arbiter::ClientId>& ids) {
    Arbiter hub(now);
    now += Arbiter::kSetHold;
    hub.tick(now);
    hub.fromRadio("K22;", now);
    hub.fromRadio("K30;", now);
    for (std::size_t i = 0; i < programs; ++i) {
        ids.push_back(*hub.connect(now));
    }
    hub.take();
    return hub;
}

void BM_SharedExchange(benchmark::State& state) {
    Arbiter::Time now{};
    std::vector<Arbiter::ClientId> ids;
    Arbiter hub = startedHub(now, 1, ids);
    for (auto _ : state) {
        hub.fromClient(ids.front(), "FA;", now);
        hub.fromRadio("FA00007074000;", now);
        benchmark::DoNotOptimize(hub.take());
    }
}
BENCHMARK(BM_SharedExchange);

// Eight programs with a question each waiting: one turn of the round-robin per iteration.
void BM_EightProgramsOneTurnEach(benchmark::State& state) {
    Arbiter::Time now{};
    std::vector<Arbiter::ClientId> ids;
    Arbiter hub = startedHub(now, 8, ids);
    for (auto _ : state) {
        for (const Arbiter::ClientId id : ids) {
            hub.fromClient(id, "FA;", now);
        }
        for (std::size_t i = 0; i < ids.size(); ++i) {
            hub.fromRadio("FA00007074000;", now);
        }
        benchmark::DoNotOptimize(hub.take());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(ids.size()));
}
BENCHMARK(BM_EightProgramsOneTurnEach);

} // namespace
} // namespace quorvel
