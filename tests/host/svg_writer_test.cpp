// The imported scene written back as SVG.
#include "host/svg_writer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

// One rectangle from (0, 0) to (width, height) in the drawing, on a surface of the given name.
DrawnScene rectangleScene(double width, double height, const std::string& name) {
    DrawnScene scene;
    scene.points = {{0, 0, 0}, {width, 0, 0}, {width, -height, 0}, {0, -height, 0}};
    scene.polygons = {{0, {0, 1, 2, 3}}};
    scene.surfaces = {{name, {{1, 0, 0}}, 0.0, 1}};
    return scene;
}

}  // namespace

TEST(SceneSvg, SizesTheViewAndStrokesToTheScene) {
    const struct { DrawnScene scene; const char* expected; } cases[] = {
        // nothing arrived: a unit page rather than a degenerate one
        {DrawnScene{}, "viewBox=\"0 0 1 1\""},
        // the outline is a 1024th of the width, whatever the height
        {rectangleScene(5, 2.307, "Surface 0"), "stroke-width=\"0.0048828125\""},
        {rectangleScene(2.307, 5, "Surface 0"), "stroke-width=\"0.00225292969\""},
        // a line break is valid XML text and kept; other control characters are not
        {rectangleScene(1, 1, "two\nlines"), "<title>two\nlines</title>"},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        writeSceneSvg(out, c.scene);
        EXPECT_NE(out.str().find(c.expected), std::string::npos) << c.expected << "\n" << out.str();
    }
}
