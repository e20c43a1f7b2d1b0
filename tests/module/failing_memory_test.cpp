// The module when its own allocations fail: this test program replaces malloc, calloc, realloc
// and free (the C library allows that) to fail one chosen allocation that the module makes,
// counted from the start of an import, and to count the module's blocks still held at its
// end. Each import must still end with result 0, one finished mesh edit, nothing held, and
// lose only what the failed block was for. The sanitizers bring their own allocator, so these
// tests are left out of their trees.
#ifndef POLYIN_SANITIZED

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host_fixture.h"
#include "tests/hostile_input.h"

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void __libc_free(void* block);
}

namespace {

struct ModuleAllocations {
    std::uintptr_t start = 0, end = 0;  // the module's mapped code, while watched
    long calls = 0;                     // allocations the module asked for so far
    long failing = -1;                  // the call that fails; -1 fails none
    long held = 0;                      // blocks the module was given and has not freed
};

ModuleAllocations watch;

// Whether the caller lies in the module (its own code or the C++ runtime linked into it).
bool isModuleCall(void* caller) {
    auto at = reinterpret_cast<std::uintptr_t>(caller);
    return at >= watch.start && at < watch.end;
}

bool allows() { return watch.calls++ != watch.failing; }

}  // namespace

extern "C" void* malloc(std::size_t size) noexcept {
    if (!isModuleCall(__builtin_return_address(0))) return __libc_malloc(size);
    void* block = allows() ? __libc_malloc(size) : nullptr;
    if (block != nullptr) ++watch.held;
    return block;
}

extern "C" void* calloc(std::size_t count, std::size_t size) noexcept {
    if (!isModuleCall(__builtin_return_address(0))) return __libc_calloc(count, size);
    void* block = allows() ? __libc_calloc(count, size) : nullptr;
    if (block != nullptr) ++watch.held;
    return block;
}

extern "C" void* realloc(void* block, std::size_t size) noexcept {
    if (!isModuleCall(__builtin_return_address(0))) return __libc_realloc(block, size);
    void* grown = allows() ? __libc_realloc(block, size) : nullptr;
    if (grown != nullptr && block == nullptr) ++watch.held;
    return grown;
}

extern "C" void free(void* block) noexcept {
    if (block != nullptr && isModuleCall(__builtin_return_address(0))) --watch.held;
    __libc_free(block);
}

namespace {

// The address range of the loaded object that holds `symbol`.
bool findMappedRange(const void* symbol, std::uintptr_t& start, std::uintptr_t& end) {
    Dl_info info;
    if (dladdr(symbol, &info) == 0) return false;
    struct Search {
        std::uintptr_t base, start, end;
    } search = {reinterpret_cast<std::uintptr_t>(info.dli_fbase), UINTPTR_MAX, 0};
    dl_iterate_phdr(
        [](dl_phdr_info* object, std::size_t, void* data) {
            auto* found = static_cast<Search*>(data);
            if (object->dlpi_addr != found->base) return 0;
            for (int i = 0; i < object->dlpi_phnum; ++i) {
                const auto& segment = object->dlpi_phdr[i];
                if (segment.p_type != PT_LOAD) continue;
                std::uintptr_t low = object->dlpi_addr + segment.p_vaddr;
                found->start = std::min(found->start, low);
                found->end = std::max(found->end, low + segment.p_memsz);
            }
            return 1;
        },
        &search);
    start = search.start;
    end = search.end;
    return end > start;
}

// A polygon as the user sees it: its points (as bit patterns, so that NaN equals itself) and
// its surface's colour, if one was set.
struct SeenPolygon {
    std::vector<std::array<std::uint64_t, 3>> points;
    std::vector<double> colour;  // "BaseColor" then "Transparency"; empty when not set
    std::string surface;         // not compared: a lost record renumbers the later surfaces

