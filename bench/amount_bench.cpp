// What one Gerar press costs in the platform-free code: converting the amount
// and working out the text to append to the result area.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

#include "base/core/failure.h"
#include "form/core/amount.h"
#include "form/core/memo_text.h"

namespace {

const struct {
    const char* name;
    std::u16string text;
} kAmounts[] = {
    {"typical 12,50", u"12,50"},
    {"spaces and sign", u"  -1234567,89  "},
    {"exponent 1,5e300", u"1,5e300"},
    {"near the smallest subnormal", u"2,4703282292062328e-324"},
    {"a power beyond the extended range", u"1e-4999"},
    {"1000 digits", std::u16string(1000, u'1') + u"e-999"},
};

using Parser = long double (*)(std::u16string_view, char16_t);

void Convert(benchmark::State& state, Parser parse) {
    const auto& amount = kAmounts[state.range(0)];
    state.SetLabel(amount.name);
    for (auto _ : state) {
        const long double value = parse(amount.text, u',');
        benchmark::DoNotOptimize(value);
    }
}

void BM_ParseAmount(benchmark::State& state) { Convert(state, &pix::ParseAmount); }
void BM_ParseAmountCorrectlyRounded(benchmark::State& state) { Convert(state, &pix::ParseAmountCorrectlyRounded); }
BENCHMARK(BM_ParseAmount)->DenseRange(0, std::size(kAmounts) - 1);
BENCHMARK(BM_ParseAmountCorrectlyRounded)->DenseRange(0, std::size(kAmounts) - 1);

// An invalid text costs the failure with its message.
void BM_ParseAmountInvalid(benchmark::State& state) {
    const std::u16string text = u"R$ 10";
    for (auto _ : state) {
        try {
            benchmark::DoNotOptimize(pix::ParseAmount(text, u','));
        } catch (const pix::Failure& failure) {
            benchmark::DoNotOptimize(failure.Message().data());
        }
    }
}
BENCHMARK(BM_ParseAmountInvalid);

void BM_RoundAmountToDouble(benchmark::State& state) {
    long double value = 12.5L;
    for (auto _ : state) {
        benchmark::DoNotOptimize(value);
        benchmark::DoNotOptimize(pix::RoundAmountToDouble(value));
    }
}
BENCHMARK(BM_RoundAmountToDouble);

// Both appends of a press, on an area that already holds many results.
void BM_TextForAppendingLine(benchmark::State& state) {
    std::u16string area;
    while (area.size() < static_cast<std::size_t>(state.range(0))) area += u"an earlier result\r\n\r\n";
    const std::u16string result(200, u'x');
    for (auto _ : state) {
        const std::u16string line = pix::TextForAppendingLine(area, result);
        const std::u16string empty = pix::TextForAppendingLine(area, u"");
        benchmark::DoNotOptimize(line.data());
        benchmark::DoNotOptimize(empty.data());
    }
}
BENCHMARK(BM_TextForAppendingLine)->Arg(0)->Arg(1 << 20);

}  // namespace
