// Import speed against the machine's own floors: for each document, in one process and in
// rounds that take each measurement once, a memchr pass and a byte loop (the byte floor), every
// number converted with from_chars (the number floor), parseSvgText at two tolerances, and a
// whole activation through the stand-in host when it is built; then peak memory and growth
// from 1x to 8x copies. Speeds are medians over the rounds, ratios medians of each round's own.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/documents.h"
#include "bench/host_activation.h"
#include "svg/number.h"
#include "svg/parse_context.h"
#include "svg/text.h"

namespace {

struct Options {
    double scale = 1.0;
    int runs = 5;
    std::string icons = "/usr/share/icons";
    bool growth = true;
    std::string only;
    bool parseOnly = false;  // for profilers: nothing but parseSvgText, runs times
    bool activationOnly = false;  // for profilers: nothing but activations, runs times
    // The benchmark host of the activation columns; a counting one leaves the module's own time
    HostKeeps host = HostKeeps::scene;
    std::size_t iconLimit = SIZE_MAX;
    // Small documents get more rounds than asked, until their rounds span this long: a slow
    // spell of a shared machine then falls on a minority of them, as it does for large ones.
    double minimumSeconds = 2.0;
};

// The most rounds a small document gets.
constexpr int roundLimit = 1000;

// One benchmark input: a generated document or a set of real files measured as one.
struct DocumentSet {
    std::string name;
    std::vector<std::string> texts;
    std::vector<std::string> files;  // the same texts on disk, for the whole-file measurements
    std::size_t bytes = 0;
};

struct ParseCount {
    std::size_t records = 0;
    std::size_t points = 0;
};

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename Work>
double secondsOf(Work work) {
    double start = now();
    work();
    return now() - start;
}

template <typename Work>
double medianSeconds(int runs, Work work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) times.push_back(secondsOf(work));
    return median(times);
}

volatile std::size_t sink;  // keeps the floors' results alive

// The byte floor: one memchr pass for "<".
std::size_t countOpenings(const std::string& text) {
    std::size_t count = 0;
    const char* p = text.data();
    const char* end = p + text.size();
    while ((p = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)))) != nullptr) {
        ++count;
        ++p;
    }
    return count;
}

// The byte floor: one pass that looks at every byte.
std::size_t countBlanks(const std::string& text) {
    std::size_t count = 0;
    for (char c : text) count += isBlank(static_cast<unsigned char>(c)) ? 1u : 0u;
    return count;
}

// Finds every number of the text and converts it with read(p, end, &value), which returns the
// position after the number, or p when there is none there; the count and the sum of values.
template <typename Read>
std::size_t walkNumbers(const std::string& text, double* total, Read read) {
    std::size_t count = 0;
    double sum = 0.0;
    const char* p = text.c_str();  // NUL-terminated, for readers that stop there
    const char* end = p + text.size();
    while (p < end) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (!isNumberChar(c) || c == 'e' || c == 'E') {
            ++p;
            continue;
        }
        double value = 0.0;
        const char* next = read(p, end, &value);
        if (next == p) {
            ++p;
            continue;
        }
        sum += value;
        ++count;
        p = next;
    }
    *total = sum;
    return count;
}

// The number floor: every number converted with from_chars.
std::size_t convertAllNumbers(const std::string& text, double* total) {
    return walkNumbers(text, total, [](const char* p, const char* end, double* value) {
        const char* digits = *p == '+' ? p + 1 : p;
        auto result = std::from_chars(digits, end, *value);
        return result.ptr == digits ? p : result.ptr;
    });
}

// The same walk with the reader's own number token reader in place of from_chars: how far the
// number reading alone is from the floor, before the parse adds markup, paths and records.
std::size_t readAllNumbers(const std::string& text, double* total) {
    return walkNumbers(text, total, [](const char* p, const char*, double* value) {
        const FloatToken token = scanFloatToken(p);
        *value = static_cast<double>(token.value);
        return token.end;
    });
}

// All texts of a set, each NUL-terminated, in one arena that each run refreshes.
class TextArena {
public:
    explicit TextArena(const DocumentSet& set) {
        for (const std::string& text : set.texts) {
            offsets.push_back(pristine.size());
            pristine.insert(pristine.end(), text.begin(), text.end());
            pristine.push_back('\0');
        }
        working = pristine;
    }
    void refresh() { std::memcpy(working.data(), pristine.data(), pristine.size()); }
    std::size_t count() const { return offsets.size(); }
    char* text(std::size_t i) { return working.data() + offsets[i]; }

private:
    std::vector<char> pristine, working;
    std::vector<std::size_t> offsets;
};

