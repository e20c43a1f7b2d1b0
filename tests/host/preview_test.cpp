#include "host/preview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <unistd.h>

#include "host/svg_writer.h"
#include "module/host_fixture.h"
#include "tool_runner.h"

namespace {

DrawnScene sceneOf(std::string markup) {
    PathList list = parseSvgText(markup.data(), 0.1f);
    DrawnScene scene = sceneFromPathList(list);
    freePathList(list);
    return scene;
}

#ifdef POLYIN_HAS_PREVIEW
std::string temporaryPath(const char* name) {
    return ::testing::TempDir() + "polyin_" + std::to_string(::getpid()) + "_" + name;
}

constexpr std::uint32_t red = 0xFFFF0000u;
constexpr std::uint32_t blue = 0xFF0000FFu;

// The pixel where the drawing's point (x, y) lands, in the given panel of a comparison.
std::uint32_t pixelAt(const PreviewImage& image, const CanvasFit& fit, double x, double y,
                      int panel = 0) {
    return image.at(static_cast<int>(panel * (fit.width + comparePanelGap) + fit.margin +
                                     (x - fit.box.left) * fit.scale),
                    static_cast<int>(fit.margin + (y - fit.box.top) * fit.scale));
}
#endif

}  // namespace

#ifdef POLYIN_HAS_PREVIEW

TEST(CanvasFit, KeepsTheAspectWithinTheLongSide) {
    const struct { ViewBox box; int size; int width; int height; double scale; } cases[] = {
        {{0, 0, 100, 50}, 1024, 1024, 528, 9.92},
        {{-5, 3, 10, 40}, 256, 70, 256, 6.2},
        {{0, 0, 0, 0}, 64, 4, 4, 1.0},
    };
    for (const auto& c : cases) {
        CanvasFit fit = fitCanvas(c.box, c.size);
        EXPECT_EQ(fit.width, c.width);
        EXPECT_EQ(fit.height, c.height);
        EXPECT_DOUBLE_EQ(fit.scale, c.scale);
    }
}

TEST(Preview, PaintsEachPolygonInItsSurfaceColour) {
    const struct Probe { double x, y; std::uint32_t expected; } noProbe{0, 0, 0};
    const struct { const char* markup; Probe probes[4]; } cases[] = {
        // A red square below a blue one in the drawing (y is flipped back), two empty corners.
        {"<rect fill=\"#ff0000\" y=\"10\" width=\"10\" height=\"10\"/>"
         "<rect fill=\"#0000ff\" x=\"10\" width=\"10\" height=\"10\"/>",
         {{5, 15, red}, {15, 5, blue}, {5, 5, previewBackground}, {15, 15, previewBackground}}},
        // The later shape covers the earlier one where they overlap.
        {"<rect fill=\"#ff0000\" width=\"10\" height=\"10\"/>"
         "<rect fill=\"#0000ff\" x=\"5\" width=\"10\" height=\"10\"/>",
         {{2.5, 5, red}, {7.5, 5, blue}, noProbe, noProbe}},
        // Alpha 1 - Transparency over the background; a fully transparent fill shows nothing.
        {"<rect fill=\"#000000\" fill-opacity=\"0.5\" width=\"10\" height=\"10\"/>"
         "<rect fill=\"#ff0000\" fill-opacity=\"0\" x=\"20\" width=\"10\" height=\"10\"/>",
         {{5, 5, 0xFF808080u}, {25, 5, previewBackground}, noProbe, noProbe}},
    };
    for (const auto& c : cases) {
        DrawnScene scene = sceneOf(c.markup);
        CanvasFit fit = fitCanvas(sceneViewBox(scene), 200);
        PreviewImage image = renderPreview(scene, fit);
        ASSERT_EQ(std::max(image.width, image.height), 200) << c.markup;
        for (const Probe& probe : c.probes) {
            if (probe.expected == 0) continue;
            EXPECT_EQ(pixelAt(image, fit, probe.x, probe.y), probe.expected)
                << c.markup << " at " << probe.x << ", " << probe.y;
        }
    }
}

