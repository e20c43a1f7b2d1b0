#include "host/report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>

#include "host/import_run.h"
#include "module/host_fixture.h"
#include "tool_runner.h"

namespace {

const Finding* findConstruct(const PreflightReport& report, Construct construct) {
    for (const Finding& finding : report.findings)
        if (finding.construct == construct) return &finding;
    return nullptr;
}

std::string describe(const PreflightReport& report) {
    std::ostringstream out;
    writeFindings(out, report);
    return out.str();
}

}  // namespace

TEST(PreflightReport, NamesEachConstructOnItsLine) {
    const struct {
        const char* markup;
        Construct construct;
        const char* subject;
        std::size_t count;
        int line;
    } cases[] = {
        {"<svg>\n<ellipse rx=\"1\" ry=\"1\"/>", Construct::UnreadElement, "ellipse", 1, 2},
        {"<svg>\n\n<text>Hi</text><text>Ho</text>", Construct::UnreadElement, "text", 2, 3},
        {"<svg><use href=\"#a\"/>", Construct::UnreadElement, "use", 1, 1},
        {"<svg>\n<image width=\"1\"/>", Construct::UnreadElement, "image", 1, 2},
        {"<symbol>\n<rect width=\"1\" height=\"1\"/></symbol>", Construct::HelperContentDrawn,
         "symbol", 1, 2},
        {"<clipPath><g><path d=\"M0 0 L1 1\"/></g></clipPath>", Construct::HelperContentDrawn,
         "clipPath", 1, 1},
        {"<title>Logo</title><metadata>\n<rect width=\"1\" height=\"1\"/></metadata>",
         Construct::HelperContentDrawn, "metadata", 1, 2},
        {"<linearGradient id=\"g\"/>", Construct::GradientElement, "linearGradient", 1, 1},
        {"<style>.a{fill:red}</style>", Construct::StyleSheet, "style", 1, 1},
        {"<rect\n class=\"a\" width=\"1\" height=\"1\"/>", Construct::ClassAttribute, "", 1, 2},
        {"<RECT width=\"1\" height=\"1\"/>", Construct::NameCaseOrPrefix, "RECT", 1, 1},
        {"\n<svg:path d=\"M0 0 L1 1\"/>", Construct::NameCaseOrPrefix, "svg:path", 1, 2},
        {"<rect/>", Construct::SelfClosingNoSpace, "rect", 1, 1},
        {"<defs>\n<circle r=\"1\"/><path d=\"M0 0\"/></defs>", Construct::DrawableInDefs,
         "circle", 1, 2},
        {"<defs><defs></defs>\n<rect width=\"1\" height=\"1\"/></defs>",
         Construct::DrawnDespiteDefs, "rect", 1, 2},
        {"<defs></g></z>\n<circle r=\"1\"/></defs>", Construct::DrawableInDefs, "circle", 1, 2},
        {"<svg fill=\"#ff0000\">", Construct::ContainerStyling, "svg fill", 1, 1},
        {"<a style=\"fill:#ff0000\"><rect width=\"1\" height=\"1\"/></a>",
         Construct::ContainerStyling, "a fill", 1, 1},
        {"<path\nd=\"M0 0 A 5 5 0 0 1 10 10 a 1 1 0 0 0 2 2\"/>", Construct::PathArc, "", 2, 2},
        {"<path d=\"M0 0 1e-5 2 L 3E+2 1\"/>", Construct::PathSignedExponent, "", 2, 1},
        {"<path d=\"M 10 20 30 L 40 50\"/>", Construct::PathHeldNumbers, "", 2, 1},
        {"<path d=\" L 1 1 2 2\"/><path d=\"z M 1 1 L 2 2\"/><path d=\"m 1 1 L 2 2\"/>",
         Construct::PathWithoutMoveTo, "", 2, 1},
        {"<svg>\n<path d=\"M0 0 V 9.1.027 L 1e5e5 1 --5 2\"/>", Construct::NumberReadInPart, "", 3, 2},
        {"<polygon points=\"1 2 96.71.22 1e2 3 4\"/>", Construct::NumberReadInPart, "", 1, 1},
        {"<polyline points=\"0,0 L 10,10 x\"/>", Construct::PointsStrayCharacter, "", 2, 1},
        {"<rect width=\"-1\" height=\"1\"/><rect height=\"-1\" width=\"2\"/>\n<rect width=\"-1\"/>",
         Construct::NegativeSize, "rect", 2, 1},
        {"<circle r=\"5\"/>\n<circle r=\"1\"\n r=\"-2\"/>", Construct::NegativeSize, "circle", 1, 3},
        // a bare exponent is read in part unless a signed exponent follows it, counted apart
        {"<path d=\"M0 0 L1e 5 3e-1 3 4e\"/>", Construct::NumberReadInPart, "", 2, 1},
        {"<path d=\"M0 0 L1e 5 1e-.5 2\"/>", Construct::NumberReadInPart, "", 1, 1},
        // only the first 63 characters of a number count
        {"<path d=\"M0 0 L 000000000000000000000000000000000000000000000000000000000000001234 1\"/>",
         Construct::NumberReadInPart, "", 1, 1},
        {"<path d=\"M0 0 C 1 2 3 4 5 L 6 7\"/>", Construct::PathHeldNumbers, "", 7, 1},
        {"<path d=\"M 0 0 Z 4 5\"/>", Construct::PathHeldNumbers, "", 2, 1},
        {"<path d=\"M0 0 L 1 1 2 m 3 3\"/>", Construct::PathHeldNumbers, "", 1, 1},
        {"<path d=\"M 0 0 L 5 5 X 1 2 3 L 6 6\"/>", Construct::PathUnknownCommand, "", 1, 1},
        {"<path d=\"M0 0 L1 1\">\n<path d=\"M0 0 L2 2\"/>\n<path d=\"M0 0 L3 3\"/>",
         Construct::PathAfterOpenTag, "", 1, 2},
        {"<path d=\"M0 0 L1 1\" fill=\"#ff0000\"/>", Construct::AttributeAfterD, "fill", 1, 1},
        // only an attribute after the style counts, and not after d, where it reaches nothing
        {"<rect fill=\"#00ff00\" style=\"fill:#ff0000\" fill-opacity=\"1\" width=\"1\" height=\"1\"/>"
         "<rect style=\"fill:#ff0000\" fill=\"#00ff00\" width=\"1\" height=\"1\"/>"
         "<path style=\"fill:#ff0000\" d=\"M0 0 L1 1\" fill=\"#00ff00\"/>",
         Construct::AttributeAfterStyle, "fill", 1, 1},
        {"<rect style=\"/* red */fill:#ff0000\" width=\"1\" height=\"1\"/>", Construct::StyleComment,
         "", 1, 1},
        {"<polygon points=\"0,0 1e-5,2 3,3\"/>", Construct::PointsSignedExponent, "", 1, 1},
        {"<polygon points=\"0,0 1,1 2,0\" fill=\"#abc\"/>", Construct::ShortHexColor, "\"#abc\"",
         1, 1},
        {"<rect fill=\"red\" width=\"1\" height=\"1\"/>", Construct::NonHexColor, "\"red\"", 1, 1},
        {"<rect style=\"fill:rgb(1,2,3)\" width=\"1\" height=\"1\"/>", Construct::NonHexColor,
         "\"rgb(1,2,3)\"", 1, 1},
        {"<g fill=\"url(#g)\">", Construct::NonHexColor, "\"url(#g)\"", 1, 1},
        // a long value is cut short to keep the report line readable
        {"<g fill=\"url(#a-gradient-with-a-rather-long-name-indeed)\">", Construct::NonHexColor,
         "\"url(#a-gradient-with-a-rather-long-name-...\"", 1, 1},
        // the reader skips only spaces before the "#"; the blank that stops it is shown
        {"<rect fill=\" \t#ff0000 \" width=\"1\" height=\"1\"/>", Construct::NonHexColor,
         "\"\\t#ff0000\"", 1, 1},
        {"<rect fill=\"\n#ff0000\" width=\"1\" height=\"1\"/>", Construct::NonHexColor,
         "\"\\n#ff0000\"", 1, 1},
        {"<rect fill=\"#f00\" width=\"1\" height=\"1\"/>", Construct::ShortHexColor, "\"#f00\"", 1, 1},
        {"<rect fill=\"#ff000080\" width=\"1\" height=\"1\"/>", Construct::AlphaHexColor,
         "\"#ff000080\"", 1, 1},
        {"<rect fill=\"#f008\" width=\"1\" height=\"1\"/>", Construct::AlphaHexColor,
         "\"#f008\"", 1, 1},
        {"<g fill-opacity=\"50%\">", Construct::OpacityOutOfRange, "\"50%\"", 1, 1},
        {"<g transform=\"rotate(45) skewX(3) rotate(1)\">", Construct::IgnoredTransform, "rotate",
         2, 1},
        {"<g style=\"transform: skewY(10)\">", Construct::IgnoredTransform, "skewY", 1, 1},
        {"<g transform=\"translate(10-5) scale(1.5.5) matrix(1 0 0 1 +-2 3)\">",
         Construct::TransformNumbersRunTogether, "", 3, 1},
        {"<rect style=\"transform:scale(2-3)\" width=\"1\" height=\"1\"/>",
         Construct::TransformNumbersRunTogether, "", 1, 1},
        // a viewer drops a transform list that breaks its grammar, all of it
        {"<g transform=\"translate(1 2 3)\"/><g transform=\"matrix(1 0 0 1 10) scale(2)\"/>"
         "<g transform=\"scale(2) bogus(1)\"/><g transform=\"scale(2\"/><g transform=\"rotate(1 2)\"/>",
         Construct::TransformRejected, "", 5, 1},
        {"<g transform=\"matrix(1 0 0 1 0 0 5)\"/>", Construct::TransformRejected, "", 1, 1},
        // a viewer takes a style transform in place of the attribute, and only in CSS form
        {"<rect style=\"transform:scale(2)\" width=\"1\" height=\"1\" transform=\"scale(3)\"/>",
         Construct::StyleTransform, "beside a transform attribute", 1, 1},
        {"<g style=\"transform:translate(10, 20)\">", Construct::StyleTransform, "not in CSS form", 1, 1},
        {"<g style=\"transform:scale(2 1)\">", Construct::StyleTransform, "not in CSS form", 1, 1},
        {"<g style=\"transform:translate(1px 2px)\">", Construct::StyleTransform, "not in CSS form", 1, 1},
        {"<g style=\"transform:matrix(1,0,0,1,2)\">", Construct::StyleTransform, "not in CSS form", 1, 1},
        {"<g style=\"transform:scale(2.)\">", Construct::StyleTransform, "not in CSS form", 1, 1},
        {"<g style=\"transform:translate(px)\">", Construct::StyleTransform, "not in CSS form", 1, 1},
        {"<g style=\"transform:matrix(1,0,0,1,0,0,5)\">", Construct::StyleTransform,
         "not in CSS form", 1, 1},
        {"<g style=\"transform:scaleZ(2, 3)\">", Construct::StyleTransform, "not in CSS form", 1, 1},
        {"<g style=\"transform:scale(2) bogus\">", Construct::StyleTransform, "not in CSS form", 1, 1},
        {"<g style=\"transform:translate(1mm, 2px)\">", Construct::StyleTransform,
         "with units other than px", 1, 1},
        {"<g style=\"transform:translate(50%)\">", Construct::StyleTransform,
         "with units other than px", 1, 1},
        {"<g style=\"transform:translate3d(1mm, 0, 0)\">", Construct::StyleTransform,
         "with units other than px", 1, 1},
        {"<g style=\"transform:translateX(5)\">", Construct::StyleTransform, "not in CSS form", 1, 1},
        {"<g style=\"transform:scale3d(2, 3, 1, 1)\">", Construct::StyleTransform, "not in CSS form",
         1, 1},
        // CSS functions the import takes for translate, scale or matrix, or passes over
        {"<g style=\"transform:translateY(5px)\"/>\n<g style=\"transform:scale(2) scaleX(2)\"/>"
         "<g style=\"transform:scaleY(2) skew(10deg)\"/>"
         "<g style=\"transform:matrix3d(1,0,0,0, 0,1,0,0, 0,0,1,0, 5,5,0,1)\"/>",
         Construct::StyleTransform, "with a function read otherwise", 4, 1},
        {"<rect x=\"1mm\" width=\"10\" height=\"10%\"/>", Construct::UnitsIgnored, "mm", 1, 1},
        {"<svg width=\"210mm\" height=\"297mm\" viewBox=\"0 0 210 297\">", Construct::RootViewport,
         "viewBox \"0 0 210 297\", width \"210mm\", height \"297mm\"", 1, 1},
        {"<svg viewBox=\"10 0 5 5\" width=\"10\">", Construct::RootViewport,
         "viewBox \"10 0 5 5\", width \"10\"", 1, 1},
        {"<rect x='1' y=\"2\" width=\"1\" height=\"1\"/>", Construct::QuotingLost, "x", 1, 1},
        {"<rect width=1 height=\"1\"/>", Construct::QuotingLost, "width", 1, 1},
        {"<rect width=\"1\" height=\"1\" x='2'/>", Construct::QuotingLost, "x", 1, 1},
        {"<path d=\"M0 0\" title=\"a>b\"/>", Construct::TagCutInValue, "title", 1, 1},
        {"<!-- a > b --><rect width=\"1\" height=\"1\"/>", Construct::CommentCut, "", 1, 1},
        {"<rect x=\"&#49;\" width=\"1\" height=\"1\"/>", Construct::EntityNotDecoded, "x", 1, 1},
        {"<rect rx=\"5\" width=\"1\" height=\"1\"/>", Construct::RoundedCorners, "rx", 1, 1},
        {"<rect display=\"none\" width=\"1\" height=\"1\"/>", Construct::NotApplied,
         "display:none", 1, 1},
        {"<g style=\"opacity:0.5\">", Construct::NotApplied, "opacity:0.5", 1, 1},
        {"<path fill-rule=\"evenodd\" d=\"M0 0\"/>", Construct::NotApplied, "fill-rule:evenodd", 1, 1},
        {"<g clip-path=\"url(#c)\"><rect width=\"1\" height=\"1\"/></g>", Construct::NotApplied,
         "clip-path", 1, 1},
        {"<svg>\n<rect fill=\"#000000\" width=\"1\" height=\"1\"/>\n<rect width=\"2\"",
         Construct::UnclosedTag, "", 1, 3},
        // shapes a viewer never draws, as children of an element that draws none
        {"<text>\n<rect width=\"1\" height=\"1\"/></text>", Construct::ShapeInsideNonContainer,
         "text", 1, 2},
        {"<flowRoot><flowRegion><g><circle r=\"1\"/></g></flowRegion></flowRoot>",
         Construct::ShapeInsideNonContainer, "flowRoot", 1, 1},
        {"<rect width=\"1\" height=\"1\"><rect width=\"2\" height=\"2\"/></rect>",
         Construct::ShapeInsideNonContainer, "rect", 1, 1},
        // markup that is not well-formed XML, which a viewer refuses whole
        {"<rect fill=\"#ff0000\" width=\"1\" fill=\"#00ff00\" height=\"1\"/>",
         Construct::NotWellFormed, "fill written twice", 1, 1},
        {"<rect id=\"a<b\" width=\"1\" height=\"1\"/>", Construct::NotWellFormed,
         "\"<\" in an attribute value", 1, 1},
        {"<rect id=\"a&b\" width=\"1\" height=\"1\"/><rect id=\"&#x;\"/><rect id=\"&amp\"/>",
         Construct::NotWellFormed, "\"&\" without a reference in an attribute value", 3, 1},
        {"<svg>\n<g>\n<rect width=\"1\" height=\"1\"/>\n</svg>", Construct::NotWellFormed,
         "end tag </svg> out of place", 1, 4},
        {"<svg>\n</svg>\n<rect width=\"1\" height=\"1\"/><g></g>", Construct::NotWellFormed,
         "element after the end of the root", 2, 3},
        {"<svg>\n<g>\n</g>", Construct::NotWellFormed, "<svg> without an end tag", 1, 1},
        {"<path d=\"M0 0 L9 0 L9 9 Z M3 3 L6 3 L6 6 Z\"/>", Construct::SeveralSubpaths, "", 1, 1},
        {"<line stroke=\"#000000\" x2=\"5\"/>", Construct::Strokes, "", 1, 1},
        {"<rect width=\"1\" height=\"1\"/>", Construct::NoFill, "", 1, 1},
        {"<rect fill=\"none\" stroke=\"#000000\" width=\"1\" height=\"1\"/>", Construct::NoFill,
         "", 1, 1},
        {"<path d=\"M0 0 L1 1\"/>\n<path d=\"M0 0 L1e39 1 M2 2 L3 3 M0 0 l 1e38 0 l -1e39 0\"/>",
         Construct::BeyondFloatRange, "path", 2, 2},
        {"<g transform=\"scale(1e30)\">\n<rect transform=\"scale(1e9)\" width=\"1\" height=\"1\"/>",
         Construct::BeyondFloatRange, "rect", 1, 2},
        {"<circle r=\"3e38\" cx=\"3e38\"/>", Construct::BeyondFloatRange, "circle", 1, 1},
    };
    for (const auto& c : cases) {
        PreflightReport report = checkSvgText(c.markup, 0.1f);
        const Finding* finding = findConstruct(report, c.construct);
        ASSERT_NE(finding, nullptr) << c.markup << "\n" << describe(report);
        EXPECT_EQ(finding->subject, c.subject) << c.markup;
        EXPECT_EQ(finding->count, c.count) << c.markup;
        ASSERT_FALSE(finding->lines.empty()) << c.markup;
        EXPECT_EQ(finding->lines.front(), c.line) << c.markup;
    }
}

