// Host geometry from the path list: one mesh edit, then the colours of the surfaces it named.
#include "plugin/mesh_output.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t surfaceNameSize = 256;
constexpr char surfacePrefix[] = "Surface ";
constexpr std::size_t surfacePrefixLength = sizeof surfacePrefix - 1;
constexpr int maxIndexDigits = 10;  // the digits of the largest i32
constexpr std::size_t minTableCapacity = 8;

// Fill key to slot index: open addressing, at most half full, sized once for every path.
struct SlotEntry {
    std::uint32_t colorKey;
    std::int32_t slot;  // -1: empty
};

struct SlotTable {
    SlotEntry* entries;  // null when it could not be allocated
    std::size_t mask;
    std::int32_t slotCount;
};

// The number of paths, and the point count of the largest one.
std::size_t countPaths(const PathRecord* path, std::size_t& largest) noexcept {
    std::size_t count = 0;
    largest = 0;
    for (; path != nullptr; path = path->next) {
        ++count;
        std::size_t points = path->pointCount > 0 ? static_cast<std::size_t>(path->pointCount) : 0;
        if (points > largest) largest = points;
    }
    return count;
}

SlotTable createSlotTable(std::size_t pathCount) noexcept {
    SlotTable table = {nullptr, 0, 0};
    std::size_t capacity = minTableCapacity;
    while (capacity < pathCount * 2) {
        if (capacity > SIZE_MAX / 2 / sizeof(SlotEntry)) return table;
        capacity *= 2;
    }
    table.entries = static_cast<SlotEntry*>(std::malloc(capacity * sizeof(SlotEntry)));
    if (table.entries == nullptr) return table;
    for (std::size_t i = 0; i < capacity; ++i) table.entries[i] = {0, -1};
    table.mask = capacity - 1;
    return table;
}

// The entry holding the key, or the empty entry where it belongs.
SlotEntry& probe(const SlotTable& table, std::uint32_t colorKey) noexcept {
    std::size_t at = static_cast<std::size_t>(colorKey * 2654435761u) & table.mask;
    while (table.entries[at].slot >= 0 && table.entries[at].colorKey != colorKey)
        at = (at + 1) & table.mask;
    return table.entries[at];
}

// The slot of a fill key; a new key takes the next slot index.
std::int32_t assignSlot(SlotTable& table, std::uint32_t colorKey) noexcept {
    SlotEntry& found = probe(table, colorKey);
    if (found.slot < 0) found = {colorKey, table.slotCount++};
    return found.slot;
}

