#include "bench/host_activation.h"

#ifdef POLYIN_BENCH_MODULE_PATH

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/stand_in_host.h"
#include "host/unused_entries.h"

// The stand-in host logs every call as text, which is right for tests but would dominate the
// timing; this is the same host without the log: a scene of points, polygons and surfaces.
namespace {

// A surface; its name lives in the scene's name arena, so a surface needs no clean-up.
struct LeanSurface {
    std::size_t nameAt;
    std::size_t index;
    double baseColor[3];
    double transparency;
};

// Append-only storage in fixed blocks: growing never copies what is already stored.
template <typename T>
class BlockList {
public:
    void push(const T& value) {
        if (used == blockSize) {
            if (++current == blocks.size()) blocks.emplace_back(new T[blockSize]);
            used = 0;
        }
        blocks[current][used++] = value;
    }

    // Empties the list and keeps its blocks for what comes next.
    void clear() {
        current = SIZE_MAX;
        used = blockSize;
    }

private:
    static constexpr std::size_t blockSize = 1 << 16;
    std::vector<std::unique_ptr<T[]>> blocks;
    std::size_t current = SIZE_MAX;  // the block being filled; wraps to 0 on the first push
    std::size_t used = blockSize;
};

// Surface name to surface index: open addressing on a hash of the name, at most three
// quarters full. Each slot keeps half the hash, so a new name is mostly settled without
// touching a surface.
class SurfaceTable {
public:
    // The index of the surface of that name, or `absent`.
    std::size_t find(const std::vector<LeanSurface>& surfaces, const std::vector<char>& names,
                     const char* name, std::uint64_t hash) const {
        if (slots.empty()) return absent;
        const std::size_t mask = slots.size() - 1;
        for (std::size_t at = static_cast<std::size_t>(hash) & mask;; at = (at + 1) & mask) {
            const Slot& slot = slots[at];
            if (slot.entry == emptySlot) return absent;
            if (slot.tag != tagOf(hash)) continue;
            std::size_t index = slot.entry - 1;
            if (std::strcmp(&names[surfaces[index].nameAt], name) == 0) return index;
        }
    }

    // Adds the surface of the next index.
    void insert(std::uint64_t hash) {
        hashes.push_back(hash);
        if (4 * hashes.size() > 3 * slots.size()) grow();
        else place(hashes.size() - 1);
    }

    // Bytes gathered into words, one mix per eight: names are short and were just written byte
    // by byte, so wide loads of them would wait for those stores. Gives the length too.
    static std::uint64_t hashOf(const char* name, std::size_t& length) {
        std::uint64_t hash = 0, word = 0;
        unsigned shift = 0;
        for (length = 0; name[length] != '\0'; ++length) {
            word |= std::uint64_t{static_cast<unsigned char>(name[length])} << shift;
            shift += 8;
            if (shift == 64) {
                hash = mix(hash ^ word);
                word = 0;
                shift = 0;
            }
        }
        return mix(hash ^ word ^ shift);
    }

    static constexpr std::size_t absent = SIZE_MAX;

    // Empties the table; it grows again from its smallest size within the storage it has, so
    // that its size, and with it how far apart its entries lie, is that of the scene at hand.
    // (Kept at the size of the largest scene so far, a scene of 20,000 surfaces after one of
    // 113,000 spread its entries over a table five times too large for the caches.)
    void clear() {
        slots.clear();
        hashes.clear();
    }

private:
    // The table slots: the high half of the name's hash and the surface index plus one, so
    // that an empty table is all zero bytes.
    struct Slot {
        std::uint32_t tag;
        std::uint32_t entry;
    };
    static constexpr std::uint32_t emptySlot = 0;

    static std::uint32_t tagOf(std::uint64_t hash) {
        return static_cast<std::uint32_t>(hash >> 32);
    }

    static std::uint64_t mix(std::uint64_t value) {
        value *= 0x9E3779B97F4A7C15ull;
        return value ^ (value >> 29);
    }

    void place(std::size_t index) {
        std::uint64_t hash = hashes[index];
        std::size_t at = static_cast<std::size_t>(hash) & (slots.size() - 1);
        while (slots[at].entry != emptySlot) at = (at + 1) & (slots.size() - 1);
        slots[at] = {tagOf(hash), static_cast<std::uint32_t>(index + 1)};
    }

    // Doubles the slots and places every surface again from its kept hash; within the
    // vector's capacity, nothing is allocated.
    void grow() {
        slots.assign(slots.empty() ? 64 : 2 * slots.size(), Slot{0, emptySlot});
        for (std::size_t index = 0; index < hashes.size(); ++index) place(index);
    }