TEST(PreflightReport, StaysQuietWhereTheImportReadsWhatAViewerShows) {
    const char* cases[] = {
        "<?xml version=\"1.0\"?><svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 10 10\" "
        "width=\"10\" height=\"10px\"><title>t</title><g fill=\"#ff0000\" transform=\"translate(1 2) "
        "scale(2)\"><rect x=\"1px\" width=\"2\" height=\"2\"/><path d=\"M0 0 L 1e5 0 l1-1 z\"/>"
        "<circle r=\"1\"/><polyline points=\"0,0 1,1\"/></g></svg>",
        "<svg viewBox=\"-5 -5 10 10\"><rect fill=\"#00ff00\" style=\"fill-opacity: 0.5 ; "
        "stroke:none\" width=\"1\" height=\"1\"/></svg>",
        "<path fill=\"#000000\" d=\"M0 0 C 1 1 2 2 3 3 S 4 4 5 5 Q 1 1 2 2 T 3 3 H 4 V 5 Z\"/>",
        "<g/><defs/><g fill=\"#000000\"/><desc>d</desc>",
        "<rect x = \"1\"\n width=\n\"1\" height=\"1\" fill=\"#000000\" />",
        "<rect fill=\"#000000\" fill-opacity=\"1\" width=\"1\" height=\"1\"/>",
        "<circle fill=\"#000000\" x=\"1mm\" r=\"1\"/>",  // a circle has no x: neither side reads it
        // display on a container is no styling of its children, nor is a name CSS lacks
        "<svg display=\"inline\" style=\"display:inline;fill-color:red\"><rect fill=\"#000000\" "
        "width=\"1\" height=\"1\"/></svg>",
        "<path fill=\"#000000\" d=\"M0 0 L1. 1 .5 .5 +1E3 4e0 1E1 2 "
        "000000000000000000000000000000000000000000000000000000000000001 2\"/>",
        "<g fill=\"#000000\" transform=\"translate(-1,-.5) scale(1e-5 +2) matrix(1E1,0 0 1 -5. 6)\"/>",
        "<g fill=\"#000000\" style=\"transform: translate(10px, 2.5e1px) scale(+.5,-2E-1) "
        "matrix(1, 0, 0, 1, 0, 3) translate(0)\"/><g style=\"transform:none\"/>",
        "<g fill=\"#000000\" style=\"transform: translateX(5px) translate3d(1px, 2px, 0) "
        "scale3d(2, 3, 1)\"/>",
        "<g fill=\"#000000\" transform=\" translate (10) ,scale(2)\tmatrix(1,2,3,4,5,6),\"/><g transform=\"\"/>",
    };
    for (const char* markup : cases) {
        PreflightReport report = checkSvgText(markup, 0.1f);
        EXPECT_TRUE(report.findings.empty()) << markup << "\n" << describe(report);
    }
}