ParseCount countList(PathList list) {
    ParseCount count;
    for (PathRecord* r = list; r != nullptr; r = r->next) {
        ++count.records;
        count.points += static_cast<std::size_t>(r->pointCount);
    }
    return count;
}

// The time of parseSvgText over a fresh copy of every text of the arena, and what it produced.
double parseOnce(TextArena& arena, float tolerance, ParseCount* produced) {
    arena.refresh();
    ParseCount total;
    // Parsing and freeing are timed; the count is the benchmark's own walk and is not.
    double elapsed = 0.0;
    for (std::size_t i = 0; i < arena.count(); ++i) {
        double start = now();
        PathList list = parseSvgText(arena.text(i), tolerance);
        double parsed = now();
        ParseCount one = countList(list);
        total.records += one.records;
        total.points += one.points;
        double counted = now();
        freePathList(list);
        elapsed += (parsed - start) + (now() - counted);
    }
    *produced = total;
    return elapsed;
}

// The median time of parseSvgText over fresh copies of the set, and what it produced.
double timeParse(const DocumentSet& set, float tolerance, int runs, ParseCount* produced) {
    TextArena arena(set);
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) times.push_back(parseOnce(arena, tolerance, produced));
    return median(times);
}

// Resident-set figures of this process from /proc, in bytes.
std::size_t statusBytes(const char* field) {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return 0;
    char line[256];
    std::size_t kib = 0;
    std::size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, field, length) == 0) kib = static_cast<std::size_t>(std::strtoull(line + length + 1, nullptr, 10));
    }
    std::fclose(status);
    return kib * 1024;
}

// In a fresh process: import the file once and print the peak memory it added and its points.
int probeMemory(const char* fileName, float tolerance) {
    bool throughHost = hasHostActivation();  // loads the module before the baseline
    std::size_t before = statusBytes("VmRSS");
    std::size_t points = 0;
    if (throughHost) {
        points = runHostActivation(fileName, static_cast<int>(1.0f / tolerance + 0.5f),
                                   HostKeeps::surfaces);
    } else {
        PathList list = parseSvgFile(fileName, tolerance);
        points = countList(list).points;
        freePathList(list);
    }
    std::size_t peak = statusBytes("VmHWM");
    std::printf("%zu %zu\n", peak > before ? peak - before : 0, points);
    return 0;
}

// Stops the benchmark when an import through a host did not hand over every point the parse
// made: the import failed or lost geometry, and its figures would be of other work.
void requireSamePoints(const char* host, const DocumentSet& set, std::size_t received,
                       std::size_t made) {
    if (received == made) return;
    std::fprintf(stderr, "%s: the %s received %zu points, the parse made %zu\n", set.name.c_str(),
                 host, received, made);
    std::exit(1);
}

// Runs this program again as "--probe-memory FILE TOLERANCE" and reads the peak and the points
// it prints. No shell stands between, so that any file name reaches the probe as it is.
bool runProbe(const char* self, const std::string& file, float tolerance, std::size_t* peak,
              std::size_t* points) {
    int ends[2];
    if (pipe(ends) != 0) return false;
    std::string toleranceText = std::to_string(tolerance);
    pid_t child = fork();
    if (child == 0) {
        dup2(ends[1], STDOUT_FILENO);
        close(ends[0]);
        close(ends[1]);
        const char* arguments[] = {self, "--probe-memory", file.c_str(), toleranceText.c_str(),
                                   nullptr};
        execv(self, const_cast<char* const*>(arguments));
        _exit(127);
    }
    close(ends[1]);
    FILE* figures = child > 0 ? fdopen(ends[0], "r") : nullptr;
    bool read = figures != nullptr && std::fscanf(figures, "%zu %zu", peak, points) == 2;
    if (figures != nullptr) std::fclose(figures);
    else close(ends[0]);
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0 && read;
}

// Peak memory added by importing each file of the set, each in a fresh process; the largest,
// and the most points one file gave. The probes' points must add up to what the parse of the
// set made: a file that failed to import would otherwise be measured as a light one.
std::size_t measurePeak(const DocumentSet& set, float tolerance, std::size_t made,
                        std::size_t* points) {
    std::size_t largest = 0, received = 0;
    *points = 0;
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return 0;
    self[length] = '\0';
    for (const std::string& file : set.files) {
        std::size_t peak = 0, count = 0;
        if (!runProbe(self, file, tolerance, &peak, &count)) {
            std::fprintf(stderr, "the memory probe of %s failed\n", file.c_str());
            std::exit(1);
        }
        largest = std::max(largest, peak);
        *points = std::max(*points, count);
        received += count;
    }
    requireSamePoints("memory probe", set, received, made);
    return largest;
}

