// OBJ + MTL output of a host scene.
#include "host/obj_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "module/host_fixture.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(WriteObj, WritesFacesLinesPointsAndMaterials) {
    standin::HostScene scene;
    scene.points = {{0, 0, 0}, {1, 0, 0}, {1, -1, 0}, {0.5, -0.25, 0}};
    scene.polygons = {{"Surface 0", {0, 1, 2}}, {"Surface 1", {2, 3}}, {"Surface 1", {3}},
                      {"Surface 0", {0, -1}}};
    scene.surfaces = {{"Surface 0", true, {{"Transparency", {0.25}}, {"BaseColor", {1, 0.5, 0}}}},
                      {"Surface 1", true, {}},
                      {"Surface/1", true, {}}};
    testing_host::TempDir dir;
    std::string error;
    ASSERT_TRUE(standin::writeObj(scene, dir.path + "/out.obj", error)) << error;
    EXPECT_EQ(readFile(dir.path + "/out.obj"),
              "# SVG outlines as built in the host\nmtllib out.mtl\n"
              "v 0 0 0\nv 1 0 0\nv 1 -1 0\nv 0.5 -0.25 0\n"
              "usemtl Surface_0\nf 1 2 3\nusemtl Surface_1\nl 3 4\np 4\n");
    EXPECT_EQ(readFile(dir.path + "/out.mtl"),
              "# host surface \"Surface 0\"\nnewmtl Surface_0\nKd 1.000000 0.500000 0.000000\n"
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

TEST(MaterialName, KeepsOnlyOneWordCharacters) {
    const struct { const char* surface; const char* material; } cases[] = {
        {"Surface 12", "Surface_12"}, {"a.b-c_d", "a.b-c_d"}, {"", "unnamed"}, {"x\ty#\xc3\xa9", "x_y___"}};
    for (const auto& c : cases) EXPECT_EQ(standin::materialName(c.surface), c.material) << c.surface;
}