TEST(PreflightReport, TakesWellFormedNestingAsItIs) {
    // a self-closing tag without a space, containers that draw their shapes, an editor's own
    // elements, fragments without an svg root, a file cut short
    const char* cases[] = {
        "<svg><rect/><g><rect width=\"1\" height=\"1\"/></g><!-- <g> --></svg>\n",
        "<svg><a><g><circle r=\"1\"/></g></a><sodipodi:namedview><rect/></sodipodi:namedview></svg>",
        "<rect width=\"1\" height=\"1\"/><g></g></g>",
        "<svg>\n<g>\n<rect width=\"2\"",
        "<rect id=\"&amp;&#49;&#x4a;&a-b.c;\"/>",
    };
    for (const char* markup : cases) {
        const PreflightReport report = checkSvgText(markup, 0.1f);
        EXPECT_EQ(findConstruct(report, Construct::NotWellFormed), nullptr) << markup;
        EXPECT_EQ(findConstruct(report, Construct::ShapeInsideNonContainer), nullptr) << markup;
    }
}

TEST(PreflightReport, StopsAtAZeroByte) {
    const std::string text("<svg>\n\n<rect fill=\"#000000\" width=\"1\" height=\"1\"/>\0<ellipse/>", 61);
    PreflightReport report = checkSvgText(text, 0.1f);
    const Finding* finding = findConstruct(report, Construct::ZeroByte);
    ASSERT_NE(finding, nullptr) << describe(report);
    EXPECT_EQ(finding->lines.front(), 3);
    EXPECT_EQ(findConstruct(report, Construct::UnreadElement), nullptr);  // nothing after it is read
    EXPECT_EQ(report.records, 1u);
    EXPECT_TRUE(finding->remedy.empty());  // the construct's own advice: save as UTF-8

    // a compressed drawing is told to be unpacked, not saved again
    PreflightReport gzipStart = checkSvgText(std::string("\x1f\x8b\x08\0\0\0", 6), 0.1f);
    const Finding* compressed = findConstruct(gzipStart, Construct::ZeroByte);
    ASSERT_NE(compressed, nullptr);
    EXPECT_NE(compressed->remedy.find("gunzip"), std::string::npos) << compressed->remedy;
}