    std::vector<Slot> slots;
    std::vector<std::uint64_t> hashes;  // per surface index
};

struct LeanPoint {
    double x, y, z;
};

struct LeanScene {
    BlockList<LeanPoint> points;
    BlockList<std::size_t> polygonPoints;  // the point indices of every polygon, in order
    std::vector<std::size_t> polygonStarts;
    std::vector<std::size_t> polygonSurfaces;
    std::vector<LeanSurface> surfaces;  // handles point at them: given out only once it is complete
    std::vector<char> surfaceNames;     // every surface name with its NUL, one after the other
    SurfaceTable surfaceByName;
    std::size_t pointCount = 0;
    std::size_t pointIndexCount = 0;
    HostKeeps keeps = HostKeeps::scene;
    std::string fullName;
    std::int32_t detail = 10;

    // Empties the scene for the next activation; its storage stays, as in a running host.
    void clear() {
        points.clear();
        polygonPoints.clear();
        polygonStarts.clear();
        polygonSurfaces.clear();
        surfaces.clear();
        surfaceNames.clear();
        surfaceByName.clear();
        pointCount = 0;
        pointIndexCount = 0;
    }
};

LeanScene* scene = nullptr;  // the scene of the activation that is running
int editTag, panelTag;

PointId createPoint(void*, const double* position) {
    if (scene->keeps == HostKeeps::scene)
        scene->points.push({position[0], position[1], position[2]});
    return reinterpret_cast<PointId>(++scene->pointCount);  // never null
}

void* createPolygon(void*, std::intptr_t, const void*, const char* surfaceName, std::int32_t count,
                    const PointId* points) {
    if (scene->keeps == HostKeeps::counts) return &scene->pointCount;  // any handle but null
    std::size_t length = 0;
    std::uint64_t hash = SurfaceTable::hashOf(surfaceName, length);
    std::size_t surface =
        scene->surfaceByName.find(scene->surfaces, scene->surfaceNames, surfaceName, hash);
    if (surface == SurfaceTable::absent) {
        surface = scene->surfaces.size();
        std::vector<char>& names = scene->surfaceNames;
        scene->surfaces.push_back({names.size(), surface, {0.0, 0.0, 0.0}, 0.0});
        names.insert(names.end(), surfaceName, surfaceName + length + 1);
        scene->surfaceByName.insert(hash);
    }
    scene->polygonSurfaces.push_back(surface);
    if (scene->keeps != HostKeeps::scene) return &scene->polygonSurfaces.back();
    scene->polygonStarts.push_back(scene->pointIndexCount);
    scene->pointIndexCount += static_cast<std::size_t>(count);
    for (std::int32_t i = 0; i < count; ++i)
        scene->polygonPoints.push(reinterpret_cast<std::size_t>(points[i]) - 1);
    return &scene->polygonStarts.back();
}

void finishEdit(void*, void*, void*) {}

MeshEditOps meshOps;

MeshEditOps* beginMeshEdit(void*, void*, void*) { return &meshOps; }

SurfaceHandle surfaceHandle(std::size_t index) {
    return index < scene->surfaces.size() ? &scene->surfaces[index] : nullptr;
}
SurfaceHandle firstSurface() { return surfaceHandle(0); }
SurfaceHandle nextSurface(SurfaceHandle surface) {
    return surfaceHandle(static_cast<LeanSurface*>(surface)->index + 1);
}
const char* surfaceName(SurfaceHandle surface) {
    return &scene->surfaceNames[static_cast<LeanSurface*>(surface)->nameAt];
}
void setSurfaceChannel(SurfaceHandle surface, const char* channel, const double* values) {
    auto* s = static_cast<LeanSurface*>(surface);
    if (channel[0] == 'B' && std::strcmp(channel, "BaseColor") == 0)
        std::memcpy(s->baseColor, values, sizeof s->baseColor);
    else if (channel[0] == 'T' && std::strcmp(channel, "Transparency") == 0)
        s->transparency = values[0];
}

PanelHandle createPanel(const char*, void*) { return &panelTag; }
void destroyPanel(PanelHandle) {}
std::int32_t openPanel(PanelHandle, std::int32_t) { return 1; }
void getControlValue(PanelControl*, std::int32_t, ControlValue* value) { value->intValue = scene->detail; }
void setControlValue(PanelControl*, std::int32_t, ControlValue*) {}

PanelControl slider;
PanelControl* addPanelControl(PanelHandle, const char*, ControlDescriptor*, const char*) { return &slider; }

std::int32_t requestFile(std::int32_t, FileRequest* request) {
    std::snprintf(request->fullNameBuffer, static_cast<std::size_t>(request->bufferLength), "%s",
                  scene->fullName.c_str());
    request->outcome = 1;
    return 1;
}

PanelService panelService;
SurfaceService surfaceService;
CommandContext commandContext;

void setUpTables() {
    meshOps.editState = &editTag;
    meshOps.reserved1 = unusedEntry;
    fillUnused(meshOps.reserved3);
    fillUnused(meshOps.reserved11);
    meshOps.finishEdit = finishEdit;
    meshOps.createPoint = createPoint;
    meshOps.createPolygon = createPolygon;
    fillUnused(commandContext.reserved0);
    commandContext.beginMeshEdit = beginMeshEdit;
    surfaceService.reserved0 = unusedEntry;
    fillUnused(surfaceService.reserved3);
    fillUnused(surfaceService.reserved6);
    surfaceService.firstSurface = firstSurface;
    surfaceService.nextSurface = nextSurface;
    surfaceService.surfaceName = surfaceName;
    surfaceService.setSurfaceChannel = setSurfaceChannel;
    slider.reserved0 = unusedEntry;
    slider.getControlValue = getControlValue;
    slider.setControlValue = setControlValue;
    fillUnused(panelService.reserved3);
    panelService.createPanel = createPanel;
    panelService.destroyPanel = destroyPanel;
    panelService.openPanel = openPanel;
    panelService.addPanelControl = addPanelControl;
}

void* lookUpService(const char* name, void*) {
    if (std::strcmp(name, "LWPanelServices 2") == 0) return &panelService;
    if (std::strcmp(name, "Surface Functions 4") == 0) return &surfaceService;
    if (std::strcmp(name, "File Request 2") == 0) {
        RequestFile function = requestFile;
        void* asData = nullptr;
        std::memcpy(&asData, &function, sizeof asData);
        return asData;
    }
    return nullptr;
}

// The module stays loaded for the whole benchmark, as it would in the host. A tree built with
// a module that then cannot be loaded stops the benchmark: carrying on without the activation
// columns would let a broken module pass the smoke run.
standin::LoadedModule* loadedModule() {
    static std::unique_ptr<standin::LoadedModule> module = [] {
        std::string error;
        auto loaded = standin::LoadedModule::load(POLYIN_BENCH_MODULE_PATH, error);
        if (!loaded) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::exit(1);
        }
        setUpTables();
        return loaded;
    }();
    return module.get();
}

}  // namespace

