// A module the stand-in host has to refuse, built once per flaw: a descriptor for another
// machine word, no command server of the import's name, a startup that fails. Built without
// a flaw and linked so that it stays loaded, it is a module that cannot be unloaded.
#include <cstdint>

#include "plugin/host_api.h"

namespace {

std::int32_t activate(std::int32_t, ServiceLookup, CommandContext*, void*) { return 0; }

void* startup() {
#ifdef POLYIN_FLAW_STARTUP
    return nullptr;
#else
    return reinterpret_cast<void*>(std::uintptr_t{4});
#endif
}

void shutdown(void*) {}

#ifdef POLYIN_FLAW_CLASS
constexpr const char* serverClass = "ImageFilter";
#else
constexpr const char* serverClass = "CommandSequence";
#endif

#ifdef POLYIN_FLAW_WORD
constexpr std::uint32_t machineWord = 0x200u;
#else
constexpr std::uint32_t machineWord = hostapi::machineWord;
#endif

const ServerEntry servers[] = {
    {serverClass, "kelto_outlines", activate, nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

extern "C" {
POLYIN_EXPORT extern const PluginDescriptor _mod_descrip;
const PluginDescriptor _mod_descrip = {hostapi::syncMagic, hostapi::interfaceVersion, machineWord,
                                       startup, shutdown, servers};
}