TEST(PreflightReport, ExplainsTheFirstOccurrence) {
    const struct { const char* markup; Construct construct; const char* note; } cases[] = {
        {"<svg>\n<path fill=\"#000000\" d=\"M0 0 L1 1\">\n<path d=\"M0 0 L2 2\"/>",
         Construct::PathAfterOpenTag, "the path on line 2 has no end tag"},
        {"<svg width=\"100\" height=\"200\" viewBox=\"0 0 100 100\">", Construct::RootViewport,
         "a viewer shows one user unit as 1 x 2 px"},
        // the offset is where the viewBox origin moves to
        {"<svg viewBox=\"10 -5 5 5\" width=\"10\">", Construct::RootViewport,
         "a viewer shows one user unit as 2 x 1 px, moved by (-10, 5)"},
        // C keeps 5 numbers when L comes: L reads 2 of them and drops 4 with 6, and 7 is left over
        {"<path d=\"M0 0 C 1 2 3 4 5 L 6 7\"/>", Construct::PathHeldNumbers,
         "line 1: 5 dropped, 2 read by the next command"},
    };
    for (const auto& c : cases) {
        PreflightReport report = checkSvgText(c.markup, 0.1f);
        const Finding* finding = findConstruct(report, c.construct);
        ASSERT_NE(finding, nullptr) << c.markup << "\n" << describe(report);
        EXPECT_EQ(finding->note, c.note);
    }
}

