// Imports many files through one loaded module and prints each host scene as canonical text,
// or compares two such dumps. One process per architecture keeps a corpus run fast, also
// under valgrind, and the module is unloaded at the end so leak checkers see what it kept.
//   polyin_batch_import MODULE DETAIL LIST     LIST holds one file name a line
//   polyin_batch_import --compare DUMP DUMP    identical, except circle vertices in the last bit
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "host/stand_in_host.h"

namespace {

int importAll(const std::string& modulePath, int detail, const std::string& listPath) {
    std::ifstream list(listPath);
    if (!list) {
        std::fprintf(stderr, "polyin_batch_import: cannot read %s\n", listPath.c_str());
        return 2;
    }
    std::string error;
    std::unique_ptr<standin::LoadedModule> module = standin::LoadedModule::load(modulePath, error);
    if (!module) {
        std::fprintf(stderr, "polyin_batch_import: %s\n", error.c_str());
        return 2;
    }
    int failures = 0;
    std::size_t files = 0;
    for (std::string name; std::getline(list, name);) {
        if (name.empty()) continue;
        standin::StandInHost host;
        host.script.file.fullName = name;
        host.script.panel.sliderValue = detail;
        std::int32_t result = host.run(*module);
        bool complete = host.meshEditsBegun == 1 && host.meshEditsFinished == 1;
        if (result != 0 || !complete) ++failures;
        std::printf("file %s\nresult %d edits %d/%d\n%s", name.c_str(), result, host.meshEditsBegun,
                    host.meshEditsFinished, standin::dumpScene(host.scene).c_str());
        ++files;
    }
    if (!module->unload()) {
        std::fprintf(stderr, "polyin_batch_import: the module stayed loaded\n");
        ++failures;
    }
    std::fprintf(stderr, "polyin_batch_import: %zu files, %d failed\n", files, failures);
    return failures == 0 ? 0 : 1;
}

struct FileDump {
    std::string name;
    std::vector<std::string> lines;
};

std::vector<FileDump> readDump(const std::string& path) {
    std::vector<FileDump> dumps;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, 5, "file ") == 0) {
            dumps.push_back({line.substr(5), {}});
        } else if (!dumps.empty()) {
            dumps.back().lines.push_back(line);
        }
    }
    return dumps;
}

// Distance in float units in the last place between two host coordinates (floats widened).
std::int64_t floatUlps(double a, double b) {
    float fa = static_cast<float>(a), fb = static_cast<float>(b);
    std::int32_t ia, ib;
    std::memcpy(&ia, &fa, sizeof ia);
    std::memcpy(&ib, &fb, sizeof ib);
    if (ia < 0) ia = INT32_MIN - ia;
    if (ib < 0) ib = INT32_MIN - ib;
    return std::llabs(static_cast<std::int64_t>(ia) - ib);
}

// True when two point lines differ only by one unit in the last place per coordinate.
bool isLastBitApart(const std::string& a, const std::string& b) {
    double va[3], vb[3];
    if (std::sscanf(a.c_str(), "%la %la %la", &va[0], &va[1], &va[2]) != 3) return false;
    if (std::sscanf(b.c_str(), "%la %la %la", &vb[0], &vb[1], &vb[2]) != 3) return false;
    for (int i = 0; i < 3; ++i)
        if (floatUlps(va[i], vb[i]) > 1) return false;
    return true;
}

// Circle vertices come from single-precision sine and cosine, which may round differently in
// the two C libraries: only files that draw circles may differ, and only there.
int compareDumps(const std::string& pathA, const std::string& pathB) {
    std::vector<FileDump> a = readDump(pathA), b = readDump(pathB);
    if (a.size() != b.size() || a.empty()) {
        std::fprintf(stderr, "compare: %zu files against %zu\n", a.size(), b.size());
        return 1;
    }
    int different = 0, lastBitFiles = 0;
    long lastBitPoints = 0;
    for (std::size_t f = 0; f < a.size(); ++f) {
        const FileDump& x = a[f];
        const FileDump& y = b[f];
        if (x.name == y.name && x.lines == y.lines) continue;
        bool hasCircles = x.name.find("circle") != std::string::npos;
        bool allowed = x.name == y.name && x.lines.size() == y.lines.size() && hasCircles;
        long apart = 0;
        for (std::size_t i = 0; allowed && i < x.lines.size(); ++i) {
            if (x.lines[i] == y.lines[i]) continue;
            allowed = isLastBitApart(x.lines[i], y.lines[i]);
            ++apart;
        }
        if (allowed) {
            ++lastBitFiles;
            lastBitPoints += apart;
            continue;
        }
        ++different;
        std::fprintf(stderr, "compare: %s differs\n", x.name.c_str());
    }
    std::printf("compared %zu files: %d differ, %d circle files with %ld vertices a last bit apart\n",
                a.size(), different, lastBitFiles, lastBitPoints);
    return different == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--compare") == 0) return compareDumps(argv[2], argv[3]);
    if (argc == 4) return importAll(argv[1], std::atoi(argv[2]), argv[3]);
    std::fprintf(stderr, "usage: polyin_batch_import MODULE DETAIL LIST | --compare DUMP DUMP\n");
    return 2;
}
