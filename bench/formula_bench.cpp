// Formulas whose work follows the size of their values, on a size N and on
// 4N: a list written as a run of ":" (N = 8,000 numbers) and a text of
// 1 MB given N = 500 more texts by a run of "+", and a text of N = 64 KB
// split at the characters of a separator text of as many bytes, and a
// text of N = 64 KB of one letter searched for a quarter of it and another
// letter. Each iteration times both sizes; "x_4n" is the ratio of the sums.
#include <benchmark/benchmark.h>

#include <functional>
#include <string>

#include "bench_support.h"
#include "talix_platform.h"

namespace {

// Compiles and evaluates a formula without a note; false when a step fails.
bool EvaluateFormula(const std::string& text) {
    plat::DHANDLE compiled = plat::NULLHANDLE;
    plat::WORD length = 0;
    if (text.size() > 0xFFFF ||
        plat::FormulaCompile(text.data(), static_cast<plat::WORD>(text.size()), &compiled, &length) != plat::NOERROR)
        return false;
    plat::HCOMPUTE compute = 0;
    plat::STATUS status = plat::ComputeStart(plat::MemLock(compiled), &compute);
    plat::DHANDLE result = plat::NULLHANDLE;
    plat::WORD resultLength = 0;
    if (status == plat::NOERROR) {
        status = plat::ComputeEvaluate(compute, plat::NULLHANDLE, &result, &resultLength);
        plat::ComputeStop(compute);
    }
    plat::MemFree(compiled);
    if (result != plat::NULLHANDLE) plat::MemFree(result);
    return status == plat::NOERROR;
}

// Times the formula of size 4N and that of size N in each iteration.
void Scaling(benchmark::State& state, const std::function<std::string(int)>& formula) {
    const std::string small = formula(1), large = formula(4);
    talix_bench::RatioOfSteps(state, [&] { return talix_bench::TimeStep([&] { return EvaluateFormula(large); }); },
                              [&] { return talix_bench::TimeStep([&] { return EvaluateFormula(small); }); }, "n_ms",
                              "x_4n");
}

void BM_ListOfManyOperands(benchmark::State& state) {
    Scaling(state, [](int scale) {
        std::string list = "l := 1";
        for (int i = 1; i < 8000 * scale; ++i) list += ":1";
        return list + "; @Elements(l)";
    });
}

void BM_TextOfManyOperands(benchmark::State& state) {
    Scaling(state, [](int scale) {
        std::string text = R"(x := "0123456789abcdef")";
        for (int i = 0; i < 16; ++i) text += "; x := x + x";
        text += "; y := x";
        for (int i = 0; i < 500 * scale; ++i) text += R"( + "a")";
        return text + "; 0";
    });
}

// A text of 2^k times sixteen characters.
std::string Doubled(const char* name, const char* sixteen, int k) {
    std::string text = std::string(name) + " := \"" + sixteen + "\"";
    for (int i = 0; i < k; ++i) text += std::string("; ") + name + " := " + name + " + " + name;
    return text;
}

void BM_ExplodeAtManySeparators(benchmark::State& state) {
    Scaling(state, [](int scale) {
        const int k = scale == 1 ? 12 : 14;
        return Doubled("x", "abcdefghijklmnop", k) + "; " + Doubled("s", "qrstuvwxyz012345", k) +
               "; @Elements(@Explode(x; s))";
    });
}

void BM_ContainsLongText(benchmark::State& state) {
    Scaling(state, [](int scale) {
        const int k = scale == 1 ? 12 : 14;
        return Doubled("x", "aaaaaaaaaaaaaaaa", k) + "; y := @Left(x; " + std::to_string(4096 * scale * 4) +
               R"() + "b"; @Contains(x; y))";
    });
}

} // namespace

BENCHMARK(BM_ListOfManyOperands)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_TextOfManyOperands)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_ExplodeAtManySeparators)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_ContainsLongText)->Unit(benchmark::kMillisecond)->UseManualTime();