// Only a finding with more occurrences than listed lines ends its list with "..."; a line that
// holds several occurrences is listed once.
TEST(PreflightReport, KeepsTheFirstLinesAndCountsTheRest) {
    const struct {
        std::string markup;
        std::size_t count;
        std::vector<int> lines;
        const char* text;
    } cases[] = {
        {"<svg>\n<ellipse/>\n<ellipse/>\n<ellipse/>\n<ellipse/>\n<ellipse/>\n<ellipse/>\n"
         "<ellipse/>\n<ellipse/>\n", 8, {2, 3, 4, 5, 6}, "(8x; lines 2, 3, 4, 5, 6, ...)\n"},
        {"<svg>\n<ellipse/>\n<ellipse/>\n<ellipse/>\n<ellipse/>\n<ellipse/>\n", 5,
         {2, 3, 4, 5, 6}, "(5x; lines 2, 3, 4, 5, 6)\n"},
        {"<svg>\n<ellipse/><ellipse/>\n<ellipse/>\n", 3, {2, 3}, "(3x; lines 2, 3)\n"},
        {"<svg>\n<ellipse/><ellipse/><ellipse/>\n", 3, {2}, "(3x; line 2)\n"},
    };
    for (const auto& c : cases) {
        PreflightReport report = checkSvgText(c.markup, 0.1f);
        const Finding* finding = findConstruct(report, Construct::UnreadElement);
        ASSERT_NE(finding, nullptr) << c.markup;
        EXPECT_EQ(finding->count, c.count) << c.markup;
        EXPECT_EQ(finding->lines, c.lines) << c.markup;
        EXPECT_NE(describe(report).find(c.text), std::string::npos) << describe(report);
    }
}