TEST(Preview, WritesAPngOfTheRequestedSize) {
    DrawnScene scene = sceneOf("<rect fill=\"#ff0000\" width=\"30\" height=\"10\"/>");
    std::string file = temporaryPath("preview.png");
    std::string error;
    ASSERT_TRUE(writePreviewPng(file, scene, 300, error)) << error;
    PreviewImage image;
    ASSERT_TRUE(readPng(file, image));
    EXPECT_EQ(image.width, 300);
    EXPECT_EQ(image.at(150, image.height / 2), red);
    EXPECT_FALSE(writePreviewPng("/nonexistent-dir/x.png", scene, 300, error));
    EXPECT_NE(error.find("/nonexistent-dir/x.png"), std::string::npos);
    std::remove(file.c_str());
}

#endif

#ifdef POLYIN_HAS_COMPARE

TEST(Preview, ComparesTheOriginalBesideTheImportAtOneScale) {
    // The ellipse shows only on the left; the rect on both sides at the same place.
    const char* markup =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"40\" height=\"20\" viewBox=\"0 0 40 20\">"
        "<rect fill=\"#ff0000\" width=\"10\" height=\"10\"/>"
        "<ellipse fill=\"#0000ff\" cx=\"30\" cy=\"10\" rx=\"8\" ry=\"8\"/></svg>";
    std::string svgFile = temporaryPath("compare.svg");
    std::ofstream(svgFile) << markup;
    DrawnScene scene = sceneOf(markup);
    std::string pngFile = temporaryPath("compare.png");
    std::string error;
    ASSERT_TRUE(writeComparePng(pngFile, svgFile, scene, 400, error)) << error;
    PreviewImage image;
    ASSERT_TRUE(readPng(pngFile, image));
    CanvasFit fit = fitCanvas({0, 0, 40, 20}, 400);
    ASSERT_EQ(image.width, 2 * fit.width + comparePanelGap);
    EXPECT_EQ(pixelAt(image, fit, 5, 5, 0), red);
    EXPECT_EQ(pixelAt(image, fit, 5, 5, 1), red);
    EXPECT_EQ(pixelAt(image, fit, 30, 10, 0), blue);
    EXPECT_EQ(pixelAt(image, fit, 30, 10, 1), previewBackground);
    EXPECT_FALSE(writeComparePng(pngFile, "/nonexistent.svg", scene, 400, error));
    std::remove(svgFile.c_str());
    std::remove(pngFile.c_str());
}

// Content outside the document's viewBox still shows: both panels grow to hold it.
TEST(Preview, ComparesContentOutsideTheViewBox) {
    const char* markup = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 10 10\">"
                         "<rect fill=\"#ff0000\" x=\"30\" width=\"10\" height=\"10\"/></svg>";
    std::string svgFile = temporaryPath("outside.svg");
    std::ofstream(svgFile) << markup;
    std::string pngFile = temporaryPath("outside.png");
    std::string error;
    ASSERT_TRUE(writeComparePng(pngFile, svgFile, sceneOf(markup), 400, error)) << error;
    PreviewImage image;
    ASSERT_TRUE(readPng(pngFile, image));
    CanvasFit fit = fitCanvas({0, 0, 40, 10}, 400);
    ASSERT_EQ(image.width, 2 * fit.width + comparePanelGap);
    ASSERT_EQ(image.height, fit.height);
    EXPECT_EQ(pixelAt(image, fit, 35, 5, 1), red);
    EXPECT_EQ(pixelAt(image, fit, 5, 5, 1), previewBackground);
    std::remove(svgFile.c_str());
    std::remove(pngFile.c_str());
}

