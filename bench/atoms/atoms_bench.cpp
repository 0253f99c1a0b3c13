// The atom table under load: intern 1,000,000 distinct texts, then look every one up again.
// Every program value is interned, so these two loops bound what a program that produces many
// distinct values (counters, computed numbers, concatenations) pays per value.
//
// Run: build/bench/kavo_bench_atoms   (Google Benchmark options apply when it is linked in)
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "core/atoms.h"

#if KAVO_GOOGLE_BENCHMARK
#include <benchmark/benchmark.h>
#endif

namespace {

int const COUNT = 1000000;

// COUNT distinct texts that no other round uses, made before any timing starts.
std::vector<std::string> make_texts(char const* stem) {
    static int round;
    round++;
    std::vector<std::string> texts;
    texts.reserve(COUNT);
    for (int i = 0; i < COUNT; i++)
        texts.push_back(std::string(stem) + "." + std::to_string(round) + "." + std::to_string(i));
    return texts;
}

// Interns every text; returns how many were new (all of them when the table is sound).
int intern_all(std::vector<std::string> const& texts) {
    int before = atoms_count();
    for (auto const& t : texts) atoms_add(t.c_str());
    return atoms_count() - before;
}

// Looks every text up; returns how many were found with their own text.
int find_all(std::vector<std::string> const& texts) {
    int found = 0;
    for (auto const& t : texts) {
        atom_s* a = atoms_find(t.c_str());
        found += a && a->length == (int)t.size();
    }
    return found;
}

}  // namespace

#if KAVO_GOOGLE_BENCHMARK

static void BM_InternDistinct(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::string> texts = make_texts("intern");
        state.ResumeTiming();
        int added = intern_all(texts);
        if (added != COUNT) state.SkipWithError("a distinct text was not added");
    }
    state.SetItemsProcessed(state.iterations() * COUNT);
}
BENCHMARK(BM_InternDistinct)->Iterations(1)->Unit(benchmark::kMillisecond);

static void BM_FindEach(benchmark::State& state) {
    std::vector<std::string> texts = make_texts("find");
    intern_all(texts);
    for (auto _ : state) {
        int found = find_all(texts);
        if (found != COUNT) state.SkipWithError("an interned text was not found");
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * COUNT);
}
BENCHMARK(BM_FindEach)->Iterations(3)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

#else

int main() {
    using clock = std::chrono::steady_clock;
    std::vector<std::string> texts = make_texts("timed");

    auto start = clock::now();
    int added = intern_all(texts);
    double intern_ms = std::chrono::duration<double, std::milli>(clock::now() - start).count();

    start = clock::now();
    int found = find_all(texts);
    double find_ms = std::chrono::duration<double, std::milli>(clock::now() - start).count();

    std::printf("intern %d distinct texts: %.1f ms (%.0f ns each), %d added\n", COUNT, intern_ms,
                intern_ms * 1e6 / COUNT, added);
    std::printf("find   %d texts again:    %.1f ms (%.0f ns each), %d found\n", COUNT, find_ms,
                find_ms * 1e6 / COUNT, found);
    return added == COUNT && found == COUNT ? 0 : 1;
}

#endif
