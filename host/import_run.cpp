#include "host/import_run.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr std::size_t longestName = hostapi::nameBufferLength - 1;

// The name the file request hands over: the full path, as the host's own dialog would.
bool fullNameOf(const std::string& input, std::string& fullName, std::string& error) {
    std::FILE* probe = std::fopen(input.c_str(), "rb");
    if (probe == nullptr) {
        error = "cannot read " + input + ": " + std::strerror(errno);
        return false;
    }
    std::fclose(probe);
    char resolved[PATH_MAX];
    if (realpath(input.c_str(), resolved) == nullptr) {
        error = "cannot resolve " + input + ": " + std::strerror(errno);
        return false;
    }
    fullName = resolved;
    if (fullName.size() > longestName) {
        error = "the full name of " + input + " is longer than the host's 519 characters";
        return false;
    }
    return true;
}

}  // namespace

float toleranceForDetail(long detail) {
    if (detail == 0) return 1.0f;
    return static_cast<float>(1.0 / static_cast<double>(static_cast<float>(detail)));
}

bool importThroughModule(const std::string& input, const std::string& modulePath, long detail,
                         ModuleImport& result, std::string& error) {
    std::string fullName;
    if (!fullNameOf(input, fullName, error)) return false;
    std::unique_ptr<standin::LoadedModule> module = standin::LoadedModule::load(modulePath, error);
    if (!module) return false;
    standin::StandInHost host;
    host.script.file.fullName = fullName;
    host.script.panel.sliderValue = static_cast<std::int32_t>(detail);
    host.logsEachElement = false;  // the tool writes the scene; nobody reads a log of its points
    auto start = std::chrono::steady_clock::now();
    std::int32_t status = host.run(*module);
    result.milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (status != 0) {
        error = "the command ended with result " + std::to_string(status);
        return false;
    }
    if (!module->unload()) {
        error = "the module could not be unloaded";
        return false;
    }
    result.paths = host.scene.polygons.size();  // one polygon per createPolygon call
    result.scene = std::move(host.scene);
    return true;
}
