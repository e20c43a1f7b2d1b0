#include "bench/host_activation.h"

#ifdef POLYIN_BENCH_MODULE_PATH

#include <climits>
#include <cstdlib>
#include <memory>
#include <string>

#include "host/stand_in_host.h"

namespace {

// The module stays loaded for the whole benchmark, as it would in the host.
standin::LoadedModule* loadedModule() {
    static std::unique_ptr<standin::LoadedModule> module = [] {
        std::string error;
        return standin::LoadedModule::load(POLYIN_BENCH_MODULE_PATH, error);
    }();
    return module.get();
}

}  // namespace

bool hasHostActivation() { return loadedModule() != nullptr; }

std::size_t runHostActivation(const char* fileName, int detail) {
    standin::LoadedModule* module = loadedModule();
    if (module == nullptr) return 0;
    char fullName[PATH_MAX];
    if (realpath(fileName, fullName) == nullptr) return 0;
    standin::StandInHost host;
    host.script.file.fullName = fullName;
    host.script.panel.sliderValue = detail;
    if (host.run(*module) != 0) return 0;
    return host.scene.points.size();
}

#else

bool hasHostActivation() { return false; }

std::size_t runHostActivation(const char*, int) { return 0; }

#endif