TEST(PreflightReport, FindsTheFullStyleStack) {
    std::string markup;
    for (int i = 0; i < 128; ++i) markup += "<g>";
    markup += "\n<rect fill=\"#000000\" width=\"1\" height=\"1\"/>";
    PreflightReport report = checkSvgText(markup, 0.1f);
    const Finding* finding = findConstruct(report, Construct::StyleStackFull);
    ASSERT_NE(finding, nullptr) << describe(report);
    EXPECT_EQ(finding->count, 2u);  // the 128th group and the rect
    EXPECT_EQ(finding->lines, (std::vector<int>{1, 2}));
    PreflightReport shallow = checkSvgText(markup.substr(3), 0.1f);
    ASSERT_NE(findConstruct(shallow, Construct::StyleStackFull), nullptr);
    EXPECT_EQ(findConstruct(shallow, Construct::StyleStackFull)->count, 1u);
}

TEST(PreflightReport, CountsTheRecordsTheReaderMakes) {
    PreflightReport report = checkSvgText(
        "<rect width=\"1\" height=\"1\"/><path d=\"M0 0 L1 1 M2 2 L3 3\"/><defs><rect "
        "width=\"1\" height=\"1\"/></defs>", 0.1f);
    EXPECT_EQ(report.records, 3u);
}

TEST(PreflightReport, SummarisesTheScene) {
    char text[] = "<rect fill=\"#ff0000\" x=\"1\" y=\"2\" width=\"3\" height=\"4\"/>"
                  "<rect fill=\"#0000ff\" fill-opacity=\"0.5\" width=\"1\" height=\"1\"/>";
    PreflightReport report = checkSvgText(text, 0.1f);
    PathList list = parseSvgText(text, 0.1f);
    DrawnScene scene = sceneFromPathList(list);
    freePathList(list);
    std::ostringstream out;
    writeSceneSummary(out, report, scene);
    const std::string summary = out.str();
    EXPECT_NE(summary.find("2 records, 8 points, 2 polygons, 2 surfaces"), std::string::npos) << summary;
    EXPECT_NE(summary.find("Surface 0    BaseColor #0000ff (0.000 0.000 1.000)  Transparency 0.502"),
              std::string::npos) << summary;
    EXPECT_NE(summary.find("Surface 1    BaseColor #ff0000"), std::string::npos) << summary;
    EXPECT_NE(summary.find("x 0 .. 4, y -6 .. 0, z 0 .. 0"), std::string::npos) << summary;
}

// Polygons through a point beyond the float range arrive but cannot be drawn: the summary
// counts them and keeps them out of the box, which it never calls empty when polygons arrived.
TEST(PreflightReport, CountsPolygonsItCannotDraw) {
    const struct { const char* text; const char* counted; const char* box; } cases[] = {
        {"<path d=\"M 0 0 L 4 0 L 4 2\"/>", nullptr, "x 0 .. 4, y -2 .. 0, z 0 .. 0"},
        {"<path d=\"M 0 0 L 4 0 L 4 2\"/><path d=\"M 9 9 L 1e39 9 L 9 1\"/>", "  1",
         "x 0 .. 4, y -2 .. 0, z 0 .. 0"},
        {"<path d=\"M 0 0 l 1e39 0 l -1e39 1\"/><rect width=\"1\" height=\"1\" "
         "transform=\"scale(1e30) scale(1e30)\"/>", "  2",
         "bounding box: empty, no polygon with finite points"},
        {"<g/>", nullptr, "bounding box: empty, nothing arrived"}};
    for (const auto& c : cases) {
        std::string text = c.text;
        PathList list = parseSvgText(text.data(), 0.1f);
        DrawnScene scene = sceneFromPathList(list);
        freePathList(list);
        std::ostringstream out;
        writeSceneSummary(out, checkSvgText(c.text, 0.1f), scene);
        const std::string summary = out.str();
        const std::size_t at = summary.find(" polygons through a point at infinity or NaN");
        EXPECT_EQ(at != std::string::npos, c.counted != nullptr) << summary;
        if (c.counted != nullptr) {
            EXPECT_NE(summary.find(std::string(c.counted) + " polygons through"), std::string::npos)
                << summary;
        }
        EXPECT_NE(summary.find(c.box), std::string::npos) << summary;
    }
}

