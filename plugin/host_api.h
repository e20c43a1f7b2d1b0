// The records the host and the module exchange: the module descriptor, the host's services and
// the values passed through them. Every record is an array of pointer-sized entries numbered
// from 0; entries we never use are kept as reservedN so that the used ones sit at their index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#define POLYIN_EXPORT __attribute__((visibility("default")))

// Functions the host calls. An i386 host may enter them with the stack aligned to 4 bytes only,
// as the older calling convention promised, where the module's SSE code keeps 16-byte aligned
// locals: these functions realign the stack on entry.
#if defined(__i386__)
#define POLYIN_HOST_ENTRY __attribute__((force_align_arg_pointer))
#else
#define POLYIN_HOST_ENTRY
#endif

extern "C" {

// An entry of a host table that this module never calls.
using UnusedEntry = void (*)();

struct ServerEntry;

// The module's one exported record; static, read by the host after loading.
struct PluginDescriptor {
    std::uint32_t syncMagic;
    std::uint32_t interfaceVersion;
    std::uint32_t machineWord;
    void* (*moduleStartup)();             // returns the token: non-null, never an address
    void (*moduleShutdown)(void* token);  // called with the token before unloading
    const ServerEntry* serverList;        // ended by an all-null entry
};

// Host-owned; valid for the duration of one activation. Returns the service for a name, or null.
using ServiceLookup = void* (*)(const char* serviceName, void* reserved);

struct CommandContext;

// Runs the command once; the context is host-owned for the call, the last argument is not read.
using ActivationEntry = std::int32_t (*)(std::int32_t version, ServiceLookup lookup,
                                         CommandContext* context, void* unused);

// One server of the module; static, owned by the module.
struct ServerEntry {
    const char* serverClass;
    const char* serverName;
    ActivationEntry activationEntry;
    void* serverExtras;
};

// A control's value; owned by whoever passes it, only read or written during the call.
struct ControlValue {
    std::int32_t typeCode;  // 2: one integer in intValue
    std::int32_t intValue;
    unsigned char reserved[32];
};

// The control's four settings; owned by the caller, read by the host during the call.
struct ControlDescriptor {
    std::int32_t values[4];
};

// A control inside a panel; host-owned, lives until its panel is destroyed.
struct PanelControl {
    UnusedEntry reserved0;
    void (*getControlValue)(PanelControl* control, std::int32_t channel, ControlValue* value);
    void (*setControlValue)(PanelControl* control, std::int32_t channel, ControlValue* value);
};

// Host-owned opaque panel; lives from createPanel to destroyPanel.
using PanelHandle = void*;

// The panel service; host-owned, valid while the host runs the activation.
struct PanelService {
    PanelHandle (*createPanel)(const char* title, void* reserved);  // null on failure
    void (*destroyPanel)(PanelHandle panel);
    std::int32_t (*openPanel)(PanelHandle panel, std::int32_t flags);  // 0: cancelled
    UnusedEntry reserved3[5];
    PanelControl* (*addPanelControl)(PanelHandle panel, const char* typeName,
                                     ControlDescriptor* descriptor, const char* label);
};

// The file request record; owned by the caller, its buffers lent to the host during the call.
struct FileRequest {
    std::int32_t requestType;
    std::int32_t outcome;  // written by the host; negative when the request failed
    const char* caption;
    const char* typeFilter;
    char* nameBufferA;
    char* nameBufferB;
    char* fullNameBuffer;  // the chosen file, NUL-terminated, within bufferLength bytes
    std::int32_t bufferLength;
    void (*pickCallback)();
};

// The "File Request 2" service is this function itself; the result is the call result.
using RequestFile = std::int32_t (*)(std::int32_t kind, FileRequest* request);

// Host-owned point identifier, meaningful inside one mesh edit; null means no point.
using PointId = void*;

// One open mesh edit; host-owned, valid from beginMeshEdit until finishEdit returns.
struct MeshEditOps {
    void* editState;  // opaque; first argument of each operation
    UnusedEntry reserved1;
    void (*finishEdit)(void* state, void* reserved, void* more);
    UnusedEntry reserved3[7];
    PointId (*createPoint)(void* state, const double* position);  // three doubles
    UnusedEntry reserved11[13];
    void* (*createPolygon)(void* state, std::intptr_t polygonType, const void* reserved,
                           const char* surfaceName, std::int32_t count, const PointId* points);
};

// The command's context; host-owned, valid for one activation.
struct CommandContext {
    UnusedEntry reserved0[4];
    MeshEditOps* (*beginMeshEdit)(void* reserved, void* more, void* other);
};

// Host-owned opaque surface; lives in the host's scene.
using SurfaceHandle = void*;

// The surface service; host-owned, valid while the host runs the activation.
struct SurfaceService {
    UnusedEntry reserved0;
    SurfaceHandle (*firstSurface)();
    SurfaceHandle (*nextSurface)(SurfaceHandle surface);
    UnusedEntry reserved3[2];
    const char* (*surfaceName)(SurfaceHandle surface);  // host-owned text; copy it to keep it
    UnusedEntry reserved6[19];
    // "Transparency" takes one double, "BaseColor" three; read during the call.
    void (*setSurfaceChannel)(SurfaceHandle surface, const char* channel, const double* values);
};

}  // extern "C"

