// Command-line import: runs the real module under the stand-in host and writes OBJ + MTL.
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/obj_writer.h"
#include "host/stand_in_host.h"

namespace {

constexpr long minDetail = 1;
constexpr long maxDetail = 1000;
constexpr std::size_t longestName = hostapi::nameBufferLength - 1;

struct Options {
    std::string input;
    std::string output;
    std::string module = POLYIN_DEFAULT_MODULE;
    long detail = 10;
    bool dump = false;
};

void printUsage(std::FILE* to) {
    std::fprintf(to,
                 "usage: polyin_import FILE.svg [--detail N] [-o OUT.obj] [--dump] [--module PATH]\n"
                 "  --detail N     Bezier Detail, 1..1000 (default 10): curves within 1/N units\n"
                 "  -o OUT.obj     output file; the .mtl goes beside it (default %s/<name>.obj)\n"
                 "  --dump         print the host scene as canonical text instead of a summary\n"
                 "  --module PATH  the plug-in module to load (default %s)\n",
                 POLYIN_DEFAULT_OUTPUT_DIR, POLYIN_DEFAULT_MODULE);
}

bool fail(const std::string& message) {
    std::fprintf(stderr, "polyin_import: %s\n", message.c_str());
    return false;
}

// Reports a failed import; the exit status of the tool.
int importFailed(const std::string& message) {
    fail(message);
    return 1;
}

bool parseDetail(const char* text, long& detail) {
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < minDetail || value > maxDetail)
        return fail(std::string("--detail takes a whole number from 1 to 1000, not \"") + text + "\"");
    detail = value;
    return true;
}

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "-h" || arg == "--help") {
            printUsage(stdout);
            std::exit(0);
        } else if (arg == "--dump") {
            options.dump = true;
        } else if (arg == "--detail" || arg == "-o" || arg == "--module") {
            if (!hasValue) return fail(arg + " needs a value");
            const char* value = argv[++i];
            if (arg == "--detail" && !parseDetail(value, options.detail)) return false;
            if (arg == "-o") options.output = value;
            if (arg == "--module") options.module = value;
        } else if (!arg.empty() && arg[0] == '-') {
            return fail("unknown option " + arg + " (try --help)");
        } else if (options.input.empty()) {
            options.input = arg;
        } else {
            return fail("one input file only; also got " + arg);
        }
    }
    if (options.input.empty()) return fail("no input file (try --help)");
    return true;
}

std::string stemOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool makeDirectories(const std::string& filePath) {
    for (std::size_t at = filePath.find('/', 1); at != std::string::npos; at = filePath.find('/', at + 1)) {
        std::string directory = filePath.substr(0, at);
        if (mkdir(directory.c_str(), 0777) != 0 && errno != EEXIST)
            return fail("cannot create " + directory + ": " + std::strerror(errno));
    }
    return true;
}

// The name the file request hands over: the full path, as the host's own dialog would.
bool fullNameOf(const std::string& input, std::string& fullName) {
    std::FILE* probe = std::fopen(input.c_str(), "rb");
    if (probe == nullptr) return fail("cannot read " + input + ": " + std::strerror(errno));
    std::fclose(probe);
    char resolved[PATH_MAX];
    if (realpath(input.c_str(), resolved) == nullptr)
        return fail("cannot resolve " + input + ": " + std::strerror(errno));
    fullName = resolved;
    if (fullName.size() > longestName)
        return fail("the full name of " + input + " is longer than the host's 519 characters");
    return true;
}

int runImport(const Options& options) {
    std::string fullName;
    if (!fullNameOf(options.input, fullName)) return 1;
    std::string error;
    std::unique_ptr<standin::LoadedModule> module = standin::LoadedModule::load(options.module, error);
    if (!module) return importFailed(error);

    standin::StandInHost host;
    host.script.file.fullName = fullName;
    host.script.panel.sliderValue = static_cast<std::int32_t>(options.detail);
    auto start = std::chrono::steady_clock::now();
    std::int32_t result = host.run(*module);
    double milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (result != 0) return importFailed("the command ended with result " + std::to_string(result));
    if (!module->unload()) return importFailed("the module could not be unloaded");

    std::string output = options.output;
    if (output.empty() && !options.dump)
        output = std::string(POLYIN_DEFAULT_OUTPUT_DIR) + "/" + stemOf(options.input) + ".obj";
    if (!output.empty()) {
        if (!makeDirectories(output)) return 1;
        if (!standin::writeObj(host.scene, output, error)) return importFailed(error);
    }
    if (options.dump) {
        std::fputs(standin::dumpScene(host.scene).c_str(), stdout);
        return 0;
    }
    std::printf("%s: %zu paths, %zu points, %zu polygons, %zu surfaces in %.1f ms (detail %ld)\n",
                options.input.c_str(), host.countCalls("createPolygon"), host.scene.points.size(),
                host.scene.polygons.size(), host.scene.surfaces.size(), milliseconds, options.detail);
    std::printf("wrote %s\n", output.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) return 2;
    return runImport(options);
}