    bool operator==(const SeenPolygon& other) const {
        return points == other.points && colour == other.colour;
    }
};

struct SeenImport {
    std::int32_t result = -1;
    int editsBegun = 0, editsFinished = 0;
    long held = 0;
    std::vector<SeenPolygon> polygons;
};

SeenImport importWatched(standin::LoadedModule& module, const std::string& file, long failing) {
    standin::StandInHost host;
    host.script.file.fullName = file;
    host.logsEachElement = false;
    watch.calls = 0;
    watch.held = 0;
    watch.failing = failing;
    SeenImport seen;
    seen.result = host.run(module);
    watch.failing = -1;
    seen.held = watch.held;
    seen.editsBegun = host.meshEditsBegun;
    seen.editsFinished = host.meshEditsFinished;
    std::map<std::string, std::vector<double>> colours;
    for (const standin::HostSurface& surface : host.scene.surfaces) {
        const std::vector<double>* base = surface.channel("BaseColor");
        const std::vector<double>* transparency = surface.channel("Transparency");
        if (base == nullptr || transparency == nullptr) continue;
        std::vector<double> colour = *base;
        colour.insert(colour.end(), transparency->begin(), transparency->end());
        colours[surface.name] = colour;
    }
    for (const standin::HostPolygon& polygon : host.scene.polygons) {
        SeenPolygon shown;
        for (long index : polygon.points) {
            std::array<std::uint64_t, 3> bits;
            std::memcpy(bits.data(), host.scene.points.at(static_cast<std::size_t>(index)).data(),
                        sizeof bits);
            shown.points.push_back(bits);
        }
        auto colour = colours.find(polygon.surfaceName);
        if (colour != colours.end()) shown.colour = colour->second;
        shown.surface = polygon.surfaceName;
        seen.polygons.push_back(shown);
    }
    return seen;
}

// Whether got is full with the colours of one surface, or of all, left unset.
bool lacksColours(const std::vector<SeenPolygon>& full, const std::vector<SeenPolygon>& got) {
    if (got.size() != full.size()) return false;
    std::set<std::string> uncoloured;
    bool noneColoured = true;
    for (std::size_t i = 0; i < got.size(); ++i) {
        if (got[i].points != full[i].points) return false;
        if (!got[i].colour.empty()) noneColoured = false;
        if (got[i].colour == full[i].colour) continue;
        if (!got[i].colour.empty()) return false;
        uncoloured.insert(got[i].surface);
    }
    return noneColoured || uncoloured.size() <= 1;
}

// Whether got is full with one element taken out.
template <typename T>
bool lacksOneElement(const std::vector<T>& full, const std::vector<T>& got) {
    if (got.size() + 1 != full.size()) return false;
    auto differ = std::mismatch(got.begin(), got.end(), full.begin());
    return std::equal(differ.first, got.end(), differ.second + 1);
}

// What one failed block may cost: everything (the text, the parser's state, the table that
// names the surfaces), every colour (the index of the host's surfaces) or one surface's (a
// growth of that index), one polygon (its record), one point of one polygon (a growth of the
// point buffer), or nothing.
bool lostOnlyWhatTheBlockHeld(const std::vector<SeenPolygon>& full,
                              const std::vector<SeenPolygon>& got) {
    if (got.empty() || got == full || lacksColours(full, got) || lacksOneElement(full, got))
        return true;
    if (got.size() != full.size()) return false;
    auto differ = std::mismatch(got.begin(), got.end(), full.begin());
    return differ.first->colour == differ.second->colour &&
           lacksOneElement(differ.second->points, differ.first->points) &&
           std::equal(differ.first + 1, got.end(), differ.second + 1);
}

}  // namespace

using FailingMemory = testing_host::ModuleTest;

TEST_F(FailingMemory, EachFailedModuleAllocationLosesOnlyWhatItHeld) {
    struct Unwatch {
        ~Unwatch() { watch.start = watch.end = 0; }
    } unwatch;
    ASSERT_TRUE(findMappedRange(reinterpret_cast<const void*>(module->activation()), watch.start,
                                watch.end));
    std::string wavy = "<path fill='#0f0' d='M 0 0";
    for (int i = 1; i <= 40; ++i) wavy += " l 3 " + std::to_string(i % 7 - 3);
    wavy += " c 5 5 10 -5 15 0 z'/>";
    const std::string document = testing_host::svg(
        "<g fill='#ff0000'><circle r='40'/><rect width='2' height='3'/>" + wavy +
        "</g><polygon fill='#00f' fill-opacity='.5' points='" + hostile::repeat("1 2 3 4 ", 12) +
        "'/><circle r='400'/><rect fill='#ff0000' width='9' height='9'/>" +
        "<path d='M 1e400 5 L 1 1 2 2'/>");  // the last has a point of NaN
    const std::string file = files.write("drawing.svg", document);

    const SeenImport full = importWatched(*module, file, -1);
    const long allocations = watch.calls;
    ASSERT_EQ(full.result, 0);
    ASSERT_EQ(full.held, 0);
    ASSERT_EQ(full.polygons.size(), 7u);
    ASSERT_GT(allocations, 6);
    for (long failing = 0; failing < allocations; ++failing) {
        const SeenImport got = importWatched(*module, file, failing);
        EXPECT_EQ(got.result, 0) << failing;
        EXPECT_EQ(got.editsBegun, 1) << failing;
        EXPECT_EQ(got.editsFinished, 1) << failing;
        EXPECT_EQ(got.held, 0) << "blocks left after failing allocation " << failing;
        EXPECT_TRUE(lostOnlyWhatTheBlockHeld(full.polygons, got.polygons))
            << "failing allocation " << failing << " of " << allocations << " gave "
            << got.polygons.size() << " polygons";
    }
}

#endif  // POLYIN_SANITIZED
