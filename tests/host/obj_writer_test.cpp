// OBJ + MTL output of a host scene.
#include "host/obj_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "host/number_text.h"
#include "module/host_fixture.h"

using testing_host::readFile;

namespace {

// The OBJ and MTL texts a scene is written as, to "out.obj" in a fresh directory.
struct WrittenScene {
    std::string obj, mtl;
};

WrittenScene writtenAsObj(const standin::HostScene& scene) {
    testing_host::TempDir dir;
    std::string error;
    bool written = standin::writeObj(scene, dir.path + "/out.obj", error);
    EXPECT_TRUE(written) << error;
    if (!written) return {};
    return {readFile(dir.path + "/out.obj"), readFile(dir.path + "/out.mtl")};
}

}  // namespace

TEST(WriteObj, WritesFacesLinesPointsAndMaterials) {
    standin::HostScene scene;
    scene.points = {{0, 0, 0}, {1, 0, 0}, {1, -1, 0}, {0.5, -0.25, 0}};
    scene.polygons = {{"Surface 0", {0, 1, 2}}, {"Surface 1", {2, 3}}, {"Surface 1", {3}},
                      {"Surface 0", {0, -1}}};
    scene.surfaces = {{"Surface 0", true, {{"Transparency", {0.25}}, {"BaseColor", {1, 0.5, 0.25}}}},
                      {"Surface 1", true, {}},
                      {"Surface/1", true, {}}};
    const WrittenScene written = writtenAsObj(scene);
    EXPECT_EQ(written.obj,
              "# SVG outlines as built in the host\nmtllib out.mtl\n"
              "v 0 0 0\nv 1 0 0\nv 1 -1 0\nv 0.5 -0.25 0\n"
              "usemtl Surface_0\nf 1 2 3\nusemtl Surface_1\nl 3 4\np 4\n");
    EXPECT_EQ(written.mtl,
              "# host surface \"Surface 0\"\nnewmtl Surface_0\nKd 1.000000 0.500000 0.250000\n"
              "d 0.750000\n\n"
              "# host surface \"Surface 1\"\nnewmtl Surface_1\nKd 1.000000 1.000000 1.000000\n"
              "d 1.000000\n\n"
              "# host surface \"Surface/1\"\nnewmtl Surface_1_2\nKd 1.000000 1.000000 1.000000\n"
              "d 1.000000\n\n");
}

TEST(WriteObj, ReportsAnUnwritablePath) {
    testing_host::TempDir dir;
    std::string notADirectory = dir.write("file", "");
    std::string error;
    EXPECT_FALSE(standin::writeObj({}, notADirectory + "/out.obj", error));
    EXPECT_NE(error.find(notADirectory + "/out.mtl"), std::string::npos) << error;
}

// The material library sits beside the OBJ under a name the "mtllib" line can carry whole.
TEST(WriteObj, NamesTheMaterialLibrarySafely) {
    const struct { const char* obj; const char* mtl; } cases[] = {
        {"out.obj", "out.mtl"}, {"my logo.obj", "my_logo.mtl"}, {"a\tb", "a_b.mtl"},
        {"#1.obj", "_1.mtl"}, {"logo.mtl", "logo.mtl.mtl"}, {"v1.2/x", "x.mtl"},
        {"v1.2/.obj", ".mtl"}};
    for (const auto& c : cases) {
        testing_host::TempDir dir;
        ASSERT_TRUE(std::filesystem::create_directories(dir.path + "/v1.2"));
        standin::HostScene scene;
        scene.points = {{0, 0, 0}};
        scene.polygons = {{"Surface 0", {0}}};
        scene.surfaces = {{"Surface 0", true, {}}};
        std::string error;
        ASSERT_TRUE(standin::writeObj(scene, dir.path + "/" + c.obj, error)) << error;
        std::string obj = readFile(dir.path + "/" + c.obj);
        EXPECT_NE(obj.find(std::string("\nmtllib ") + c.mtl + "\n"), std::string::npos) << obj;
        EXPECT_NE(obj.find("\np 1\n"), std::string::npos) << obj;
        std::string mtlDir = std::strchr(c.obj, '/') != nullptr ? dir.path + "/v1.2/" : dir.path + "/";
        EXPECT_NE(readFile(mtlDir + c.mtl).find("newmtl Surface_0"), std::string::npos) << c.obj;
    }
    // a name without a directory is cleaned from its first character
    for (const auto& c : cases) {
        if (std::strchr(c.obj, '/') == nullptr) {
            EXPECT_EQ(standin::materialLibraryPath(c.obj), c.mtl) << c.obj;
        }
    }
    EXPECT_EQ(standin::materialLibraryPath(" a.obj"), "_a.mtl");
}

// OBJ readers reject "inf" and "nan": such a point keeps its index at the origin and the
// polygons through it are left out.
TEST(WriteObj, LeavesOutPolygonsThroughPointsAtNoFinitePlace) {
    const double inf = std::numeric_limits<double>::infinity();
    standin::HostScene scene;
    scene.points = {{0, 0, 0}, {inf, 0, 0}, {1, std::nan(""), 0}, {1, 1, 0}};
    scene.polygons = {{"Surface 0", {0, 1, 3}}, {"Surface 0", {2, 3}}, {"Surface 0", {0, 3}}};
    scene.surfaces = {{"Surface 0", true, {}}};
    EXPECT_EQ(writtenAsObj(scene).obj,
              "# SVG outlines as built in the host\nmtllib out.mtl\n"
              "v 0 0 0\nv 0 0 0\nv 0 0 0\nv 1 1 0\nusemtl Surface_0\nl 1 4\n");
}

