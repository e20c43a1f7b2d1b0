// Growth of parse time and peak memory for hostile documents of 1x, 2x, 4x and 8x size: every
// class must grow linearly (the 8x row near eight times the 1x row), never faster.
//   polyin_hostile_growth [--smoke] [--class NAME] [--base F] [--cold] [--runs N] [--keep-memory]
// --base F multiplies every 1x size by F; --cold reads each text from memory (see below);
// --runs N keeps the fastest of N parses (3); --keep-memory keeps the allocator from mapping
// and unmapping large blocks (see measure).
// Each measurement runs in its own child process, so the peak resident size it reports is the
// parse's own high-water mark above the document it was given.
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <emmintrin.h>

#include "bench/documents.h"
#include "svg/parse_context.h"
#include "tests/hostile_input.h"

namespace {

using hostile::repeat;

// One hostile class: a document of `units` repetitions of its growing part.
struct HostileClass {
    const char* name;
    std::size_t baseUnits;
    float tolerance;
    std::string (*build)(std::size_t units);
};

const HostileClass classes[] = {
    {"brackets", 1000000, 0.1f, [](std::size_t n) { return repeat("<", n); }},
    {"nested-groups", 250000, 0.1f,
     [](std::size_t n) {
         return "<g fill=\"#ff0000\">" + repeat("<g>", n) + "<rect width=\"1\" height=\"1\"/>" +
                repeat("</g>", n + 1);
     }},
    {"attributes", 100000, 0.1f,
     [](std::size_t n) { return "<rect width=\"2\" height=\"3\"" + repeat(" a=\"1\"", n) + "/>"; }},
    {"long-value", 1000000, 0.1f,
     [](std::size_t n) { return "<rect fill=\"#" + repeat("0", n) + "f\" width=\"1\" height=\"1\"/>"; }},
    {"long-declaration", 1000000, 0.1f,
     [](std::size_t n) {
         return "<rect style=\"stroke-width:" + repeat("1", n) + ";fill:#f00\" width=\"1\" height=\"1\"/>";
     }},
    {"transform-keywords", 100000, 0.1f,
     [](std::size_t n) {
         return "<rect transform=\"" + repeat("scale translate(1 ", n) + "\" width=\"1\" height=\"1\"/>";
     }},
    {"long-token", 1000000, 0.1f,
     [](std::size_t n) { return "<path d=\"M 0 0 L ." + repeat("1", n) + " 5\"/>"; }},
    {"numbers", 100000, 0.1f,
     [](std::size_t n) {
         return "<path d=\"M 0 0 L" + repeat(" 1e39 1e400 - + " + std::string(64, '0') + "1", n) + "\"/>";
     }},
    {"curves", 250000, 0.001f,
     [](std::size_t n) { return "<path d=\"M0 0 c" + repeat(" 0.01 0.01 0.02 -0.01 0.03 0", n) + "\"/>"; }},
    {"huge-circles", 4, 0.001f,
     [](std::size_t n) { return repeat("<circle r=\"1e30\"/>", n); }},
    {"subpaths", 100000, 0.1f, [](std::size_t n) { return "<path d=\"" + repeat("M 1 2 ", n) + "\"/>"; }},
    {"nul-bytes", 1000000, 0.1f,
     [](std::size_t n) { return "<rect width=\"1\" height=\"1\"/>" + std::string(n, '\0'); }},
    {"utf16", 100000, 0.1f,
     [](std::size_t n) {
         std::string wide = "\xFF\xFE";
         for (char c : repeat("<rect width=\"1\" height=\"1\"/>", n)) wide += std::string{c, '\0'};
         return wide;
     }},
};

struct Measurement {
    long long bytes;
    double seconds;
    long peakKilobytes;
    long long points;
    long long records;
};

// How each size is measured.
struct Settings {
    int rounds = 3;            // parses per size; the fastest counts
    bool readsColdText = false;
    bool keepsMemory = false;
};

// Writes the text's cache lines back to memory and drops them from every cache level, so that
// each size reads its text from memory: a small text just copied would otherwise be read from
// the caches and a large one not, which says nothing about how the reader grows.
void evictFromCaches(const std::string& text) {
    const char* begin = text.data();
    for (std::size_t at = 0; at < text.size(); at += 64) _mm_clflush(begin + at);
    _mm_clflush(begin + text.size());
    _mm_mfence();
}

long maxResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Parses the document `rounds` times and keeps the fastest; the peak is above the document's own.
Measurement measureInProcess(const HostileClass& hostile, std::size_t units,
                             const Settings& settings) {
    std::string document = hostile.build(units);
    std::string copy = document;
    long before = maxResidentKilobytes();
    Measurement m{static_cast<long long>(document.size()), 1e30, 0, 0, 0};
    for (int round = 0; round < settings.rounds; ++round) {
        copy = document;
        if (settings.readsColdText) evictFromCaches(copy);
        auto start = std::chrono::steady_clock::now();
        PathList list = parseSvgText(copy.data(), hostile.tolerance);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (seconds < m.seconds) m.seconds = seconds;
        m.points = m.records = 0;
        for (const PathRecord* r = list; r != nullptr; r = r->next) {
            m.points += r->pointCount;
            ++m.records;
        }
        freePathList(list);
    }
    m.peakKilobytes = maxResidentKilobytes() - before;
    return m;
}

bool measure(const HostileClass& hostile, std::size_t units, const Settings& settings,
             Measurement& out) {
    int channel[2];
    if (pipe(channel) != 0) return false;
    pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        close(channel[0]);
        if (settings.keepsMemory) {
            // Every block from the heap and none given back, so that the parses after the first
            // reuse their memory at every size: large blocks are otherwise mapped afresh each
            // time, which only the larger sizes pay.
            mallopt(M_MMAP_MAX, 0);
            mallopt(M_TRIM_THRESHOLD, INT_MAX);
        }
        Measurement m = measureInProcess(hostile, units, settings);
        ssize_t written = write(channel[1], &m, sizeof m);
        _exit(written == static_cast<ssize_t>(sizeof m) ? 0 : 1);
    }
    close(channel[1]);
    ssize_t got = read(channel[0], &out, sizeof out);
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return got == static_cast<ssize_t>(sizeof out) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool isClassName(const char* name) {
    for (const HostileClass& hostile : classes)
        if (std::strcmp(name, hostile.name) == 0) return true;
    return false;
}

int usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s [--smoke] [--class NAME] [--base F] [--cold] [--runs N] "
                 "[--keep-memory]\n",
                 program);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool smoke = false;
    const char* only = nullptr;
    double baseScale = 1.0;
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        long rounds = 0;
        if (std::strcmp(argv[i], "--smoke") == 0) {
            smoke = true;
        } else if (std::strcmp(argv[i], "--class") == 0 && hasValue) {
            only = argv[++i];
            if (!isClassName(only)) return usage(argv[0]);
        } else if (std::strcmp(argv[i], "--cold") == 0) {
            settings.readsColdText = true;
        } else if (std::strcmp(argv[i], "--keep-memory") == 0) {
            settings.keepsMemory = true;
        } else if (std::strcmp(argv[i], "--runs") == 0 && hasValue) {
            if (!readCount(argv[++i], &rounds) || rounds > 1000000) return usage(argv[0]);
            settings.rounds = static_cast<int>(rounds);
        } else if (std::strcmp(argv[i], "--base") == 0 && hasValue) {
            if (!readPositiveNumber(argv[++i], &baseScale)) return usage(argv[0]);
        } else {
            return usage(argv[0]);
        }
    }
    std::printf("%-19s %5s %12s %10s %10s %10s %9s %8s\n", "class", "scale", "bytes", "ms", "peak KB",
                "points", "records", "ms/1x");
    int failures = 0;
    for (const HostileClass& hostile : classes) {
        if (only != nullptr && std::strcmp(only, hostile.name) != 0) continue;
        std::size_t base = smoke ? (hostile.baseUnits + 99) / 100 : hostile.baseUnits;
        base = std::max<std::size_t>(1, static_cast<std::size_t>(static_cast<double>(base) * baseScale + 0.5));
        double firstSeconds = 0.0;
        for (std::size_t scale : {1u, 2u, 4u, 8u}) {
            Measurement m{};
            if (!measure(hostile, base * scale, settings, m)) {
                std::printf("%-19s %4zux  measurement failed\n", hostile.name, scale);
                ++failures;
                continue;
            }
            if (scale == 1) firstSeconds = m.seconds;
            std::printf("%-19s %4zux %12lld %10.3f %10ld %10lld %9lld %8.2f\n", hostile.name, scale,
                        m.bytes, m.seconds * 1e3, m.peakKilobytes, m.points,
                        m.records, firstSeconds > 0.0 ? m.seconds / firstSeconds : 0.0);
        }
    }
    return failures == 0 ? 0 : 1;
}
