// The reader and the mesh output together on arbitrary bytes, against a checking host: every
// polygon names a surface "Surface N" and lists points the host gave out, one polygon per record
// unless a point was refused, only surfaces the polygons named are coloured, and every channel
// value is a colour fraction.
#include <cstdio>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "plugin/mesh_output.h"

namespace {

struct CheckingHost {
    std::size_t points = 0;
    std::size_t refusals = 0;
    std::size_t polygons = 0;
    std::size_t refuseEvery = 0;  // 0: never refuse a point
    int finishes = 0;
    std::vector<const char*> surfaceNames;
    std::vector<std::vector<char>> ownedNames;
};

CheckingHost* host = nullptr;
int editTag;

// Surfaces the host already has, listed first: names no slot writes, and a nameless one. The
// module must leave every one of them uncoloured.
const char* const decoys[] = {"Surface 00", "Surface -1", "Surface 4294967296", "Surface 1x",
                              "surface 0", nullptr};
constexpr std::size_t decoyCount = sizeof decoys / sizeof decoys[0];

PointId createPoint(void* state, const double* position) {
    POLYIN_FUZZ_CHECK(state == &editTag && host->finishes == 0);
    POLYIN_FUZZ_CHECK(position[2] == 0.0);
    std::size_t index = host->points++;
    if (host->refuseEvery != 0 && index % host->refuseEvery == host->refuseEvery - 1) {
        ++host->refusals;
        return nullptr;
    }
    return reinterpret_cast<PointId>(index + 1);
}

void* createPolygon(void* state, std::intptr_t type, const void* reserved, const char* surfaceName,
                    std::int32_t count, const PointId* ids) {
    POLYIN_FUZZ_CHECK(state == &editTag && type == 0 && reserved == nullptr);
    POLYIN_FUZZ_CHECK(count > 0 && std::strncmp(surfaceName, "Surface ", 8) == 0);
    for (std::int32_t i = 0; i < count; ++i) {
        auto id = reinterpret_cast<std::size_t>(ids[i]);
        POLYIN_FUZZ_CHECK(id >= 1 && id <= host->points);
    }
    ++host->polygons;
    std::vector<char> name(surfaceName, surfaceName + std::strlen(surfaceName) + 1);
    host->ownedNames.push_back(name);
    return &editTag;
}

void finishEdit(void* state, void*, void*) {
    POLYIN_FUZZ_CHECK(state == &editTag);
    ++host->finishes;
    host->surfaceNames.clear();
    for (const char* name : decoys) host->surfaceNames.push_back(name);
    for (const auto& name : host->ownedNames) host->surfaceNames.push_back(name.data());
}

MeshEditOps ops;
MeshEditOps* beginMeshEdit(void*, void*, void*) { return &ops; }

SurfaceHandle handleOf(std::size_t index) {
    return index < host->surfaceNames.size() ? reinterpret_cast<SurfaceHandle>(index + 1) : nullptr;
}
SurfaceHandle firstSurface() { return handleOf(0); }
SurfaceHandle nextSurface(SurfaceHandle surface) {
    return handleOf(reinterpret_cast<std::size_t>(surface));
}
const char* surfaceName(SurfaceHandle surface) {
    std::size_t index = reinterpret_cast<std::size_t>(surface) - 1;
    POLYIN_FUZZ_CHECK(index < host->surfaceNames.size());
    return host->surfaceNames[index];
}
void setSurfaceChannel(SurfaceHandle surface, const char* channel, const double* values) {
    std::size_t index = reinterpret_cast<std::size_t>(surface) - 1;
    POLYIN_FUZZ_CHECK(index >= decoyCount && index < host->surfaceNames.size());
    POLYIN_FUZZ_CHECK(host->finishes == 1);
    bool isBase = std::strcmp(channel, "BaseColor") == 0;
    POLYIN_FUZZ_CHECK(isBase || std::strcmp(channel, "Transparency") == 0);
    for (int i = 0; i < (isBase ? 3 : 1); ++i) POLYIN_FUZZ_CHECK(values[i] >= 0.0 && values[i] <= 1.0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzText input(data, size);
    PathList list = parseSvgText(input.text(), toleranceFor(size));
    std::size_t records = 0;
    for (const PathRecord* r = list; r != nullptr; r = r->next) ++records;

    CheckingHost checking;
    checking.refuseEvery = size % 3 == 0 ? 1 + size % 17 : 0;
    host = &checking;
    ops = MeshEditOps{};
    ops.editState = &editTag;
    ops.finishEdit = finishEdit;
    ops.createPoint = createPoint;
    ops.createPolygon = createPolygon;
    CommandContext context{};
    context.beginMeshEdit = beginMeshEdit;
    SurfaceService surfaces{};
    surfaces.firstSurface = firstSurface;
    surfaces.nextSurface = nextSurface;
    surfaces.surfaceName = surfaceName;
    surfaces.setSurfaceChannel = setSurfaceChannel;
    buildHostMesh(list, &context, &surfaces);  // frees the list
    POLYIN_FUZZ_CHECK(checking.finishes == 1);
    POLYIN_FUZZ_CHECK(checking.polygons <= records);
    if (checking.refusals == 0) POLYIN_FUZZ_CHECK(checking.polygons == records);
    host = nullptr;
    return 0;
}