bool hasHostActivation() { return loadedModule() != nullptr; }

// The loaded module when it and the file's full name are both at hand, or null. A name that
// is already absolute is taken as it stands: resolving it again on every activation would
// time the file system's lookups, not the import.
standin::LoadedModule* prepareActivation(const char* fileName, char (&fullName)[PATH_MAX]) {
    standin::LoadedModule* module = loadedModule();
    if (module == nullptr) return nullptr;
    if (fileName[0] == '/' && std::strlen(fileName) < PATH_MAX) {
        std::strcpy(fullName, fileName);
        return module;
    }
    return realpath(fileName, fullName) != nullptr ? module : nullptr;
}

std::size_t runHostActivation(const char* fileName, int detail, HostKeeps keeps) {
    char fullName[PATH_MAX];
    standin::LoadedModule* module = prepareActivation(fileName, fullName);
    if (module == nullptr) return 0;
    static LeanScene lean;
    lean.clear();
    lean.fullName = fullName;
    lean.detail = detail;
    lean.keeps = keeps;
    scene = &lean;
    std::int32_t result = module->activation()(3, lookUpService, &commandContext, nullptr);
    scene = nullptr;
    return result == 0 ? lean.pointCount : 0;
}

std::size_t runStandInActivation(const char* fileName, int detail) {
    char fullName[PATH_MAX];
    standin::LoadedModule* module = prepareActivation(fileName, fullName);
    if (module == nullptr) return 0;
    standin::StandInHost host;
    host.script.file.fullName = fullName;
    host.script.panel.sliderValue = detail;
    host.logsEachElement = false;  // as the import tool runs it
    if (host.run(*module) != 0) return 0;
    return host.scene.points.size();
}

#else

bool hasHostActivation() { return false; }

std::size_t runStandInActivation(const char*, int) { return 0; }

std::size_t runHostActivation(const char*, int, HostKeeps) { return 0; }

#endif
