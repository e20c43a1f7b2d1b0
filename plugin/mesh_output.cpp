// Host geometry from the path list: one mesh edit, then the colours of the surfaces it named.
#include "plugin/mesh_output.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <emmintrin.h>

namespace {

constexpr std::size_t surfaceNameSize = 256;
constexpr char surfacePrefix[] = "Surface ";
constexpr std::size_t surfacePrefixLength = sizeof surfacePrefix - 1;
constexpr int maxIndexDigits = 10;  // the digits of the largest i32
constexpr unsigned minTableBits = 3;

// A colour byte as the host receives it, byte / 255 in double precision, for every byte.
struct ChannelLevels {
    double of[256];
};

constexpr ChannelLevels makeChannelLevels() {
    ChannelLevels levels = {};
    for (int byte = 0; byte < 256; ++byte) levels.of[byte] = static_cast<double>(byte) / 255.0;
    return levels;
}

constexpr ChannelLevels channelLevels = makeChannelLevels();

struct SlotEntry {
    std::uint32_t colorKey;
    std::int32_t slot;  // -1: empty
};

// Fill keys to slots by open addressing, at most two thirds full, sized once for every path;
// beside it what the colouring pass needs: each slot's key and each path's slot in list order.
// One block; entries is null when it could not be allocated.
struct SlotTable {
    SlotEntry* entries;
    std::uint32_t* slotKeys;
    std::int32_t* pathSlots;
    std::size_t mask;
    unsigned bits;  // the capacity is 2^bits
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
    SlotTable table = {nullptr, nullptr, nullptr, 0, minTableBits, 0};
    constexpr std::size_t perPath = sizeof(std::uint32_t) + sizeof(std::int32_t);
    while ((std::size_t{1} << table.bits) - (std::size_t{1} << table.bits) / 3 < pathCount) {
        if (table.bits == 30) return table;  // no address space holds that many paths
        ++table.bits;
    }
    std::size_t capacity = std::size_t{1} << table.bits;
    if (capacity > SIZE_MAX / sizeof(SlotEntry) ||
        pathCount > (SIZE_MAX - capacity * sizeof(SlotEntry)) / perPath)
        return table;
    void* block = std::malloc(capacity * sizeof(SlotEntry) + pathCount * perPath);
    if (block == nullptr) return table;
    table.entries = static_cast<SlotEntry*>(block);
    table.slotKeys = reinterpret_cast<std::uint32_t*>(table.entries + capacity);
    table.pathSlots = reinterpret_cast<std::int32_t*>(table.slotKeys + pathCount);
    for (std::size_t i = 0; i < capacity; ++i) table.entries[i] = {0, -1};
    table.mask = capacity - 1;
    return table;
}

// Where a key's search starts: the high bits of a multiplicative hash, so that keys that
// differ only in their high bytes (red, alpha) still spread over the table.
std::size_t homeOf(const SlotTable& table, std::uint32_t colorKey) noexcept {
    return static_cast<std::size_t>((colorKey * 2654435761u) >> (32 - table.bits));
}

// The entry holding the key, or the empty entry where it belongs.
SlotEntry& probe(const SlotTable& table, std::uint32_t colorKey) noexcept {
    std::size_t at = homeOf(table, colorKey);
    while (table.entries[at].slot >= 0 && table.entries[at].colorKey != colorKey)
        at = (at + 1) & table.mask;
    return table.entries[at];
}

// The slot of a fill key; a new key takes the next slot index.
std::int32_t assignSlot(SlotTable& table, std::uint32_t colorKey) noexcept {
    SlotEntry& found = probe(table, colorKey);
    if (found.slot < 0) {
        found = {colorKey, table.slotCount};
        table.slotKeys[table.slotCount++] = colorKey;
    }
    return found.slot;
}

// "Surface " and a slot index in decimal, as "Surface %i" prints it; its length.
std::size_t formatSurfaceName(char (&name)[surfaceNameSize], std::int32_t slot) noexcept {
    std::memcpy(name, surfacePrefix, surfacePrefixLength);
    char digits[maxIndexDigits];
    int length = 0;
    auto value = static_cast<std::uint32_t>(slot);  // slots are never negative
    do {
        digits[length++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    std::size_t end = surfacePrefixLength;
    while (length > 0) name[end++] = digits[--length];
    name[end] = '\0';
    return end;
}

// The surface name of the slot named last. The next path mostly keeps that slot (shapes of
// one colour) or takes the next one (a new colour): both cost less than formatting anew.
struct SlotName {
    char text[surfaceNameSize];
    std::size_t length;
    std::int32_t slot;
};

SlotName firstSlotName() noexcept {
    SlotName name;
    name.length = formatSurfaceName(name.text, 0);
    name.slot = 0;
    return name;
}

// Counts the decimal index on by one: trailing nines roll over, all nines gain a digit.
void countNameOn(SlotName& name) noexcept {
    std::size_t at = name.length;
    while (at > surfacePrefixLength && name.text[at - 1] == '9') name.text[--at] = '0';
    if (at > surfacePrefixLength) {
        ++name.text[at - 1];
        return;
    }
    name.text[surfacePrefixLength] = '1';
    name.text[name.length++] = '0';
    name.text[name.length] = '\0';
}

const char* nameOf(SlotName& name, std::int32_t slot) noexcept {
    if (slot == name.slot + 1) countNameOn(name);
    else if (slot != name.slot) name.length = formatSurfaceName(name.text, slot);
    name.slot = slot;
    return name.text;
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
void addPathGeometry(MeshEditOps& ops, const PathRecord& path, const char* surfaceName,
                     IdBuffer& buffer) noexcept {
    auto createPoint = ops.createPoint;
    if (path.pointCount <= 0 || createPoint == nullptr) return;
    std::size_t count = static_cast<std::size_t>(path.pointCount);
    PointId* ids = idsFor(buffer, count);
    if (ids == nullptr) return;  // this path is dropped, the others go on
    void* state = ops.editState;
    bool complete = true;
    // x with the negated y, then z with a spare: two whole 16-byte stores, from which the
    // host's loads of the three doubles are served (z stored in halves would stall them)
    double position[4];
    for (std::size_t i = 0; i < count; ++i) {
        _mm_storeu_pd(position, _mm_set_pd(static_cast<double>(-path.points[2 * i + 1]),
                                           static_cast<double>(path.points[2 * i])));
        _mm_storeu_pd(position + 2, _mm_setzero_pd());
        ids[i] = createPoint(state, position);
        if (ids[i] == nullptr) complete = false;
    }
    if (complete && ops.createPolygon != nullptr)
        ops.createPolygon(state, 0, nullptr, surfaceName, path.pointCount, ids);
}

// The slot index that a host surface name stands for, or -1 when it names none of them.
std::int32_t slotOfSurfaceName(const char* name, std::int32_t slotCount) noexcept {
    for (std::size_t i = 0; i < surfacePrefixLength; ++i)
        if (name[i] != surfacePrefix[i]) return -1;  // a shorter name stops at its NUL
    const char* digits = name + surfacePrefixLength;
    const auto limit = static_cast<std::uint32_t>(slotCount);
    std::uint32_t value = 0;
    int length = 0;
    for (; digits[length] >= '0' && digits[length] <= '9'; ++length) {
        // at or past the slot count it names no slot; checked before it could overflow
        if (value > (limit - 1) / 10) return -1;
        value = value * 10 + static_cast<std::uint32_t>(digits[length] - '0');
    }
    if (length == 0 || digits[length] != '\0' || value >= limit) return -1;
    if (length > 1 && digits[0] == '0') return -1;  // "Surface %i" never writes leading zeros
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
void colourSurfaces(const SlotTable& table, std::size_t pathCount,
                    SurfaceService& surfaces) noexcept {
    SurfaceIndex index;
    if (!indexSurfaces(surfaces, table.slotCount, index)) return;
    for (std::size_t at = 0; at < pathCount; ++at) {
        std::int32_t slot = table.pathSlots[at];
        if (index.first[slot] < 0) continue;
        std::uint32_t key = table.slotKeys[slot];
        double transparency = 1.0 - channelLevels.of[key >> 24];
        double baseColor[3] = {channelLevels.of[(key >> 16) & 0xFFu],
                               channelLevels.of[(key >> 8) & 0xFFu], channelLevels.of[key & 0xFFu]};
        for (std::int32_t match = index.first[slot]; match >= 0;
             match = index.matches[match].next) {
            surfaces.setSurfaceChannel(index.matches[match].surface, "Transparency", &transparency);
            surfaces.setSurfaceChannel(index.matches[match].surface, "BaseColor", baseColor);
        }
    }
    releaseSurfaceIndex(index);
}

// Points and polygons of every path in list order, each on the surface of its fill key.
void addGeometry(MeshEditOps& ops, const PathRecord* list, std::size_t largest,
                 SlotTable& table) noexcept {
    IdBuffer buffer = {nullptr, 0};
    idsFor(buffer, largest);  // when this fails, each path asks for its own size again
    SlotName name = firstSlotName();
    std::size_t at = 0;
    for (const PathRecord* path = list; path != nullptr; path = path->next, ++at) {
        // the next key's entry is most likely out of cache: fetch it while this path is built
        if (path->next != nullptr)
            __builtin_prefetch(&table.entries[homeOf(table, path->next->fillColor)]);
        std::int32_t slot = assignSlot(table, path->fillColor);
        table.pathSlots[at] = slot;
        addPathGeometry(ops, *path, nameOf(name, slot), buffer);
    }
    std::free(buffer.ids);
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
    // without the table no polygon could be named
    if (table.entries != nullptr) addGeometry(*ops, list, largest, table);
    if (ops->finishEdit != nullptr) ops->finishEdit(ops->editState, nullptr, nullptr);
    if (table.slotCount > 0 && canColour(surfaces)) colourSurfaces(table, pathCount, *surfaces);
    // the large block goes back before the many small records: freeing a large block while
    // small ones wait in the allocator's fast lists makes it sort all of them
    std::free(table.entries);
    freePathList(list);
}
