// The pre-flight check: every construct of one SVG file that the import passes over or reads
// differently from an SVG viewer, found with the reader's own tokenizer, tables and functions.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

#include "host/drawn_scene.h"

enum class Construct {
    UnreadElement,        // ellipse, text, use, image, ...: nothing arrives
    HelperContentDrawn,   // symbol, pattern, clipPath, mask, marker: children drawn in place
    GradientElement,
    StyleSheet,           // <style> elements
    ClassAttribute,
    NameCaseOrPrefix,     // RECT, svg:path
    SelfClosingNoSpace,   // <rect .../> written as <rect/>
    DrawableInDefs,
    DrawnDespiteDefs,     // after a nested defs end tag
    ShapeInsideNonContainer,  // a rect inside text, a gradient, another shape: a viewer draws none
    ContainerStyling,     // presentation attributes on svg, a, symbol, ...
    PathArc,
    PathSignedExponent,
    PointsStrayCharacter,  // a letter in a points list counts as 0
    NegativeSize,         // rect width or height, circle r below 0: drawn, where a viewer draws nothing
    NumberReadInPart,     // 0.5.5, 1e5e5, 1e 5: a viewer reads more than the import does
    PathWithoutMoveTo,    // d="L 1 1 ...": a viewer draws nothing
    PathHeldNumbers,
    PathUnknownCommand,
    PathAfterOpenTag,
    AttributeAfterD,
    AttributeAfterStyle,  // style="fill:..." fill="...": a viewer keeps the style's
    StyleComment,         // /* */ in a style attribute
    PointsSignedExponent,
    NonHexColor,
    ShortHexColor,
    AlphaHexColor,
    OpacityOutOfRange,
    IgnoredTransform,
    TransformRejected,    // a list a viewer drops whole: matrix(1 0 0 1 10), translate(1 2 3)
    StyleTransform,       // style="transform:...": composed with the attribute, taken as written
    TransformNumbersRunTogether,  // translate(10-5): read as translate(10)
    UnitsIgnored,
    RootViewport,
    QuotingLost,
    TagCutInValue,
    CommentCut,
    EntityNotDecoded,
    RoundedCorners,
    NotApplied,           // display, visibility, opacity, fill-rule, clip-path, mask, ...
    SeveralSubpaths,
    Strokes,
    NoFill,
    StyleStackFull,
    BeyondFloatRange,     // coordinates at infinity or NaN after numbers and transforms
    NotWellFormed,        // an attribute twice, an end tag out of place: a viewer refuses the file
    UnclosedTag,          // the file ends inside a tag
    ZeroByte,             // the text ends there
};

struct Finding {
    Construct construct;
    std::string subject;     // e.g. the element name or the colour text; may be empty
    std::size_t count = 0;
    std::vector<int> lines;  // the first few lines, in document order
    std::string note;        // detail of the first occurrence, e.g. where an open tag began
    std::string remedy;      // a fix for this subject, when it differs from the construct's
};

struct PreflightReport {
    std::vector<Finding> findings;  // in order of first occurrence
    std::size_t records = 0;        // polylines the reader produced
};

// At most this many line numbers are kept per finding.
constexpr std::size_t reportedLineLimit = 5;

// Checks one document's text (a copy is tokenized); tolerance as for the import.
PreflightReport checkSvgText(const std::string& text, float tolerance);

// What the import does with a construct and what to change in the drawing.
struct ConstructAdvice {
    const char* heading;
    const char* effect;
    const char* remedy;
};
ConstructAdvice adviceFor(Construct construct);

// Every finding with its count, lines, effect and remedy.
void writeFindings(std::ostream& out, const PreflightReport& report);

// Records, points, polygons, surfaces with colour and transparency, bounding box.
void writeSceneSummary(std::ostream& out, const PreflightReport& report, const DrawnScene& scene);

// Digits grouped by thousands: 1,204.
std::string groupedNumber(std::size_t value);
