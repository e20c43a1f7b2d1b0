// The module's one exported record: what the host reads to start the module and find its command.
#include "plugin/activate.h"
#include "plugin/host_api.h"

namespace {

// The token tells the host the module is ready; it is never read through.
POLYIN_HOST_ENTRY void* moduleStartup() noexcept {
    return reinterpret_cast<void*>(std::uintptr_t{4});
}

// Nothing to release: runs keep no host resources between them.
POLYIN_HOST_ENTRY void moduleShutdown(void*) noexcept {}

const ServerEntry serverList[] = {
    {"CommandSequence", "kelto_outlines", activateImport, nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

extern "C" {
POLYIN_EXPORT extern const PluginDescriptor _mod_descrip;
const PluginDescriptor _mod_descrip = {hostapi::syncMagic, hostapi::interfaceVersion,
                                       hostapi::machineWord, moduleStartup, moduleShutdown,
                                       serverList};
}
