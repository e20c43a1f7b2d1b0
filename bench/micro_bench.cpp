// Micro-benchmarks of the reader's inner loops: number conversion, markup tokenizing, path
// tokens and curve flattening.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstring>
#include <string>
#include <vector>

#include "bench/documents.h"
#include "geometry/path_data.h"
#include "svg/number.h"
#include "svg/parse_context.h"
#include "svg/tokenizer.h"

namespace {

// Typical coordinates of drawings, each NUL-terminated.
const std::vector<std::string>& sampleNumbers() {
    static const std::vector<std::string> numbers = {
        "1234.567", "-0.25", "12", "3.14159", "400", "-1500.5", "0.001", "98765.4321",
        "1e3", "-7.5e-2", "250.75", "0", "42.125", "-12345.678", "0.5", "7",
    };
    return numbers;
}

// Converts every sample number once per iteration with convert(text, end, &value).
template <typename Convert>
void convertNumbers(benchmark::State& state, Convert convert) {
    const auto& numbers = sampleNumbers();
    for (auto _ : state) {
        for (const std::string& n : numbers) {
            double value;
            benchmark::DoNotOptimize(convert(n.c_str(), n.c_str() + n.size(), &value));
            benchmark::DoNotOptimize(value);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(numbers.size()));
}

void scanDecimalNumbers(benchmark::State& state) {
    convertNumbers(state, [](const char* text, const char*, double* value) {
        return scanDecimal(text, value);
    });
}
BENCHMARK(scanDecimalNumbers);

void scanNumberTokens(benchmark::State& state) {
    convertNumbers(state, [](const char* text, const char*, double* value) {
        return scanNumberToken(text, value);
    });
}
BENCHMARK(scanNumberTokens);

void fromCharsNumbers(benchmark::State& state) {
    convertNumbers(state, [](const char* text, const char* end, double* value) {
        if (*text == '-') ++text;
        return std::from_chars(text, end, *value).ptr;
    });
}
BENCHMARK(fromCharsNumbers);

void noStart(void*, const char*, AttrList) noexcept {}

void tokenizeDocument(benchmark::State& state) {
    std::string document = generateDocument(DocumentKind::shapes, 1u << 20);
    std::vector<char> copy(document.size() + 1);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(copy.data(), document.c_str(), document.size() + 1);
        state.ResumeTiming();
        tokenizeMarkup(copy.data(), noStart, nullptr, nullptr, nullptr);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long>(document.size()));
}
BENCHMARK(tokenizeDocument);

void splitPathTokens(benchmark::State& state) {
    const char* data = "M1234.567,-89.25 L12.5 -0.75 300,400.125 h-12.5 v7.25 c1,2 3,4 5,6 z";
    std::size_t length = std::strlen(data);
    char token[pathTokenSize];
    for (auto _ : state) {
        const char* p = data;
        while (*p != '\0') {
            const char* next = nextPathToken(p, token);
            if (next == p) break;
            p = next;
        }
        benchmark::DoNotOptimize(token[0]);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long>(length));
}
BENCHMARK(splitPathTokens);

// One path element's data read into a state, flattening its curves at the tolerance.
void flattenCurves(benchmark::State& state, float tolerance) {
    const char* attributes[] = {
        "d", "M0,0 C10,40 30,-40 50,0 S90,40 100,0 Q120,30 140,0 T180,0 c5,20 15,-20 20,0 z",
        nullptr, nullptr};
    ParserState* parser = createParserState();
    parser->tolerance = tolerance;
    std::size_t points = 0;
    for (auto _ : state) {
        parsePathData(*parser, attributes);
        for (PathRecord* r = parser->paths; r != nullptr; r = r->next) {
            points += static_cast<std::size_t>(r->pointCount);
        }
        freePathList(parser->paths);
        parser->paths = nullptr;
    }
    destroyParserState(parser);
    state.SetItemsProcessed(static_cast<long>(points));
}
BENCHMARK_CAPTURE(flattenCurves, coarse, 0.1f);
BENCHMARK_CAPTURE(flattenCurves, fine, 0.001f);

}  // namespace

BENCHMARK_MAIN();