// The summary lists the first 24 surfaces and counts the rest.
TEST(PreflightReport, ListsAtMostTwentyFourSurfaces) {
    const struct { std::size_t surfaces, listed; const char* more; } cases[] = {
        {20, 20, ""}, {24, 24, ""}, {25, 24, "\n    ... and 1 more surfaces\n"}};
    for (const auto& c : cases) {
        DrawnScene scene;
        for (std::size_t i = 0; i < c.surfaces; ++i) scene.surfaces.push_back({"Surface " + std::to_string(i)});
        std::ostringstream out;
        writeSceneSummary(out, PreflightReport{}, scene);
        const std::string summary = out.str();
        EXPECT_NE(summary.find("    Surface " + std::to_string(c.listed - 1) + " "), std::string::npos) << summary;
        EXPECT_EQ(summary.find("    Surface " + std::to_string(c.listed) + " "), std::string::npos) << summary;
        EXPECT_NE(summary.find(c.more), std::string::npos) << summary;
        EXPECT_EQ(summary.find("more surfaces") == std::string::npos, *c.more == '\0') << summary;
    }
}

TEST(GroupedNumber, SeparatesThousands) {
    const struct { std::size_t value; const char* text; } cases[] = {
        {0, "0"}, {999, "999"}, {1000, "1,000"}, {1204, "1,204"}, {1234567, "1,234,567"}};
    for (const auto& c : cases) EXPECT_EQ(groupedNumber(c.value), c.text);
}

namespace {

// A document that mixes what the import passes over with what it reads.
const char* const mixedDocument = R"svg(<svg viewBox="0 0 100 100">
<rect fill="#ff0000" x="0" y="0" width="10" height="10"/>
<ellipse fill="#00ff00" cx="50" cy="50" rx="5" ry="5"/>
<RECT fill="#0000ff" x="20" width="5" height="5"/>
<defs><rect fill="#00ffff" x="30" width="5" height="5"/></defs>
<path fill="#ffff00" d="M60 0 A 5 5 0 0 1 70 0 L 70 10 Z"/>
<path fill="#ff00ff" d="M80 0 L 1e-5 2"/>
<g transform="rotate(90)"><rect fill="#123456" x="0" y="90" width="5" height="5"/></g>
<rect fill="red" x="40" y="90" width="5" height="5"/>
<path d="M85 85 L 86 86" fill="#abcdef"/>
<path fill="#010101" d="M90 90 L 95 95">
<path fill="#020202" d="M0 50 L 5 55"/>
<polygon fill="#030303" points="110 110 120.5.5 120 130"/>
<rect fill="#040404" x="100" y="0" width="-5" height="5"/>
<polygon fill="#050505" points="200 200 1e39 200 201 201"/>
</svg>)svg";

bool hasPoint(const DrawnScene& scene, double x, double y) {
    for (const auto& p : scene.points)
        if (p[0] == x && p[1] == y) return true;
    return false;
}

bool hasPointWithin(const DrawnScene& scene, double x0, double x1) {
    for (const auto& p : scene.points)
        if (p[0] >= x0 && p[0] <= x1) return true;
    return false;
}

bool hasColor(const DrawnScene& scene, const char* color) {
    for (const DrawnSurface& surface : scene.surfaces)
        if (hexColor(surface) == color) return true;
    return false;
}

void expectReportAgreesWithScene(const PreflightReport& report, const DrawnScene& scene) {
    const struct { Construct construct; int line; } said[] = {
        {Construct::UnreadElement, 3}, {Construct::NameCaseOrPrefix, 4},
        {Construct::DrawableInDefs, 5}, {Construct::PathArc, 6},
        {Construct::PathSignedExponent, 7}, {Construct::IgnoredTransform, 8},
        {Construct::NonHexColor, 9}, {Construct::AttributeAfterD, 10},
        {Construct::PathAfterOpenTag, 12}, {Construct::NumberReadInPart, 13},
        {Construct::NegativeSize, 14}, {Construct::BeyondFloatRange, 15},
    };
    for (const auto& s : said) {
        const Finding* finding = findConstruct(report, s.construct);
        ASSERT_NE(finding, nullptr) << static_cast<int>(s.construct);
        EXPECT_EQ(finding->lines.front(), s.line) << static_cast<int>(s.construct);
    }
    EXPECT_TRUE(hasPoint(scene, 0, -0.0) && hasPoint(scene, 10, -10));  // what is read arrives
    EXPECT_FALSE(hasPointWithin(scene, 46, 54));                         // ellipse
    EXPECT_FALSE(hasPointWithin(scene, 20, 25));                         // RECT
    EXPECT_FALSE(hasPointWithin(scene, 30, 35));                         // rect in defs
    EXPECT_TRUE(hasPoint(scene, 60, -0.0) && hasPoint(scene, 70, -10));
    EXPECT_FALSE(hasPoint(scene, 70, -0.0));                             // the arc is not drawn
    EXPECT_TRUE(hasPoint(scene, 1, 5));                                  // 1e-5 2 read as 1, -5
    EXPECT_TRUE(hasPoint(scene, 0, -90) && hasPoint(scene, 5, -95));     // not rotated
    EXPECT_TRUE(hasPoint(scene, 40, -90));
    EXPECT_TRUE(hasColor(scene, "#000000"));                              // "red" is black
    EXPECT_TRUE(hasPoint(scene, 85, -85));
    EXPECT_FALSE(hasColor(scene, "#abcdef"));                             // fill after d
    EXPECT_TRUE(hasPoint(scene, 90, -90));
    EXPECT_FALSE(hasPoint(scene, 0, -50));                                // after the open path
    EXPECT_TRUE(hasPoint(scene, 120.5, -120));                            // 120.5.5 read as 120.5
    EXPECT_TRUE(hasPoint(scene, 95, -5));                                 // a negative width draws
    EXPECT_TRUE(std::any_of(scene.points.begin(), scene.points.end(),
                            [](const auto& p) { return std::isinf(p[0]); }));  // 1e39 arrives
    EXPECT_EQ(report.records, scene.polygons.size());
}

}  // namespace