// The time of walking every text of the set with one of the number walks above; the count of
// numbers it found.
template <typename Walk>
double timeNumberWalk(const DocumentSet& set, Walk walk, std::size_t* numbers) {
    return secondsOf([&] {
        std::size_t n = 0;
        double total = 0.0;
        for (const std::string& t : set.texts) {
            double one = 0.0;
            n += walk(t, &one);
            total += one;
        }
        *numbers = n;
        sink = static_cast<std::size_t>(total) + n;
    });
}

// The times of one round of every measurement of a set, taken one after another, so that a
// slow spell of the machine falls on the floor and the parse of the same round alike.
struct RoundTimes {
    double memchr, byteLoop, floor, reader, parse, fine, activation;
};

RoundTimes measureRound(const DocumentSet& set, TextArena& arena, HostKeeps host,
                        std::size_t* numbers, ParseCount* coarse, ParseCount* fine) {
    RoundTimes round{};
    round.memchr = secondsOf([&] {
        std::size_t n = 0;
        for (const std::string& t : set.texts) n += countOpenings(t);
        sink = n;
    });
    round.byteLoop = secondsOf([&] {
        std::size_t n = 0;
        for (const std::string& t : set.texts) n += countBlanks(t);
        sink = n;
    });
    round.floor = timeNumberWalk(set, convertAllNumbers, numbers);
    std::size_t readerNumbers = 0;
    round.reader = timeNumberWalk(set, readAllNumbers, &readerNumbers);
    round.parse = parseOnce(arena, 0.1f, coarse);
    round.fine = parseOnce(arena, 0.001f, fine);
    if (hasHostActivation()) {
        std::size_t received = 0;
        round.activation = secondsOf([&] {
            for (const std::string& file : set.files)
                received += runHostActivation(file.c_str(), 10, host);
        });
        requireSamePoints("benchmark host", set, received, coarse->points);
    }
    return round;
}

// The median of one field over the rounds, or of the ratio of two fields within each round.
double medianOf(const std::vector<RoundTimes>& rounds, double RoundTimes::*field) {
    std::vector<double> values;
    for (const RoundTimes& round : rounds) values.push_back(round.*field);
    return median(values);
}

double medianRatio(const std::vector<RoundTimes>& rounds, double RoundTimes::*numerator,
                   double RoundTimes::*denominator) {
    std::vector<double> values;
    for (const RoundTimes& round : rounds) values.push_back(round.*numerator / round.*denominator);
    return median(values);
}