// A file name that reads like a link ("file:...") still names the file itself: the original's
// panel shows that file, red here, and never the blue one the link would lead to.
TEST(Preview, ComparesTheFileOfTheNameAsGiven) {
    testing_host::TempDir dir;
    auto square = [](const char* colour) {
        return std::string("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\">"
                           "<rect fill=\"") + colour + "\" width=\"10\" height=\"10\"/></svg>";
    };
    dir.write("drawing.svg", square("#0000ff"));
    char previous[PATH_MAX];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.path.c_str()), 0);  // the names below are relative
    for (const std::string& name :
         {std::string("plain.svg"), std::string("file:drawing.svg"), "file:" + dir.path + "/drawing.svg"}) {
        SCOPED_TRACE(name);
        dir.write(name, square("#ff0000"));
        std::string error;
        EXPECT_TRUE(writeComparePng("compare.png", name, sceneOf(square("#ff0000")), 64, error))
            << error;
        PreviewImage image;
        if (!readPng("compare.png", image)) continue;
        CanvasFit fit = fitCanvas({0, 0, 10, 10}, 64);
        EXPECT_EQ(pixelAt(image, fit, 5, 5, 0), red);
        EXPECT_EQ(pixelAt(image, fit, 5, 5, 1), red);
    }
    ASSERT_EQ(chdir(previous), 0);
}

#endif

TEST(SceneSvg, WritesPolygonsBackWithYFlipped) {
    DrawnScene scene = sceneOf(
        "<rect fill=\"#ff0000\" fill-opacity=\"0.5\" x=\"1\" y=\"2\" width=\"3\" height=\"4\"/>");
    std::ostringstream out;
    writeSceneSvg(out, scene);
    const std::string svg = out.str();
    EXPECT_NE(svg.find("viewBox=\"1 2 3 4\""), std::string::npos) << svg;
    EXPECT_NE(svg.find("fill=\"#ff0000\" fill-opacity=\"0.498039216\""), std::string::npos) << svg;
    EXPECT_NE(svg.find("d=\"M1 2 L4 2 L4 6 L1 6 Z\""), std::string::npos) << svg;
    // What we write, the reader reads back to the same points.
    DrawnScene again = sceneOf(svg);
    ASSERT_EQ(again.points.size(), scene.points.size());
    for (std::size_t i = 0; i < scene.points.size(); ++i) EXPECT_EQ(again.points[i], scene.points[i]);
}

TEST(ImportToolPictures, WritesThePicturesItIsAskedFor) {
    testing_host::TempDir dir;
    std::string input = dir.write("square.svg", testing_host::svg("<rect fill='#ff0000' width='10' height='10'/>"));
    const std::string out = " -o '" + dir.path + "/out/'";
    testing_host::ToolRun run = testing_host::runImportTool(
        "'" + input + "' --size 64 --preview '" + dir.path + "/p.png' --svg '" + dir.path +
        "/back.svg'" + out);
#ifdef POLYIN_HAS_PREVIEW
    ASSERT_EQ(run.status, 0) << run.output;
    PreviewImage image;
    ASSERT_TRUE(readPng(dir.path + "/p.png", image));
    EXPECT_EQ(image.width, 64);
    EXPECT_EQ(image.at(32, 32), red);
    EXPECT_TRUE(std::ifstream(dir.path + "/back.svg").good());
#else
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("this build has no preview"), std::string::npos) << run.output;
#endif
    testing_host::ToolRun small = testing_host::runImportTool("'" + input + "' --size 5" + out);
    EXPECT_EQ(small.status, 2);
    EXPECT_NE(small.output.find("--size takes a whole number from 16 to 16384"), std::string::npos)
        << small.output;
}

// Surfaces the host already had may bear any name; the SVG stays well-formed.
TEST(SceneSvg, EscapesSurfaceNames) {
    DrawnScene scene = sceneOf("<rect fill=\"#ff0000\" width=\"1\" height=\"1\"/>");
    scene.surfaces.front().name = "R&D <main>\x01\"";
    std::ostringstream out;
    writeSceneSvg(out, scene);
    EXPECT_NE(out.str().find("<title>R&amp;D &lt;main&gt;?\"</title>"), std::string::npos) << out.str();
}

