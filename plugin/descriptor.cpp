// Placeholder export until the host command lands: the record the host looks for.
#include <cstdint>

#define POLYIN_EXPORT __attribute__((visibility("default")))

extern "C" {
struct PlaceholderDescriptor {
    std::uint32_t syncMagic;
    std::uint32_t interfaceVersion;
    std::uint32_t machineWord;
};
POLYIN_EXPORT extern const PlaceholderDescriptor _mod_descrip;
const PlaceholderDescriptor _mod_descrip = {0x04121994u, 3u, 0x300u};
}
