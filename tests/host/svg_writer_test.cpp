// The imported scene written back as SVG.
#include "host/svg_writer.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <sstream>
#include <string>
#include <vector>

#include "host/number_text.h"
#include "svg/parse_context.h"

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

TEST(SceneSvg, WritesNumbersWithoutExponents) {
    const struct { double value; const char* expected; } cases[] = {
        {0.25, "0.25"},
        {-0.0, "-0"},
        {1e-4, "0.0001"},
        {1e-5, "0.00001"},
        {-7.62939453125e-06, "-0.00000762939453"},
        {123456789.0, "123456789"},
        {1e9, "1000000000"},
        {-123456789012.0, "-123456789000"},
        {1.5e10, "15000000000"},
        {FLT_MAX, "340282347000000000000000000000000000000"},
    };
    for (const auto& c : cases) EXPECT_EQ(standin::plainNineDigitText(c.value), c.expected);
}

// What the tool writes, the module reads back point for point: the smallest and largest
// floats and those a printed exponent would have split into two numbers.
TEST(SceneSvg, ReadsBackAsWritten) {
    const std::vector<float> xs = {-7.62939453e-06f, 1e-5f, FLT_TRUE_MIN, 0.5f, FLT_MAX, -1e9f};
    const std::vector<float> ys = {32.5830841f, -3e-7f, 2.5e12f, FLT_MIN, -FLT_MAX, 4.0f};
    DrawnScene scene;
    scene.polygons = {{0, {}}};
    for (std::size_t i = 0; i < xs.size(); ++i) {
        scene.points.push_back({xs[i], -static_cast<double>(ys[i]), 0.0});
        scene.polygons[0].points.push_back(i);
    }
    scene.surfaces = {{"Surface 0", {{1, 0, 0}}, 0.0, 1}};
    std::ostringstream out;
    writeSceneSvg(out, scene);
    std::string text = out.str();
    PathList list = parseSvgText(text.data(), 0.1f);
    ASSERT_NE(list, nullptr);
    ASSERT_GE(list->pointCount, static_cast<std::int32_t>(xs.size()));
    for (std::size_t i = 0; i < xs.size(); ++i) {
        EXPECT_EQ(list->points[2 * i], xs[i]) << i << "\n" << text;
        EXPECT_EQ(list->points[2 * i + 1], ys[i]) << i;
    }
    freePathList(list);
}