// Surfaces sharing a name: the first one's material is used. A line break in a name stays
// inside its comment, and a polygon without corners writes no statement at all.
TEST(WriteObj, CopesWithAwkwardSurfacesAndPolygons) {
    standin::HostScene scene;
    scene.points = {{0, 0, 0}, {1, 0, 0}};
    scene.surfaces = {{"A", true, {}}, {"A", true, {{"BaseColor", {0, 1, 0}}}},
                      {"line\nbreak", true, {}}, {"Surface 9", false, {}}};
    scene.polygons = {{"A", {0, 1}}, {"line\nbreak", {}}, {"A", {1}}};
    const WrittenScene written = writtenAsObj(scene);
    EXPECT_EQ(written.obj,
              "# SVG outlines as built in the host\nmtllib out.mtl\n"
              "v 0 0 0\nv 1 0 0\nusemtl A\nl 1 2\np 2\n");
    const std::string& mtl = written.mtl;
    EXPECT_NE(mtl.find("\n# host surface \"A\"\nnewmtl A_2\nKd 0.000000 1.000000 0.000000\n"),
              std::string::npos) << mtl;
    EXPECT_NE(mtl.find("\n# host surface \"line?break\"\nnewmtl line_break\n"), std::string::npos)
        << mtl;
    // a surface the host answers no name for shows none in its comment either
    EXPECT_NE(mtl.find("\n# host surface \"\"\nnewmtl unnamed\n"), std::string::npos) << mtl;
}

// A scene whose OBJ text is many times the writer's buffer comes out whole and in order.
TEST(WriteObj, WritesLargeScenesWhole) {
    constexpr long pointCount = 30000;
    standin::HostScene scene;
    scene.surfaces = {{"Surface 0", true, {}}};
    std::string expected = "# SVG outlines as built in the host\nmtllib out.mtl\n";
    for (long i = 0; i < pointCount; ++i) {
        const double x = static_cast<double>(i) / 7.0, y = -static_cast<double>(i % 1000) / 3.0;
        scene.points.push_back({x, y, 0});
        expected += "v " + standin::nineDigitText(x) + " " + standin::nineDigitText(y) + " 0\n";
    }
    expected += "usemtl Surface_0\n";
    for (long i = 0; i + 2 < pointCount; i += 3) {
        scene.polygons.push_back({"Surface 0", {i, i + 1, i + 2}});
        expected += "f " + std::to_string(i + 1) + " " + std::to_string(i + 2) + " " +
                    std::to_string(i + 3) + "\n";
    }
    const std::string obj = writtenAsObj(scene).obj;
    ASSERT_GT(expected.size(), std::size_t{4} << 16);
    EXPECT_EQ(obj.size(), expected.size());
    const auto differ = std::mismatch(obj.begin(), obj.end(), expected.begin(), expected.end());
    EXPECT_TRUE(differ.first == obj.end() && differ.second == expected.end())
        << "first difference at byte " << (differ.first - obj.begin());
}

TEST(MaterialName, KeepsOnlyOneWordCharacters) {
    const struct { const char* surface; const char* material; } cases[] = {
        {"Surface 12", "Surface_12"}, {"a.b-c_d", "a.b-c_d"}, {"", "unnamed"}, {"x\ty#\xc3\xa9", "x_y___"}};
    for (const auto& c : cases) EXPECT_EQ(standin::materialName(c.surface), c.material) << c.surface;
}

// The OBJ and SVG numbers are what "%.9g" prints, for every kind of double the host may hold.
TEST(NineDigitText, MatchesTheFormattedPrint) {
    std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.5, 123456789.0, 1234567890.0,
                                  1e-5, 0.0001, 0.00012345678912, 999999999.5, 9.999999995e-5,
                                  1e300, -1e-300, 5e-324, 3.4028234663852886e38, 1e16,
                                  // ties to even, carries, the edges of the fixed form, whole
                                  // numbers, as drawings' floats widened
                                  1234567.125, 1234567.375, -1234567.625, 99999999.5,
                                  0.0001f, 9.99999975e-05f, 0.000123456791f, 0.1f, -2.5f,
                                  16777216.0, 2147483648.0, 999999999.0, 1e9, 4503599627370497.0,
                                  // whole numbers of few bits far above 2^32, and values just
                                  // above a power of ten whose first digit lies one place higher
                                  // than their power of two suggests
                                  0x1p64, 0x1p70, 0x3p65, 10.0 + 0x1p-27, 0x1.999999ap-4,
                                  1000.0 + 0x1p-20,
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN(),
                                  -std::numeric_limits<double>::quiet_NaN()};
    std::mt19937_64 random(7);
    for (int i = 0; i < 100000; ++i) {
        std::uint64_t bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        values.push_back(value);
        // the coordinates of drawings: floats of moderate size, x and -y
        values.push_back(static_cast<double>(static_cast<float>(
            std::ldexp(static_cast<double>(bits >> 40) - 8388608.0, static_cast<int>(bits % 40) - 30))));
    }
    for (double value : values) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.9g", value);
        ASSERT_EQ(standin::nineDigitText(value), expected) << expected;
    }
}