namespace hostapi {

constexpr std::size_t entry(std::size_t index) { return index * sizeof(void*); }

constexpr std::uint32_t syncMagic = 0x04121994u;
constexpr std::uint32_t interfaceVersion = 3u;
constexpr std::uint32_t machineWord = 0x300u;
constexpr std::int32_t nameBufferLength = 520;
constexpr std::int32_t integerControl = 2;

}  // namespace hostapi

static_assert(std::is_standard_layout_v<PluginDescriptor>);
static_assert(offsetof(PluginDescriptor, syncMagic) == 0);
static_assert(offsetof(PluginDescriptor, interfaceVersion) == 4);
static_assert(offsetof(PluginDescriptor, machineWord) == 8);
static_assert(offsetof(PluginDescriptor, moduleStartup) == (sizeof(void*) == 8 ? 16 : 12));
static_assert(offsetof(PluginDescriptor, moduleShutdown) ==
              offsetof(PluginDescriptor, moduleStartup) + sizeof(void*));
static_assert(offsetof(PluginDescriptor, serverList) ==
              offsetof(PluginDescriptor, moduleStartup) + 2 * sizeof(void*));

static_assert(std::is_standard_layout_v<ServerEntry>);
static_assert(offsetof(ServerEntry, serverClass) == hostapi::entry(0));
static_assert(offsetof(ServerEntry, serverName) == hostapi::entry(1));
static_assert(offsetof(ServerEntry, activationEntry) == hostapi::entry(2));
static_assert(offsetof(ServerEntry, serverExtras) == hostapi::entry(3));
static_assert(sizeof(ServerEntry) == hostapi::entry(4));

static_assert(sizeof(ControlValue) == 40);
static_assert(offsetof(ControlValue, typeCode) == 0);
static_assert(offsetof(ControlValue, intValue) == 4);
static_assert(sizeof(ControlDescriptor) == 16);

static_assert(std::is_standard_layout_v<FileRequest>);
static_assert(offsetof(FileRequest, requestType) == 0);
static_assert(offsetof(FileRequest, outcome) == 4);
static_assert(offsetof(FileRequest, caption) == 8);
static_assert(offsetof(FileRequest, typeFilter) == 8 + hostapi::entry(1));
static_assert(offsetof(FileRequest, nameBufferA) == 8 + hostapi::entry(2));
static_assert(offsetof(FileRequest, nameBufferB) == 8 + hostapi::entry(3));
static_assert(offsetof(FileRequest, fullNameBuffer) == 8 + hostapi::entry(4));
static_assert(offsetof(FileRequest, bufferLength) == 8 + hostapi::entry(5));
static_assert(offsetof(FileRequest, pickCallback) == (sizeof(void*) == 8 ? 56 : 32));

static_assert(std::is_standard_layout_v<PanelService>);
static_assert(offsetof(PanelService, createPanel) == hostapi::entry(0));
static_assert(offsetof(PanelService, destroyPanel) == hostapi::entry(1));
static_assert(offsetof(PanelService, openPanel) == hostapi::entry(2));
static_assert(offsetof(PanelService, addPanelControl) == hostapi::entry(8));

static_assert(std::is_standard_layout_v<PanelControl>);
static_assert(offsetof(PanelControl, getControlValue) == hostapi::entry(1));
static_assert(offsetof(PanelControl, setControlValue) == hostapi::entry(2));

static_assert(std::is_standard_layout_v<CommandContext>);
static_assert(offsetof(CommandContext, beginMeshEdit) == hostapi::entry(4));

static_assert(std::is_standard_layout_v<MeshEditOps>);
static_assert(offsetof(MeshEditOps, editState) == hostapi::entry(0));
static_assert(offsetof(MeshEditOps, finishEdit) == hostapi::entry(2));
static_assert(offsetof(MeshEditOps, createPoint) == hostapi::entry(10));
static_assert(offsetof(MeshEditOps, createPolygon) == hostapi::entry(24));

static_assert(std::is_standard_layout_v<SurfaceService>);
static_assert(offsetof(SurfaceService, firstSurface) == hostapi::entry(1));
static_assert(offsetof(SurfaceService, nextSurface) == hostapi::entry(2));
static_assert(offsetof(SurfaceService, surfaceName) == hostapi::entry(5));
static_assert(offsetof(SurfaceService, setSurfaceChannel) == hostapi::entry(25));

// Lookups hand out services as data pointers; the file request is a function.
static_assert(sizeof(RequestFile) == sizeof(void*));
