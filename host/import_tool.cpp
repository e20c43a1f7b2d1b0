// Command-line import: runs the real module under the stand-in host for each input file and
// writes OBJ + MTL; on request also a pre-flight report, a preview, a comparison with an SVG
// renderer and the imported polygons as SVG.
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "host/batch.h"
#include "host/import_run.h"
#include "host/obj_writer.h"
#include "host/preview.h"
#include "host/report.h"
#include "host/svg_writer.h"

namespace {

constexpr long minDetail = 1;
constexpr long maxDetail = 1000;
constexpr long minSize = 16;
constexpr long maxSize = 16384;
constexpr int exitFailed = 1;
constexpr int exitUsage = 2;
constexpr int exitPassedOver = 3;

struct Options {
    std::vector<std::string> inputs;
    std::string output;
    std::string module = POLYIN_DEFAULT_MODULE;
    std::string detailText;
    long detail = 10;
    bool dump = false;
    bool report = false;
    bool strict = false;
    std::string preview;
    std::string compare;
    std::string svg;
    std::string sizeText;
    long size = defaultPreviewSize;
};

// One message on stderr; false, for the caller to pass on.
bool fail(const std::string& message) {
    std::fprintf(stderr, "polyin_import: %s\n", message.c_str());
    return false;
}

// Reports a failed import; the exit status of the tool.
int importFailed(const std::string& message) {
    fail(message);
    return exitFailed;
}

// A whole number within [low, high]; the message names the option.
bool parseWhole(const std::string& text, const char* option, long low, long high, long& value) {
    char* end = nullptr;
    errno = 0;
    long parsed = std::strtol(text.c_str(), &end, 10);
    // digits as written: strtol would also pass over leading blanks and a "+"
    const char first = text.empty() ? '\0' : text[0];
    const bool digitsFirst = std::isdigit(static_cast<unsigned char>(first)) != 0 || first == '-';
    if (!digitsFirst || errno != 0 || end == text.c_str() || *end != '\0' || parsed < low ||
        parsed > high)
        return fail(std::string(option) + " takes a whole number from " + std::to_string(low) +
                    " to " + std::to_string(high) + ", not \"" + text + "\"");
    value = parsed;
    return true;
}

// The first word of a parser message that names an option ("--detail: ...").
std::string optionNamed(const std::string& message) {
    std::size_t colon = message.find(':');
    return colon == std::string::npos ? message : message.substr(0, colon);
}

// Says what was wrong with the command line in the words the tool uses everywhere.
bool explainParseError(const CLI::ParseError& error) {
    std::string message = error.what();
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr)
        return fail(optionNamed(message) + " needs a value");
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        std::size_t colon = message.rfind(": ");
        std::string extra = colon == std::string::npos ? message : message.substr(colon + 2);
        return fail("unknown option " + extra + " (try --help)");
    }
    return fail(message + " (try --help)");
}

// A path given as a directory: it ends with "/" or names one that exists.
bool isDirectoryArgument(const std::string& path) {
    struct stat info {};
    return (!path.empty() && path.back() == '/') ||
           (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode));
}

// Where one output of input goes: the path given, or <stem><extension> in a directory given.
std::string outputPath(const std::string& given, const std::string& stem,
                       const std::string& extension) {
    if (given.empty()) return "";
    if (isDirectoryArgument(given)) return inDirectory(given, baseName(stem)) + extension;
    return given;
}