#ifdef POLYIN_HAS_COMPARE
// The comparison of a.svg and the preview of a-compare.svg would share a name: the second
// file's outputs take another stem, as a second file of the same name does, rather than
// overwrite the first's.
TEST(ImportToolPictures, KeepsAnEarlierFilesPicture) {
    testing_host::TempDir dir;
    const std::string square = testing_host::svg("<rect fill='#ff0000' width='10' height='10'/>");
    std::string a = dir.write("a.svg", square);
    std::string b = dir.write("a-compare.svg", square);
    const std::string out = " '" + dir.path + "/out/'";
    testing_host::ToolRun run = testing_host::runImportTool(
        "'" + a + "' '" + b + "' --size 32 -o" + out + " --preview" + out + " --compare" + out);
    EXPECT_EQ(run.status, 0) << run.output;
    PreviewImage image;
    ASSERT_TRUE(readPng(dir.path + "/out/a-compare.png", image));
    EXPECT_EQ(image.width, 2 * 32 + comparePanelGap);
    ASSERT_TRUE(readPng(dir.path + "/out/a-compare-2.png", image));
    EXPECT_EQ(image.width, 32);
    ASSERT_TRUE(readPng(dir.path + "/out/a-compare-2-compare.png", image));
    EXPECT_EQ(image.width, 2 * 32 + comparePanelGap);
}
#endif

#ifdef POLYIN_HAS_COMPARE
// Asked for the comparison alone, the tool still draws the import beside the original.
TEST(ImportToolPictures, DrawsTheImportIntoAComparisonAskedForAlone) {
    testing_host::TempDir dir;
    std::string input = dir.write("square.svg", testing_host::svg("<rect fill='#ff0000' width='10' height='10'/>"));
    testing_host::ToolRun run = testing_host::runImportTool(
        "'" + input + "' --size 32 -o '" + dir.path + "/out/' --compare '" + dir.path + "/c.png'");
    ASSERT_EQ(run.status, 0) << run.output;
    PreviewImage image;
    ASSERT_TRUE(readPng(dir.path + "/c.png", image));
    const int panelWidth = (image.width - comparePanelGap) / 2;
    int redInImport = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = panelWidth + comparePanelGap; x < image.width; ++x)
            redInImport += image.at(x, y) == red;
    EXPECT_GT(redInImport, 0);
}
#endif

// A polygon through a point at infinity or NaN has no outline to write; the others keep theirs
// and the view fits them alone.
TEST(SceneSvg, LeavesOutPolygonsThroughPointsAtNoFinitePlace) {
    const double inf = std::numeric_limits<double>::infinity();
    DrawnScene scene;
    scene.points = {{0, -1, 0}, {2, -1, 0}, {2, -2, 0}, {inf, -1, 0}, {1, std::nan(""), 0}};
    scene.polygons = {{0, {0, 1, 2}}, {0, {0, 3, 1}}, {0, {4, 1, 2}}};
    scene.surfaces = {{"Surface 0", {{1, 0, 0}}, 0.0, 3}};
    std::ostringstream out;
    writeSceneSvg(out, scene);
    const std::string svg = out.str();
    EXPECT_NE(svg.find("viewBox=\"0 1 2 1\""), std::string::npos) << svg;
    EXPECT_NE(svg.find("d=\"M0 1 L2 1 L2 2 Z\""), std::string::npos) << svg;
    EXPECT_EQ(svg.find("<path"), svg.rfind("<path")) << svg;
    EXPECT_EQ(svg.find("inf"), std::string::npos) << svg;
    EXPECT_EQ(svg.find("nan"), std::string::npos) << svg;
}

TEST(SceneSvg, KeepsTheDocumentOrder) {
    DrawnScene scene = sceneOf("<rect fill=\"#ff0000\" width=\"1\" height=\"1\"/>"
                               "<rect fill=\"#0000ff\" width=\"1\" height=\"1\"/>");
    std::ostringstream out;
    writeSceneSvg(out, scene);
    const std::string svg = out.str();
    EXPECT_LT(svg.find("#ff0000"), svg.find("#0000ff")) << svg;
}
