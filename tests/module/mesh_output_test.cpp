// What the host receives: points, one polygon per path, surfaces and their colour channels.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host_fixture.h"

using standin::StandInHost;
using testing_host::callsStartingWith;
using testing_host::ModuleTest;
using testing_host::svg;

namespace {

std::vector<std::string> channelCalls(const StandInHost& host) {
    return callsStartingWith(host, "setSurfaceChannel");
}

std::string transparency(const std::string& surface, const char* value) {
    return "setSurfaceChannel " + surface + " Transparency " + value;
}

std::string baseColor(const std::string& surface, const char* rgb) {
    return "setSurfaceChannel " + surface + " BaseColor " + rgb;
}

const char* red = "0x1p+0 0x0p+0 0x0p+0";
const char* blue = "0x0p+0 0x0p+0 0x1p+0";
const char* opaque = "0x0p+0";

}  // namespace

TEST_F(ModuleTest, OverviewExampleEndToEnd) {
    StandInHost host;
    ASSERT_EQ(import(host, svg("<g transform='translate(10,20)' fill='#ff0000'>"
                               "<rect x='0' y='0' width='5' height='5'/></g>")), 0);
    EXPECT_EQ(host.scene.points, (std::vector<std::array<double, 3>>{
                                     {10, -20, 0}, {15, -20, 0}, {15, -25, 0}, {10, -25, 0}}));
    ASSERT_EQ(host.scene.polygons.size(), 1u);
    EXPECT_EQ(host.scene.polygons[0].surfaceName, "Surface 0");
    EXPECT_EQ(host.scene.polygons[0].points, (std::vector<long>{0, 1, 2, 3}));
    ASSERT_EQ(host.scene.surfaces.size(), 1u);
    EXPECT_EQ(*host.scene.surfaces[0].channel("BaseColor"), (std::vector<double>{1, 0, 0}));
    EXPECT_EQ(*host.scene.surfaces[0].channel("Transparency"), std::vector<double>{0});
    EXPECT_EQ(channelCalls(host), (std::vector<std::string>{transparency("Surface 0", opaque),
                                                             baseColor("Surface 0", red)}));
}

TEST_F(ModuleTest, PointsAreMirroredIntoThePlane) {
    StandInHost host;
    ASSERT_EQ(import(host, svg("<polyline points='3,4 -1.5,0.25'/>")), 0);
    EXPECT_EQ(host.scene.points,
              (std::vector<std::array<double, 3>>{{3, -4, 0}, {-1.5, -0.25, 0}}));
    ASSERT_EQ(host.scene.polygons.size(), 1u);
    EXPECT_EQ(host.scene.polygons[0].points, (std::vector<long>{0, 1}));
}

TEST_F(ModuleTest, SlotsFollowListOrder) {
    StandInHost host;
    ASSERT_EQ(import(host, svg("<rect fill='#ff0000' width='1' height='1'/>"
                               "<rect fill='#0000ff' width='2' height='2'/>"
                               "<rect fill='#ff0000' width='3' height='3'/>")), 0);
    std::vector<std::string> polygons;
    for (const auto& polygon : host.scene.polygons) polygons.push_back(polygon.surfaceName);
    EXPECT_EQ(polygons, (std::vector<std::string>{"Surface 0", "Surface 1", "Surface 0"}));
    EXPECT_EQ(host.scene.points[2], (std::array<double, 3>{3, -3, 0})) << "last element first";
    EXPECT_EQ(channelCalls(host), (std::vector<std::string>{
                                      transparency("Surface 0", opaque), baseColor("Surface 0", red),
                                      transparency("Surface 1", opaque), baseColor("Surface 1", blue),
                                      transparency("Surface 0", opaque), baseColor("Surface 0", red)}));
    EXPECT_EQ(host.scene.surfaces.size(), 2u);
    EXPECT_EQ(host.countCalls("firstSurface"), 1u) << "the host's surfaces are walked once";
}