// Creates the directories a file will stand in; false with the reason in error.
bool makeDirectories(const std::string& filePath, std::string& error) {
    for (std::size_t at = filePath.find('/', 1); at != std::string::npos;
         at = filePath.find('/', at + 1)) {
        std::string directory = filePath.substr(0, at);
        if (mkdir(directory.c_str(), 0777) != 0 && errno != EEXIST) {
            error = "cannot create " + directory + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

// Where the symbolic links at the end of path lead, though the last target may not exist yet:
// writing through such a link creates that target.
std::filesystem::path linkTarget(std::filesystem::path path) {
    constexpr int hopLimit = 40;  // as the system's own limit on links in a row
    for (int hop = 0; hop < hopLimit; ++hop) {
        std::error_code failed;
        if (!std::filesystem::is_symlink(path, failed)) break;
        std::filesystem::path target = std::filesystem::read_symlink(path, failed);
        if (failed) break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

// A path as one spelling of where it leads, to tell outputs apart before any exists: the
// links among the directories that exist and at its end are followed, so that two names of
// one file match.
std::string normalPath(const std::string& path) {
    std::error_code failed;
    std::filesystem::path absolute = std::filesystem::absolute(linkTarget(path), failed);
    std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, failed);
    return (failed ? absolute : resolved).lexically_normal().string();
}

// A file that exists, as the device and inode that identify it under any name.
using FileIdentity = std::pair<dev_t, ino_t>;

bool identify(const std::string& path, FileIdentity& identity) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return false;
    identity = {info.st_dev, info.st_ino};
    return true;
}

// Pictures are asked for only where this build can draw them.
bool checkPictureSupport(const Options& options) {
#ifndef POLYIN_HAS_PREVIEW
    if (!options.preview.empty() || !options.compare.empty())
        return fail(
            "this build has no preview: it was built without cairo (an i386 build always is)");
#else
    if (!options.compare.empty() && !canCompare())
        return fail(
            "this build has no --compare: it was built without librsvg (an i386 build always is)");
#endif
    return true;
}

// With several inputs, every output option names a directory.
bool checkBatchOutputs(const Options& options) {
    if (options.inputs.size() < 2) return true;
    if (options.dump) return fail("--dump takes one input file");
    const std::pair<const char*, const std::string*> given[] = {
        {"-o", &options.output}, {"--preview", &options.preview},
        {"--compare", &options.compare}, {"--svg", &options.svg}};
    for (const auto& entry : given)
        if (!entry.second->empty() && !isDirectoryArgument(*entry.second))
            return fail(std::string("with several input files, ") + entry.first +
                        " takes a directory (DIR/)");
    return true;
}

// False when the tool should stop at once, with its exit status in exitCode.
bool parseOptions(int argc, char** argv, Options& options, int& exitCode) {
    CLI::App app{"Imports SVG files through the plug-in module under a stand-in host and "
                 "writes OBJ + MTL.", "polyin_import"};
    app.add_option("files", options.inputs, "SVG files to import")->type_name("FILE.svg");
    // an option given twice takes its last value, as in most tools
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("-o", options.output,
                   "OUT.obj for one file (the .mtl goes beside it), or a directory DIR/ "
                   "(default " POLYIN_DEFAULT_OUTPUT_DIR "/<name>.obj)")
        ->type_name("OUT");
    CLI::Option* detail = app.add_option("--detail", options.detailText,
                   "Bezier Detail, 1..1000 (default 10): curves within 1/N in their own units")
        ->type_name("N");
    app.add_option("--module", options.module,
                   "the plug-in module to load (default " POLYIN_DEFAULT_MODULE ")")
        ->type_name("PATH");
    app.add_flag("--dump", options.dump,
                 "print the host scene as canonical text instead of a summary (no OBJ without -o)");
    app.add_flag("--report", options.report,
                 "print what the import passes over or reads differently, and what arrived");
    app.add_flag("--strict", options.strict,
                 "exit with 3 when anything was passed over (a failed file gives 1 first)");
    app.add_option("--preview", options.preview, "a picture of what arrived (not in i386 builds)")
        ->type_name("OUT.png");
    app.add_option("--compare", options.compare,
                   "the SVG as a renderer shows it beside what arrived (not in i386 builds)")
        ->type_name("OUT.png");
    app.add_option("--svg", options.svg, "the imported polygons as plain SVG")->type_name("OUT.svg");
    CLI::Option* size = app.add_option("--size", options.sizeText,
                                       "long side of the preview in pixels (16..16384, default "
                                       "1024); each half of a comparison at most 16375")
        ->type_name("N");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        exitCode = app.exit(help);
        return false;
    } catch (const CLI::ParseError& error) {
        explainParseError(error);
        exitCode = exitUsage;
        return false;
    }
    exitCode = exitUsage;
    if (options.inputs.empty()) return fail("no input file (try --help)");
    if (detail->count() > 0 &&
        !parseWhole(options.detailText, "--detail", minDetail, maxDetail, options.detail))
        return false;
    if (size->count() > 0 && !parseWhole(options.sizeText, "--size", minSize, maxSize, options.size))
        return false;
    // an empty name would otherwise read as the option not given
    const std::pair<const char*, const std::string*> paths[] = {
        {"-o", &options.output}, {"--module", &options.module}, {"--preview", &options.preview},
        {"--compare", &options.compare}, {"--svg", &options.svg}};
    for (const auto& path : paths)
        if (app.get_option(path.first)->count() > 0 && path.second->empty())
            return fail(std::string(path.first) + " needs a file or directory name, not \"\"");
    return checkPictureSupport(options) && checkBatchOutputs(options);
}

class ImportTool {
public:
    explicit ImportTool(const Options& chosen) : options(chosen) {
        for (const std::string& input : options.inputs) {
            FileIdentity identity;
            if (identify(input, identity)) inputFiles.insert(identity);
        }
    }

    // Imports one file and writes all that was asked for under stem.
    FileOutcome importOne(const std::string& input, const std::string& stem) {
        FileOutcome outcome;
        const OutputPaths paths = outputsFor(stem);
        if (!claimOutputs(paths, outcome.error)) return outcome;
        // the text only for the pre-flight check; the module reads the file itself
        const bool checks = options.report || options.strict;
        std::string text;
        if (!(checks ? readDocument(input, text, outcome.error)
                     : checkDocumentFile(input, outcome.error)))
            return outcome;
        ModuleImport imported;
        if (!importThroughModule(input, options.module, options.detail, imported, outcome.error))
            return outcome;
        // the SVG, the pictures and the report's summary draw from a copy of the scene; the OBJ
        // and the dump need none, and a large import would hold its points twice
        const bool draws = !paths.svg.empty() || !paths.preview.empty() ||
                           !paths.compare.empty() || options.report;
        const DrawnScene drawn = draws ? sceneFromHost(imported.scene) : DrawnScene{};
        std::vector<std::string> written;
        const bool wrote = writeOutputs(input, paths, imported, drawn, written, outcome.error);
        noteWrittenFiles(paths);
        if (!wrote) return outcome;
        if (options.dump) std::fputs(standin::dumpScene(imported.scene).c_str(), stdout);
        if (options.report || options.strict) checkDocument(input, text, drawn);
        if (!isBatch() && !options.dump) printSummary(input, imported, written);
        outcome.ok = true;
        outcome.polygons = imported.scene.polygons.size();
        outcome.points = imported.scene.points.size();
        return outcome;
    }

    bool isBatch() const { return options.inputs.size() > 1; }
    std::size_t passedOver = 0;  // files in which something was passed over

private:
    const Options& options;
    std::set<FileIdentity> inputFiles;  // every input that exists, read now or later
    std::set<std::string> claimed;      // every output of the files before, as normalPath gives it
    std::set<FileIdentity> claimedFiles;  // those of them that exist, under any other name too

    // Where one file's outputs go; an empty name for each not asked for.
    struct OutputPaths {
        std::string obj, mtl, svg, preview, compare;

        std::array<const std::string*, 5> all() const {
            return {&obj, &mtl, &svg, &preview, &compare};
        }
    };

    OutputPaths outputsFor(const std::string& stem) const {
        OutputPaths paths;
        paths.obj = outputPath(options.output, stem, ".obj");
        if (options.output.empty() && (!options.dump || isBatch())) paths.obj = stem + ".obj";
        if (!paths.obj.empty()) paths.mtl = standin::materialLibraryPath(paths.obj);
        paths.svg = outputPath(options.svg, stem, ".svg");
#ifdef POLYIN_HAS_PREVIEW
        paths.preview = outputPath(options.preview, stem, ".png");
        paths.compare = outputPath(options.compare, stem, comparisonStemSuffix + ".png");
#endif
        return paths;
    }

    // Refuses outputs that would replace an input, one another or an earlier file's; the
    // rest are claimed for this file.
    bool claimOutputs(const OutputPaths& paths, std::string& error) {
        std::set<std::string> mine;
        std::set<FileIdentity> mineFiles;
        for (const std::string* path : paths.all()) {
            if (path->empty()) continue;
            // by name, and by file where it exists: a hard link is another name of one file
            FileIdentity identity;
            const bool exists = identify(*path, identity);
            if (exists && inputFiles.count(identity) > 0) {
                error = "will not write " + *path + " over an input file";
                return false;
            }
            const std::string normal = normalPath(*path);
            if (claimed.count(normal) > 0 || (exists && claimedFiles.count(identity) > 0)) {
                error = "will not write " + *path + " over an output of an earlier file";
                return false;
            }
            if (!mine.insert(normal).second || (exists && !mineFiles.insert(identity).second)) {
                error = "will not write " + *path + " twice: two outputs are one file";
                return false;
            }
        }
        claimed.insert(mine.begin(), mine.end());
        return true;
    }

    // The outputs that now exist, so that no later file writes over them under another name.
    void noteWrittenFiles(const OutputPaths& paths) {
        for (const std::string* path : paths.all()) {
            FileIdentity identity;
            if (!path->empty() && identify(*path, identity)) claimedFiles.insert(identity);
        }
    }

    // OBJ + MTL (unless only dumping), the SVG and the pictures; the names go to written.
    bool writeOutputs(const std::string& input, const OutputPaths& paths,
                      const ModuleImport& imported, const DrawnScene& drawn,
                      std::vector<std::string>& written, std::string& error) {
        if (!paths.obj.empty()) {
            if (!makeDirectories(paths.obj, error) ||
                !standin::writeObj(imported.scene, paths.obj, error))
                return false;
            written.push_back(paths.obj);
        }
        if (!paths.svg.empty()) {
            if (!makeDirectories(paths.svg, error) || !writeSceneSvgFile(paths.svg, drawn, error))
                return false;
            written.push_back(paths.svg);
        }
        return writePictures(input, paths, drawn, written, error);
    }

    // The preview and the comparison, where this build can draw them.
    bool writePictures(const std::string& input, const OutputPaths& paths, const DrawnScene& drawn,
                       std::vector<std::string>& written, std::string& error) {
#ifdef POLYIN_HAS_PREVIEW
        const int size = static_cast<int>(options.size);
        if (!paths.preview.empty()) {
            if (!makeDirectories(paths.preview, error) ||
                !writePreviewPng(paths.preview, drawn, size, error))
                return false;
            written.push_back(paths.preview);
        }
        if (!paths.compare.empty()) {
            if (!makeDirectories(paths.compare, error) ||
                !writeComparePng(paths.compare, input, drawn, size, error))
                return false;
            written.push_back(paths.compare +
                              " (left: the SVG as a renderer shows it, right: the import)");
        }
#else
        (void)input, (void)paths, (void)drawn, (void)written, (void)error;
#endif
        return true;
    }

    // The pre-flight check of one document, printed with --report.
    void checkDocument(const std::string& input, const std::string& text, const DrawnScene& drawn) {
        PreflightReport report = checkSvgText(text, toleranceForDetail(options.detail));
        if (!report.findings.empty()) passedOver += 1;
        if (!options.report) {
            if (!report.findings.empty())
                std::printf("%s: %zu constructs passed over or read differently (see --report)\n",
                            input.c_str(), report.findings.size());
            return;
        }
        std::printf("%s: pre-flight check (detail %ld)\n", input.c_str(), options.detail);
        writeFindings(std::cout, report);
        std::cout << "import:\n";
        writeSceneSummary(std::cout, report, drawn);
        std::cout.flush();
    }

    // The one-file summary line and the files written.
    void printSummary(const std::string& input, const ModuleImport& imported,
                      const std::vector<std::string>& written) {
        std::printf("%s: %zu paths, %zu points, %zu polygons, %zu surfaces in %.1f ms (detail %ld)\n",
                    input.c_str(), imported.paths, imported.scene.points.size(),
                    imported.scene.polygons.size(), imported.scene.surfaces.size(),
                    imported.milliseconds, options.detail);
        // an empty import is mostly a file in a form the reader passes over (text, UTF-16,
        // compressed); the report names it
        if (imported.scene.polygons.empty() && !options.report && !options.strict)
            std::printf("nothing arrived: --report says what the file holds that the import "
                        "passes over\n");
        for (const std::string& file : written) std::printf("wrote %s\n", file.c_str());
    }
};

// The stem of a single input's outputs: beside an explicit OUT.obj, else in the output directory.
std::string singleStem(const Options& options) {
    const std::string& input = options.inputs.front();
    if (options.output.empty()) return outputStemFor(input, POLYIN_DEFAULT_OUTPUT_DIR);
    if (isDirectoryArgument(options.output)) return outputStemFor(input, options.output);
    return outputStemFor(input, "");
}

// One file as before, or many through the batch runner; the exit status.
int runTool(const Options& options) {
    ImportTool tool(options);
    if (!tool.isBatch()) {
        FileOutcome outcome = tool.importOne(options.inputs.front(), singleStem(options));
        if (!outcome.ok) return importFailed(outcome.error);
        return options.strict && tool.passedOver > 0 ? exitPassedOver : 0;
    }
    std::string error;
    if (!standin::LoadedModule::load(options.module, error)) return importFailed(error);
    std::string directory = options.output.empty() ? POLYIN_DEFAULT_OUTPUT_DIR : options.output;
    FileImporter importOne = [&](const std::string& input, const std::string& stem) {
        return tool.importOne(input, stem);
    };
    BatchTotals totals = runBatch(options.inputs, directory, importOne, std::cout,
                                  options.compare.empty() ? "" : comparisonStemSuffix);
    if (options.strict || options.report)
        std::printf("%zu of %zu files have constructs the import passes over\n", tool.passedOver,
                    totals.files);
    if (totals.failed > 0) return exitFailed;
    return options.strict && tool.passedOver > 0 ? exitPassedOver : 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    int exitCode = 0;
    if (!parseOptions(argc, argv, options, exitCode)) return exitCode;
    exitCode = runTool(options);
    // a dump or report lost on the way out (a full disk) must not pass for one written
    std::cout.flush();
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0 || !std::cout)
        return importFailed("cannot write the standard output");
    return exitCode;
}