// "Surface " and the slot index in decimal, as "Surface %i" would print it.
void formatSurfaceName(char (&name)[surfaceNameSize], std::int32_t slot) noexcept {
    std::memcpy(name, surfacePrefix, surfacePrefixLength);
    char* out = name + surfacePrefixLength;
    std::int64_t value = slot;
    if (value < 0) {
        *out++ = '-';
        value = -value;
    }
    char digits[maxIndexDigits];
    int length = 0;
    do {
        digits[length++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (length > 0) *out++ = digits[--length];
    *out = '\0';
}

// Point ids of one path at a time: one buffer for every path when the largest fits.
struct IdBuffer {
    PointId* ids;
    std::size_t capacity;
};

PointId* idsFor(IdBuffer& buffer, std::size_t count) noexcept {
    if (count <= buffer.capacity) return buffer.ids;
    if (count > SIZE_MAX / sizeof(PointId)) return nullptr;
    void* grown = std::realloc(buffer.ids, count * sizeof(PointId));
    if (grown == nullptr) return nullptr;
    buffer.ids = static_cast<PointId*>(grown);
    buffer.capacity = count;
    return buffer.ids;
}

// One host point per vertex and, when every point exists, one polygon through them all.
void addPathGeometry(MeshEditOps& ops, const PathRecord& path, std::int32_t slot,
                     IdBuffer& buffer) noexcept {
    if (path.pointCount <= 0 || ops.createPoint == nullptr) return;
    std::size_t count = static_cast<std::size_t>(path.pointCount);
    PointId* ids = idsFor(buffer, count);
    if (ids == nullptr) return;  // this path is dropped, the others go on
    char surfaceName[surfaceNameSize];
    formatSurfaceName(surfaceName, slot);
    bool complete = true;
    for (std::size_t i = 0; i < count; ++i) {
        double position[3] = {static_cast<double>(path.points[2 * i]),
                              static_cast<double>(-path.points[2 * i + 1]), 0.0};
        ids[i] = ops.createPoint(ops.editState, position);
        if (ids[i] == nullptr) complete = false;
    }
    if (complete && ops.createPolygon != nullptr)
        ops.createPolygon(ops.editState, 0, nullptr, surfaceName, path.pointCount, ids);
}

// The slot index that a host surface name stands for, or -1 when it names none of them.
std::int32_t slotOfSurfaceName(const char* name, std::int32_t slotCount) noexcept {
    if (std::strncmp(name, surfacePrefix, surfacePrefixLength) != 0) return -1;
    const char* digits = name + surfacePrefixLength;
    std::int64_t value = 0;
    int length = 0;
    for (; digits[length] >= '0' && digits[length] <= '9'; ++length) {
        if (length == maxIndexDigits) return -1;
        value = value * 10 + (digits[length] - '0');
    }
    if (length == 0 || digits[length] != '\0') return -1;
    if (length > 1 && digits[0] == '0') return -1;  // "Surface %i" never writes leading zeros
    if (value >= slotCount) return -1;
    return static_cast<std::int32_t>(value);
}

// Host surfaces grouped by slot, in the order the host lists them.
struct SurfaceIndex {
    struct Match {
        SurfaceHandle surface;
        std::int32_t next;  // next match of the same slot, -1 at the end
    };
    Match* matches;
    std::size_t matchCount;
    std::size_t matchCapacity;
    std::int32_t* first;  // per slot; first[slotCount + slot] is the last match
};

void releaseSurfaceIndex(SurfaceIndex& index) noexcept {
    std::free(index.matches);
    std::free(index.first);
}

// Adds one surface to its slot's chain; if the index can't grow, this surface is left out.
void addMatch(SurfaceIndex& index, std::int32_t slotCount, std::int32_t slot,
              SurfaceHandle surface) noexcept {
    if (index.matchCount == index.matchCapacity) {
        // most slots have one surface: start at the slot count, then double
        std::size_t capacity = index.matchCapacity == 0
                                   ? static_cast<std::size_t>(slotCount < 8 ? 8 : slotCount)
                                   : index.matchCapacity * 2;
        if (capacity > INT32_MAX || capacity > SIZE_MAX / sizeof(SurfaceIndex::Match)) return;
        void* grown = std::realloc(index.matches, capacity * sizeof(SurfaceIndex::Match));
        if (grown == nullptr) return;
        index.matches = static_cast<SurfaceIndex::Match*>(grown);
        index.matchCapacity = capacity;
    }
    std::int32_t at = static_cast<std::int32_t>(index.matchCount++);
    index.matches[at] = {surface, -1};
    std::int32_t& last = index.first[slotCount + slot];
    if (last < 0) index.first[slot] = at;
    else index.matches[last].next = at;
    last = at;
}

// Walks the host's surfaces once and keeps those named after a slot.
bool indexSurfaces(SurfaceService& surfaces, std::int32_t slotCount, SurfaceIndex& index) noexcept {
    index = {nullptr, 0, 0, nullptr};
    std::size_t chains = 2 * static_cast<std::size_t>(slotCount);
    index.first = static_cast<std::int32_t*>(std::malloc(chains * sizeof(std::int32_t)));
    if (index.first == nullptr) return false;
    for (std::size_t i = 0; i < chains; ++i) index.first[i] = -1;
    for (SurfaceHandle surface = surfaces.firstSurface(); surface != nullptr;
         surface = surfaces.nextSurface(surface)) {
        const char* name = surfaces.surfaceName(surface);
        if (name == nullptr) continue;
        std::int32_t slot = slotOfSurfaceName(name, slotCount);
        if (slot >= 0) addMatch(index, slotCount, slot, surface);
    }
    return true;
}

bool canColour(const SurfaceService* surfaces) noexcept {
    return surfaces != nullptr && surfaces->firstSurface != nullptr &&
           surfaces->nextSurface != nullptr && surfaces->surfaceName != nullptr &&
           surfaces->setSurfaceChannel != nullptr;
}

// Sets "Transparency" then "BaseColor" on each surface of the path's slot, once per path.
// pathSlots, when not null, holds each path's slot in list order, as the geometry pass found it.
void colourSurfaces(const PathRecord* list, const SlotTable& table, const std::int32_t* pathSlots,
                    SurfaceService& surfaces) noexcept {
    SurfaceIndex index;
    if (!indexSurfaces(surfaces, table.slotCount, index)) return;
    std::size_t at = 0;
    for (const PathRecord* path = list; path != nullptr; path = path->next, ++at) {
        std::uint32_t key = path->fillColor;
        std::int32_t slot = pathSlots != nullptr ? pathSlots[at] : probe(table, key).slot;
        double transparency = 1.0 - static_cast<double>((key >> 24) & 0xFFu) / 255.0;
        double baseColor[3] = {static_cast<double>((key >> 16) & 0xFFu) / 255.0,
                               static_cast<double>((key >> 8) & 0xFFu) / 255.0,
                               static_cast<double>(key & 0xFFu) / 255.0};
        for (std::int32_t match = index.first[slot]; match >= 0;
             match = index.matches[match].next) {
            surfaces.setSurfaceChannel(index.matches[match].surface, "Transparency", &transparency);
            surfaces.setSurfaceChannel(index.matches[match].surface, "BaseColor", baseColor);
        }
    }
    releaseSurfaceIndex(index);
}

}  // namespace

void buildHostMesh(PathList list, CommandContext* context, SurfaceService* surfaces) noexcept {
    MeshEditOps* ops = nullptr;
    if (context != nullptr && context->beginMeshEdit != nullptr)
        ops = context->beginMeshEdit(nullptr, nullptr, nullptr);
    if (ops == nullptr) {
        freePathList(list);
        return;
    }
    std::size_t largest = 0;
    std::size_t pathCount = countPaths(list, largest);
    SlotTable table = createSlotTable(pathCount);
    std::int32_t* pathSlots = nullptr;  // the colouring pass probes again without it
    if (table.entries != nullptr) {  // without the table no polygon could be named
        pathSlots = static_cast<std::int32_t*>(std::malloc(pathCount * sizeof(std::int32_t)));
        IdBuffer buffer = {nullptr, 0};
        idsFor(buffer, largest);  // when this fails, each path asks for its own size again
        std::size_t at = 0;
        for (const PathRecord* path = list; path != nullptr; path = path->next, ++at) {
            std::int32_t slot = assignSlot(table, path->fillColor);
            if (pathSlots != nullptr) pathSlots[at] = slot;
            addPathGeometry(*ops, *path, slot, buffer);
        }
        std::free(buffer.ids);
    }
    if (ops->finishEdit != nullptr) ops->finishEdit(ops->editState, nullptr, nullptr);
    if (table.entries != nullptr && table.slotCount > 0 && canColour(surfaces))
        colourSurfaces(list, table, pathSlots, *surfaces);
    freePathList(list);
    std::free(pathSlots);
    std::free(table.entries);
}