TEST(PreflightReport, AgreesWithTheReader) {
    std::string text = mixedDocument;
    PreflightReport report = checkSvgText(text, 0.1f);
    PathList list = parseSvgText(text.data(), 0.1f);
    DrawnScene scene = sceneFromPathList(list);
    freePathList(list);
    expectReportAgreesWithScene(report, scene);
}

TEST(PreflightReport, AgreesWithTheModuleUnderTheHost) {
    testing_host::TempDir dir;
    std::string input = dir.write("mixed.svg", mixedDocument);
    ModuleImport imported;
    std::string error;
    ASSERT_TRUE(importThroughModule(input, POLYIN_MODULE_PATH, 10, imported, error)) << error;
    PreflightReport report = checkSvgText(mixedDocument, toleranceForDetail(10));
    expectReportAgreesWithScene(report, sceneFromHost(imported.scene));
    EXPECT_EQ(report.records, imported.paths);
}

TEST(ImportToolReport, PrintsFindingsAndTheImportAndFailsWhenStrict) {
    testing_host::TempDir dir;
    std::string lossy = dir.write("lossy.svg", testing_host::svg("\n<ellipse rx='1' ry='1'/>\n"
                                                   "<rect fill='red' width='2' height='1'/>"));
    std::string clean =
        dir.write("clean.svg", testing_host::svg("<rect fill='#ff0000' width='2' height='1'/>"));
    const std::string out = " -o '" + dir.path + "/out/'";
    testing_host::ToolRun report = testing_host::runImportTool("'" + lossy + "' --report" + out);
    EXPECT_EQ(report.status, 0) << report.output;
    EXPECT_NE(report.output.find("element not read: ellipse  (1x; line 2)"), std::string::npos)
        << report.output;
    EXPECT_NE(report.output.find("1 records, 4 points, 1 polygons, 1 surfaces"), std::string::npos)
        << report.output;
    EXPECT_NE(report.output.find("x 0 .. 2, y -1 .. 0"), std::string::npos) << report.output;
    EXPECT_EQ(testing_host::runImportTool("'" + lossy + "' --strict" + out).status, 3);
    EXPECT_EQ(testing_host::runImportTool("'" + clean + "' --strict --report" + out).status, 0);
    testing_host::ToolRun batch =
        testing_host::runImportTool("'" + clean + "' '" + lossy + "' --strict" + out);
    EXPECT_EQ(batch.status, 3) << batch.output;
    EXPECT_NE(batch.output.find("1 of 2 files have constructs"), std::string::npos) << batch.output;
    // --strict alone names the count of a lossy file and says nothing of a clean one; several
    // files end with how many pass something over, with --report as with --strict; a failed
    // file's status 1 comes before the 3 of a lossy one.
    const std::string missing = "'" + dir.path + "/missing.svg'";
    const struct {
        std::string arguments;
        int status;
        const char* said;
        const char* unsaid;
    } cases[] = {
        {"'" + lossy + "' --strict", 3,
         "lossy.svg: 2 constructs passed over or read differently (see --report)\n", nullptr},
        {"'" + clean + "' --strict", 0, nullptr, "constructs passed over"},
        {"'" + clean + "' '" + lossy + "' --report", 0,
         "\n1 of 2 files have constructs the import passes over\n", nullptr},
        {"'" + lossy + "' " + missing + " --strict", 1,
         "\n1 of 2 files have constructs the import passes over\n", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        testing_host::ToolRun run = testing_host::runImportTool(c.arguments + out);
        EXPECT_EQ(run.status, c.status) << run.output;
        if (c.said != nullptr) {
            EXPECT_NE(run.output.find(c.said), std::string::npos) << run.output;
        }
        if (c.unsaid != nullptr) {
            EXPECT_EQ(run.output.find(c.unsaid), std::string::npos) << run.output;
        }
    }
}

TEST(PreflightReport, AdvisesOnEveryConstruct) {
    for (int c = 0; c <= static_cast<int>(Construct::ZeroByte); ++c) {
        ConstructAdvice advice = adviceFor(static_cast<Construct>(c));
        EXPECT_STRNE(advice.heading, "construct") << c;
        EXPECT_GT(std::strlen(advice.effect), 0u) << c;
        EXPECT_GT(std::strlen(advice.remedy), 0u) << c;
    }
}
