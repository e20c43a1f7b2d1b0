// The scene the tool's outputs share, built from a host scene and from a path list.
#include "host/drawn_scene.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "host/stand_in_host.h"

namespace {

std::vector<std::string> surfaceNames(const DrawnScene& scene) {
    std::vector<std::string> names;
    for (const DrawnSurface& surface : scene.surfaces) names.push_back(surface.name);
    return names;
}

}  // namespace

// Surfaces keep the host's order; a polygon on a name the host never listed adds its surface
// after them; polygons of one name share one surface.
TEST(DrawnScene, GroupsHostPolygonsBySurfaceName) {
    standin::HostScene host;
    host.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
    host.surfaces = {{"Surface 1", true, {{"BaseColor", {1, 0, 0}}}}, {"Surface 0", true, {}}};
    host.polygons = {{"Surface 0", {0, 1, 2}}, {"Surface 1", {0, 1}}, {"Other", {2}},
                     {"Surface 0", {1, 2}}, {"Other", {0}}};
    DrawnScene scene = sceneFromHost(host);
    EXPECT_EQ(surfaceNames(scene), (std::vector<std::string>{"Surface 1", "Surface 0", "Other"}));
    const std::size_t expectedSurface[] = {1, 0, 2, 1, 2};
    ASSERT_EQ(scene.polygons.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(scene.polygons[i].surface, expectedSurface[i]) << i;
    EXPECT_EQ(scene.surfaces[0].polygonCount, 1u);
    EXPECT_EQ(scene.surfaces[1].polygonCount, 2u);
    EXPECT_EQ(scene.surfaces[2].polygonCount, 2u);
    EXPECT_EQ(scene.surfaces[0].baseColor[0], 1.0);
}

// Corners the host never gave out (an id it refused, or one past its last point) are left out
// of the outline; a surface the module never coloured shows the host's default grey, and one it
// did shows its colour and transparency.
TEST(DrawnScene, KeepsOnlyWhatTheHostCanShow) {
    standin::HostScene host;
    host.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
    host.surfaces = {{"Surface 0", true, {}},
                     {"Surface 1", true, {{"BaseColor", {1, 0, 0}}, {"Transparency", {0.25}}}}};
    host.polygons = {{"Surface 0", {0, 3, -1, 2}}, {"Surface 1", {1}}};
    DrawnScene scene = sceneFromHost(host);
    ASSERT_EQ(scene.polygons.size(), 2u);
    EXPECT_EQ(scene.polygons[0].points, (std::vector<std::size_t>{0, 2}));
    ASSERT_EQ(scene.surfaces.size(), 2u);
    EXPECT_EQ(hexColor(scene.surfaces[0]), "#c8c8c8");
    EXPECT_EQ(scene.surfaces[0].transparency, 0.0);
    EXPECT_EQ(hexColor(scene.surfaces[1]), "#ff0000");
    EXPECT_EQ(scene.surfaces[1].transparency, 0.25);
}

// The bounds (of the report, the SVG and the pictures) hold the polygons that are drawn, and
// nothing else: not the finite corners of a polygon that is left out for its other corners.
TEST(DrawnScene, BoundsHoldOnlyDrawnPolygons) {
    const double inf = std::numeric_limits<double>::infinity();
    DrawnScene scene;
    scene.points = {{1, 2, 0}, {3, -4, 0}, {inf, 0, 0}, {0, std::nan(""), 0}, {9, 9, -inf},
                    {100, 100, 0}};
    scene.polygons = {{0, {0, 1, 2}}, {0, {3, 4, 1}}, {0, {}}, {0, {1, 5}}};
    const bool drawn[] = {false, false, false, true};
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(isDrawnPolygon(scene, scene.polygons[i]), drawn[i]) << i;
    DrawnBounds bounds = sceneBounds(scene);
    ASSERT_FALSE(bounds.empty);
    EXPECT_EQ(bounds.low, (std::array<double, 3>{{3, -4, 0}}));
    EXPECT_EQ(bounds.high, (std::array<double, 3>{{100, 100, 0}}));
    scene.polygons.pop_back();
    EXPECT_TRUE(sceneBounds(scene).empty);
}

// Fill keys take slots in the order they first appear, as the module numbers them.
TEST(DrawnScene, NumbersFillKeysInListOrder) {
    float corner[2] = {1.0f, 2.0f};
    const std::uint32_t keys[] = {0xFF0000FFu, 0xFF00FF00u, 0xFF0000FFu, 0x80FF0000u, 0xFF00FF00u};
    PathRecord records[5] = {};
    for (int i = 0; i < 5; ++i) {
        records[i] = {corner, 1, keys[i], 0, 1.0f, 1, 0, 1, i < 4 ? &records[i + 1] : nullptr};
    }
    DrawnScene scene = sceneFromPathList(records);
    EXPECT_EQ(surfaceNames(scene),
              (std::vector<std::string>{"Surface 0", "Surface 1", "Surface 2"}));
    const std::size_t expectedSurface[] = {0, 1, 0, 2, 1};
    ASSERT_EQ(scene.polygons.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(scene.polygons[i].surface, expectedSurface[i]) << i;
    EXPECT_EQ(scene.surfaces[1].polygonCount, 2u);
    EXPECT_NEAR(scene.surfaces[2].transparency, 1.0 - 128.0 / 255.0, 1e-12);
    EXPECT_EQ(scene.points.size(), 5u);
}

// Each channel is clamped to 0..1 and rounded to the nearest byte.
TEST(DrawnScene, WritesColoursAsRoundedHex) {
    const struct { std::array<double, 3> color; const char* hex; } cases[] = {
        {{{0.5, 0.5, 0.5}}, "#808080"}, {{{-1.0, 2.0, 0.25}}, "#00ff40"}, {{{0.0, 1.0, 0.999}}, "#00ffff"}};
    for (const auto& c : cases) {
        DrawnSurface surface;
        surface.baseColor = c.color;
        EXPECT_EQ(hexColor(surface), c.hex) << c.hex;
    }
}