TEST_F(ModuleTest, AlphaByteIsPartOfTheKey) {
    const struct { const char* body; std::vector<std::string> expected; } cases[] = {
        {"<rect width='1' height='1'/>",
         {transparency("Surface 0", "0x1p+0"), baseColor("Surface 0", "0x0p+0 0x0p+0 0x0p+0")}},
        {"<rect fill='#ff0000' fill-opacity='0.5' width='1' height='1'/>"
         "<rect fill='#ff0000' width='1' height='1'/>",
         {transparency("Surface 0", opaque), baseColor("Surface 0", red),
          transparency("Surface 1", "0x1.010101010101p-1"), baseColor("Surface 1", red)}},
        {"<rect fill='#336699' fill-opacity='0' width='1' height='1'/>",
         {transparency("Surface 0", "0x1p+0"),
          baseColor("Surface 0", "0x1.999999999999ap-3 0x1.999999999999ap-2 0x1.3333333333333p-1")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        module.reset();
        module = testing_host::loadModule();
        StandInHost host;
        ASSERT_EQ(import(host, svg(c.body)), 0);
        EXPECT_EQ(channelCalls(host), c.expected);
    }
}

TEST_F(ModuleTest, DistinctFillsNeverShareASlot) {
    // Fills whose keys start their search at the same place of the smallest table (red and
    // green, black and #123456), and runs of 9 and 18 fills that each need their own slot.
    const struct { std::vector<int> fills; } cases[] = {
        {{0xff0000, 0x00ff00}},
        {{0x000000, 0x123456, 0x000000}},
        {{0x808080, 0xff00ff, 0x008000, 0xff0000, 0x00ff00}},
        {{0, 1, 2, 3, 4, 5, 6, 7, 8}},
        {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}},
    };
    for (const auto& c : cases) {
        std::string shapes;
        for (int fill : c.fills) {
            char rect[80];
            std::snprintf(rect, sizeof rect, "<rect fill='#%06x' width='1' height='1'/>", fill);
            shapes = rect + shapes;  // the list runs from the last element
        }
        SCOPED_TRACE(shapes);
        module.reset();
        module = testing_host::loadModule();
        StandInHost host;
        ASSERT_EQ(import(host, svg(shapes)), 0);
        // slots in order of first use; a fill seen before takes its slot again
        std::vector<int> seen;
        std::vector<std::string> expected;
        for (int fill : c.fills) {
            std::size_t slot = 0;
            while (slot < seen.size() && seen[slot] != fill) ++slot;
            if (slot == seen.size()) seen.push_back(fill);
            expected.push_back("Surface " + std::to_string(slot));
        }
        std::vector<std::string> names;
        for (const auto& polygon : host.scene.polygons) names.push_back(polygon.surfaceName);
        EXPECT_EQ(names, expected);
        ASSERT_EQ(host.scene.surfaces.size(), seen.size());
        for (std::size_t slot = 0; slot < seen.size(); ++slot) {
            const std::vector<double> rgb = {((seen[slot] >> 16) & 0xFF) / 255.0,
                                             ((seen[slot] >> 8) & 0xFF) / 255.0,
                                             (seen[slot] & 0xFF) / 255.0};
            ASSERT_NE(host.scene.surfaces[slot].channel("BaseColor"), nullptr) << slot;
            EXPECT_EQ(*host.scene.surfaces[slot].channel("BaseColor"), rgb) << slot;
        }
    }
}

TEST_F(ModuleTest, ExistingSurfacesBearingTheNameAreRecoloured) {
    StandInHost host;
    host.addSurface("Surface 0");
    host.addSurface("surface 0");
    host.addSurface("", false);  // answers null for its name
    host.addSurface("Surface 00");
    host.addSurface("Surface 0");
    host.addSurface("Surface 1");  // no slot 1 in this import
    ASSERT_EQ(import(host, svg("<rect fill='#ff0000' width='1' height='1'/>")), 0);
    EXPECT_EQ(host.scene.surfaces.size(), 6u) << "no new surface: one already bears the name";
    for (std::size_t i : {0u, 4u})
        EXPECT_EQ(*host.scene.surfaces[i].channel("BaseColor"), (std::vector<double>{1, 0, 0})) << i;
    for (std::size_t i : {1u, 2u, 3u, 5u}) EXPECT_TRUE(host.scene.surfaces[i].channels.empty()) << i;
    EXPECT_EQ(channelCalls(host).size(), 4u);
}

TEST_F(ModuleTest, EverySurfaceOfASlotNameIsRecolouredHoweverMany) {
    // more surfaces of one slot's name than the match list first holds, among others
    StandInHost host;
    for (int i = 0; i < 40; ++i) host.addSurface(i % 3 == 1 ? "Surface 1" : "Surface 0");
    ASSERT_EQ(import(host, svg("<rect fill='#0000ff' width='1' height='1'/>"
                               "<rect fill='#ff0000' width='1' height='1'/>")), 0);
    ASSERT_EQ(host.scene.surfaces.size(), 40u);
    for (std::size_t i = 0; i < 40; ++i) {
        const std::vector<double> expected = i % 3 == 1 ? std::vector<double>{0, 0, 1}
                                                         : std::vector<double>{1, 0, 0};
        ASSERT_NE(host.scene.surfaces[i].channel("BaseColor"), nullptr) << i;
        EXPECT_EQ(*host.scene.surfaces[i].channel("BaseColor"), expected) << i;
    }
    EXPECT_EQ(channelCalls(host).size(), 80u);
}

TEST_F(ModuleTest, NullPointDropsOnlyItsPolygon) {
    StandInHost host;
    host.script.services.nullPoints = {1};  // the second point of the first path in the list
    ASSERT_EQ(import(host, svg("<rect fill='#0000ff' width='1' height='1'/>"
                               "<polygon fill='#ff0000' points='0,0 1,0 1,1'/>")), 0);
    EXPECT_EQ(host.countCalls("createPoint"), 7u);
    ASSERT_EQ(host.scene.polygons.size(), 1u);
    EXPECT_EQ(host.scene.polygons[0].surfaceName, "Surface 1");
    EXPECT_EQ(host.scene.polygons[0].points, (std::vector<long>{2, 3, 4, 5}));
    EXPECT_EQ(channelCalls(host), (std::vector<std::string>{transparency("Surface 1", opaque),
                                                             baseColor("Surface 1", blue)}));
}

TEST_F(ModuleTest, EveryPathBecomesOnePolygonOfAllItsPoints) {
    StandInHost host;
    ASSERT_EQ(import(host, svg("<line x1='0' y1='0' x2='4' y2='0'/>"
                               "<path d='M0 0 L1 0 L1 1'/>"
                               "<path d='M0 0 L1 0 L1 1 Z'/>")), 0);
    std::vector<std::size_t> sizes;
    for (const auto& polygon : host.scene.polygons) sizes.push_back(polygon.points.size());
    EXPECT_EQ(sizes, (std::vector<std::size_t>{3, 3, 2}));
    EXPECT_EQ(host.scene.points.size(), 8u) << "no point is shared";
}

TEST_F(ModuleTest, SurfaceNamesCountOnPastOneDigit) {
    std::string shapes;
    for (int i = 0; i < 101; ++i) {
        char fill[8];
        std::snprintf(fill, sizeof fill, "#%06x", i);
        shapes += std::string("<rect fill='") + fill + "' width='1' height='1'/>";
    }
    shapes += "<polyline points='0,0 1,0 2,0 3,0 4,0 5,0'/>";  // the largest path comes first
    StandInHost host;
    ASSERT_EQ(import(host, svg(shapes)), 0);
    ASSERT_EQ(host.scene.polygons.size(), 102u);
    for (std::size_t i = 0; i < host.scene.polygons.size(); ++i) {
        EXPECT_EQ(host.scene.polygons[i].surfaceName, "Surface " + std::to_string(i));
        EXPECT_EQ(host.scene.polygons[i].points.size(), i == 0 ? 6u : 4u) << i;
    }
}

TEST_F(ModuleTest, PolygonsNameTheirSlotWhateverSlotCameBefore) {
    // list order (last element first): repeats, steps back, jumps and rolls over to two digits
    const int slots[] = {0, 0, 1, 0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 9, 10, 2, 2, 10};
    std::string shapes;
    for (int slot : slots) {
        char fill[8];
        std::snprintf(fill, sizeof fill, "#%06x", slot + 1);
        shapes = std::string("<rect fill='") + fill + "' width='1' height='1'/>" + shapes;
    }
    StandInHost host;
    ASSERT_EQ(import(host, svg(shapes)), 0);
    std::vector<std::string> names, expected;
    for (const auto& polygon : host.scene.polygons) names.push_back(polygon.surfaceName);
    for (int slot : slots) expected.push_back("Surface " + std::to_string(slot));
    EXPECT_EQ(names, expected);
    EXPECT_EQ(host.scene.surfaces.size(), 11u);
}

TEST_F(ModuleTest, OnlyTheExactDecimalOfASlotNamesIt) {
    StandInHost host;
    const char* others[] = {"Surface 4294967296", "Surface 18446744073709551616",
                            "Surface 10000000000", "Surface 2", "Surface 1x", "Surface -0",
                            "Surface ", "Surface", "Sunface 1", "Surface_1"};
    for (const char* name : others) host.addSurface(name);
    host.addSurface("Surface 1");
    ASSERT_EQ(import(host, svg("<rect fill='#ff0000' width='1' height='1'/>"
                               "<rect fill='#0000ff' width='1' height='1'/>")), 0);
    for (std::size_t i = 0; i < std::size(others); ++i)
        EXPECT_TRUE(host.scene.surfaces[i].channels.empty()) << others[i];
    EXPECT_EQ(*host.scene.surfaces[std::size(others)].channel("BaseColor"),
              (std::vector<double>{1, 0, 0}));
}