double megabytes(std::size_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

void printHeader() {
    std::printf(
        "| document | MB | memchr MB/s | byte loop MB/s | from_chars MB/s | Mnum/s | "
        "reader numbers MB/s | parse 0.1 MB/s | Mpts/s | parse/floor | parse 0.001 MB/s | Mpts/s | "
        "activation MB/s | activation/parse | stand-in host MB/s | peak MiB | budget MiB |\n"
        "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
}

void measureSet(const DocumentSet& set, const Options& options) {
    int runs = options.runs;
    if (options.parseOnly) {
        ParseCount produced;
        double seconds = timeParse(set, 0.1f, runs, &produced);
        std::printf("| %s | parse only: %.0f MB/s, %.1f Mpts/s |\n", set.name.c_str(),
                    megabytes(set.bytes) / seconds, static_cast<double>(produced.points) / seconds / 1e6);
        return;
    }
    double mb = megabytes(set.bytes);
    if (options.activationOnly) {
        double seconds = medianSeconds(runs, [&] {
            for (const std::string& file : set.files)
                sink = runHostActivation(file.c_str(), 10, options.host);
        });
        std::printf("| %s | activation only: %.0f MB/s |\n", set.name.c_str(), mb / seconds);
        return;
    }
    std::size_t numbers = 0;
    ParseCount coarse, fine;
    TextArena arena(set);
    std::vector<RoundTimes> rounds;
    const double start = now();
    while (static_cast<int>(rounds.size()) < runs ||
           (now() - start < options.minimumSeconds && rounds.size() < roundLimit))
        rounds.push_back(measureRound(set, arena, options.host, &numbers, &coarse, &fine));
    double floorTime = medianOf(rounds, &RoundTimes::floor);
    double parseTime = medianOf(rounds, &RoundTimes::parse);
    double fineTime = medianOf(rounds, &RoundTimes::fine);
    std::string activation = "-", activationRatio = "-", standIn = "-";
    if (hasHostActivation()) {
        char cell[64];
        std::snprintf(cell, sizeof cell, "%.0f", mb / medianOf(rounds, &RoundTimes::activation));
        activation = cell;
        std::snprintf(cell, sizeof cell, "%.2f",
                      medianRatio(rounds, &RoundTimes::activation, &RoundTimes::parse));
        activationRatio = cell;
        std::size_t received = 0;
        double standInTime = secondsOf([&] {
            for (const std::string& file : set.files) received += runStandInActivation(file.c_str(), 10);
        });
        requireSamePoints("stand-in host", set, received, coarse.points);
        std::snprintf(cell, sizeof cell, "%.0f", mb / standInTime);
        standIn = cell;
    }
    std::size_t peakPoints = 0;
    std::size_t peak = measurePeak(set, 0.1f, coarse.points, &peakPoints);
    std::size_t largestFile = 0;
    for (const std::string& t : set.texts) largestFile = std::max(largestFile, t.size());
    double budget = megabytes(largestFile + 16 * peakPoints) + 16.0;
    std::printf("| %s | %.1f | %.0f | %.0f | %.0f | %.1f | %.0f | %.0f | %.1f | %.2f | %.0f | %.1f | %s | %s | %s | %.1f | %.1f |\n",
                set.name.c_str(), mb, mb / medianOf(rounds, &RoundTimes::memchr),
                mb / medianOf(rounds, &RoundTimes::byteLoop), mb / floorTime,
                static_cast<double>(numbers) / floorTime / 1e6,
                mb / medianOf(rounds, &RoundTimes::reader), mb / parseTime,
                static_cast<double>(coarse.points) / parseTime / 1e6,
                medianRatio(rounds, &RoundTimes::floor, &RoundTimes::parse),
                mb / fineTime, static_cast<double>(fine.points) / fineTime / 1e6,
                activation.c_str(), activationRatio.c_str(), standIn.c_str(), megabytes(peak), budget);
    std::fflush(stdout);
}

// Writes a document for the imports to read; a document not written whole (a full disk, a
// file size limit) stops the benchmark rather than giving figures of a shorter one.
void writeFile(const std::string& fileName, const std::string& text) {
    FILE* out = std::fopen(fileName.c_str(), "wb");
    bool written = out != nullptr && std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (out != nullptr && std::fclose(out) != 0) written = false;
    if (written) return;
    std::fprintf(stderr, "cannot write %s\n", fileName.c_str());
    std::exit(1);
}

DocumentSet generatedSet(const DocumentRecipe& recipe, double scale, int copies,
                         const std::string& directory) {
    DocumentSet set;
    set.name = recipe.name;
    auto size = static_cast<std::size_t>(static_cast<double>(recipe.defaultSize) * scale);
    std::string text = generateDocument(recipe.kind, std::max<std::size_t>(size, 1));
    if (copies > 1) {
        text = repeatContent(text, copies);
        set.name += " x" + std::to_string(copies);
    }
    std::string file = directory + "/" + recipe.name + "_" + std::to_string(copies) + ".svg";
    writeFile(file, text);
    set.bytes = text.size();
    set.texts.push_back(std::move(text));
    set.files.push_back(file);
    return set;
}

// Time per MB and memory per MB of 8 copies against 1 copy of each generated document.
void measureGrowth(const Options& options, const std::string& directory) {
    // What an import costs whatever the document: measured on an empty one and left out.
    DocumentSet empty;
    empty.name = "empty";
    empty.files.push_back(directory + "/empty.svg");
    writeFile(empty.files[0], "<svg></svg>\n");
    std::size_t unusedPoints = 0;
    std::size_t fixedPeak = measurePeak(empty, 0.1f, 0, &unusedPoints);
    std::remove(empty.files[0].c_str());
    std::printf("\nfixed cost of an import (empty document): %.1f MiB, left out of peak/MB\n",
                megabytes(fixedPeak));
    std::printf("\n| document | 1x ms/MB | 8x ms/MB | time growth | 1x peak/MB | 8x peak/MB | memory growth |\n"
                "|---|---|---|---|---|---|---|\n");
    for (const DocumentRecipe& recipe : documentRecipes) {
        if (!options.only.empty() && options.only != recipe.name) continue;
        const DocumentSet sets[2] = {generatedSet(recipe, options.scale, 1, directory),
                                     generatedSet(recipe, options.scale, 8, directory)};
        TextArena small(sets[0]), large(sets[1]);
        double memoryPerMb[2];
        for (int i = 0; i < 2; ++i) {
            ParseCount made;
            parseOnce(i == 0 ? small : large, 0.1f, &made);
            std::size_t points = 0;
            std::size_t peak = measurePeak(sets[i], 0.1f, made.points, &points);
            memoryPerMb[i] = megabytes(peak > fixedPeak ? peak - fixedPeak : 0) / megabytes(sets[i].bytes);
            std::remove(sets[i].files[0].c_str());
        }
        // The two sizes parsed in turn, so that each round compares them in the same spell of
        // the machine; the order swaps from round to round, so that neither size always
        // follows the other's heap.
        std::vector<double> smallPerMb, largePerMb, growth;
        for (int run = 0; run < options.runs; ++run) {
            ParseCount produced;
            double perMb[2];
            for (int turn = 0; turn < 2; ++turn) {
                int i = (run + turn) % 2;
                perMb[i] = parseOnce(i == 0 ? small : large, 0.1f, &produced) * 1000.0 /
                           megabytes(sets[i].bytes);
            }
            smallPerMb.push_back(perMb[0]);
            largePerMb.push_back(perMb[1]);
            growth.push_back(perMb[1] / perMb[0]);
        }
        std::printf("| %s | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f |\n", recipe.name,
                    median(smallPerMb), median(largePerMb), median(growth), memoryPerMb[0],
                    memoryPerMb[1], memoryPerMb[1] / memoryPerMb[0]);
        std::fflush(stdout);
    }
}

// A name --only can take: a generated document's or the icon set's.
bool isDocumentName(const std::string& name) {
    if (name == "icons") return true;
    for (const DocumentRecipe& recipe : documentRecipes)
        if (name == recipe.name) return true;
    return false;
}

int usage() {
    std::fprintf(stderr,
                 "usage: polyin_import_bench [--scale F] [--runs N] [--icons DIR|none] "
                 "[--no-growth] [--only NAME] [--smoke] [--parse-only] [--activation-only] "
                 "[--counting-host]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--probe-memory") == 0) {
        return probeMemory(argv[2], std::strtof(argv[3], nullptr));
    }
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        long runs = 0;
        if (arg == "--scale" && hasValue) {
            if (!readPositiveNumber(argv[++i], &options.scale)) return usage();
        } else if (arg == "--runs" && hasValue) {
            if (!readCount(argv[++i], &runs) || runs > 1000000) return usage();
            options.runs = static_cast<int>(runs);
        } else if (arg == "--icons" && hasValue) {
            options.icons = argv[++i];
        } else if (arg == "--only" && hasValue) {
            options.only = argv[++i];
            if (!isDocumentName(options.only)) return usage();
        } else if (arg == "--activation-only") {
            options.activationOnly = true;
            options.growth = false;
        } else if (arg == "--parse-only") {
            options.parseOnly = true;
            options.growth = false;
        } else if (arg == "--counting-host") {
            options.host = HostKeeps::counts;
        } else if (arg == "--no-growth") {
            options.growth = false;
        } else if (arg == "--smoke") {
            options.scale = 0.005;
            options.runs = 1;
            options.iconLimit = 100;
            options.minimumSeconds = 0.0;
        } else {
            return usage();
        }
    }
    char directory[] = "/tmp/polyin_bench_XXXXXX";
    if (mkdtemp(directory) == nullptr) return 1;
    const char* activation = "no stand-in host";
    if (hasHostActivation())
        activation = options.host == HostKeeps::counts ? "activation through a counting host"
                                                       : "activation through the benchmark host";
    std::printf("module: %zu-bit, scale %.3f, median of %d runs (more for documents whose "
                "rounds take less than %.1f s), %s\n",
                sizeof(void*) * 8, options.scale, options.runs, options.minimumSeconds, activation);
    printHeader();
    for (const DocumentRecipe& recipe : documentRecipes) {
        if (!options.only.empty() && options.only != recipe.name) continue;
        DocumentSet set = generatedSet(recipe, options.scale, 1, directory);
        measureSet(set, options);
        std::remove(set.files[0].c_str());
    }
    if (options.icons != "none" && (options.only.empty() || options.only == "icons")) {
        DocumentSet icons;
        icons.name = "icons";
        for (const std::string& file : findSvgFiles(options.icons)) {
            if (icons.texts.size() == options.iconLimit) break;
            std::string text;
            if (!readWholeFile(file, &text)) continue;
            icons.bytes += text.size();
            icons.texts.push_back(std::move(text));
            icons.files.push_back(file);
        }
        icons.name += " (" + std::to_string(icons.texts.size()) + " files)";
        if (!icons.texts.empty()) measureSet(icons, options);
    }
    if (options.growth) measureGrowth(options, directory);
    rmdir(directory);
    return 0;
}
