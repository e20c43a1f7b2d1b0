#include "host/report.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <ostream>
#include <unordered_map>
#include <utility>

#include "geometry/path_data.h"
#include "svg/attributes.h"
#include "svg/dispatch.h"
#include "svg/number.h"
#include "svg/text.h"
#include "svg/tokenizer.h"

namespace {

struct StateDeleter {
    void operator()(ParserState* state) const { destroyParserState(state); }
};
using StatePtr = std::unique_ptr<ParserState, StateDeleter>;

// One element whose end tag has not come yet, with what encloses it.
struct OpenElement {
    std::string name;
    std::size_t defsDepth;   // open defs elements, this one included
    const char* helper;      // the innermost open definition container, or null
    std::string blocker;     // the outermost open element that draws no children, or empty
    int line;                // of the start tag
};

// Elements outside the drawn set, what becomes of their content and how to keep it.
struct ForeignElement {
    const char* name;
    Construct construct;
    const char* remedy;  // null: the construct's own advice
};

constexpr ForeignElement foreignElements[] = {
    {"ellipse", Construct::UnreadElement, "convert the ellipse to a path (object to path)"},
    {"text", Construct::UnreadElement, "convert the text to outlines (text to path)"},
    {"use", Construct::UnreadElement, "unlink the clone so that its shapes stand in place"},
    {"image", Construct::UnreadElement,
     "raster images cannot be imported; trace the image into paths"},
    {"foreignObject", Construct::UnreadElement, "replace the embedded content by paths"},
    {"switch", Construct::UnreadElement, "keep only the alternative you want, outside switch"},
    {"filter", Construct::UnreadElement, "filters have no geometry; drop or flatten them"},
    {"linearGradient", Construct::GradientElement, nullptr},
    {"radialGradient", Construct::GradientElement, nullptr},
    {"style", Construct::StyleSheet, nullptr},
};

// Containers a viewer never draws in place; the import draws their shapes where they stand.
constexpr const char* helperContainers[] = {"symbol", "pattern", "clipPath", "mask", "marker",
                                            "title", "desc", "metadata"};

// Elements whose shapes a viewer draws in place, beside the definition containers and defs
// with findings of their own (switch draws one of them: its own finding says so).
constexpr const char* childDrawingElements[] = {"svg", "g", "a", "switch", "defs"};

// Elements that a viewer does not draw either, or whose loss another finding already covers.
constexpr const char* quietElements[] = {
    "title", "desc", "metadata", "tspan", "textPath", "stop", "a", "svg",
    "feBlend", "feColorMatrix", "feComposite", "feFlood", "feGaussianBlur", "feMerge",
    "feMergeNode", "feMorphology", "feOffset", "feTurbulence", "feImage", "feTile"};

// Properties a viewer applies and the import does not.
constexpr const char* unappliedProperties[] = {
    "display", "visibility", "opacity", "fill-rule", "clip-path", "mask", "filter",
    "marker-start", "marker-mid", "marker-end", "marker"};

constexpr const char* ignoredTransformKeywords[] = {"rotate", "skewX", "skewY"};
constexpr const char* readTransformKeywords[] = {"matrix", "translate", "scale"};

bool isOneOf(const std::string& name, const char* const* begin, const char* const* end) {
    return std::any_of(begin, end, [&](const char* entry) { return name == entry; });
}

template <std::size_t N>
bool isOneOf(const std::string& name, const char* const (&table)[N]) {
    return isOneOf(name, table, table + N);
}

bool isPathSeparator(unsigned char c) { return isBlank(c) || c == ','; }

bool isHexDigit(unsigned char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isPathCommandLetter(char c) { return c != '\0' && std::strchr("MmLlHhVvCcSsQqTtAaZz", c); }

std::string trimmed(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && isBlank(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && isBlank(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

// Text short enough to quote in one report line; tabs, line breaks and other control
// characters are written as escapes, so that the quote stays on its line and shows them.
std::string quoted(const std::string& text) {
    constexpr std::size_t quoteLimit = 40;
    std::string shown = "\"";
    for (std::size_t i = 0; i < text.size() && i < quoteLimit; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\t') shown += "\\t";
        else if (c == '\n') shown += "\\n";
        else if (c == '\r') shown += "\\r";
        else if (c < 0x20 || c == 0x7f) {
            static const char hex[] = "0123456789abcdef";
            shown += "\\x";
            shown += hex[c >> 4];
            shown += hex[c & 0xF];
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown + (text.size() > quoteLimit ? "...\"" : "\"");
}

std::string asciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The name and value of each non-empty declaration of a "style" text, trimmed as the reader
// trims them.
std::vector<std::pair<std::string, std::string>> splitDeclarations(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> declarations;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = std::min(text.find(';', start), text.size());
        std::string declaration = text.substr(start, end - start);
        std::size_t colon = declaration.find(':');
        std::string name = trimmed(declaration.substr(0, colon));
        std::string value;
        if (colon != std::string::npos) {
            value = declaration.substr(colon + 1);
            value.erase(0, std::min(value.find_first_not_of(": \t\n\v\f\r"), value.size()));
            value = trimmed(value);
        }
        if (!name.empty()) declarations.emplace_back(name, value);
        start = end + 1;
    }
    return declarations;
}

// The unit written after a number ("mm", "%"), or empty.
std::string unitAfterNumber(const char* value) {
    double number = 0.0;
    const char* start = skipBlanks(value);
    const char* rest = scanDecimal(start, &number);
    if (rest == start) return "";
    return trimmed(rest);
}

// CSS pixels per unit; 0 for units whose size depends on the viewer.
double pixelsPerUnit(const std::string& unit) {
    static const std::pair<const char*, double> units[] = {
        {"", 1.0}, {"px", 1.0}, {"mm", 96.0 / 25.4}, {"cm", 96.0 / 2.54},
        {"in", 96.0}, {"pt", 96.0 / 72.0}, {"pc", 16.0}};
    for (const auto& entry : units)
        if (unit == entry.first) return entry.second;
    return 0.0;
}

std::string formatDouble(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value + 0.0);  // no "-0"
    return text;
}

// The number runs between the parentheses of "matrix", "translate" and "scale" that the
// transform reader takes only in part: it reads a run of digits, signs, points and exponents as
// one number, so translate(10-5) is translate(10) where a viewer reads 10 and -5.
std::size_t transformRunsReadInPart(const std::string& value, std::string& first) {
    std::size_t count = 0;
    for (const char* keyword : readTransformKeywords) {
        for (std::size_t at = value.find(keyword); at != std::string::npos;
             at = value.find(keyword, at + 1)) {
            const std::size_t open = value.find('(', at);
            const std::size_t close = open == std::string::npos ? open : value.find(')', open);
            if (close == std::string::npos) break;
            for (std::size_t i = open + 1; i < close;) {
                std::size_t end = i;
                while (end < close && isNumberChar(static_cast<unsigned char>(value[end]))) ++end;
                if (end == i) {
                    ++i;
                    continue;
                }
                double number = 0.0;
                if (scanDecimal(value.c_str() + i, &number) < value.c_str() + end && count++ == 0)
                    first = value.substr(i, end - i);
                i = end;
            }
        }
    }
    return count;
}

// Whether text[at...] starts a CSS number (sign, digits with an optional fraction of at least
// one digit, optional exponent); moves at past it.
bool skipCssNumber(const std::string& text, std::size_t& at) {
    std::size_t i = at;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        return i > from;
    };
    const bool whole = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        if (!digits()) return false;
    } else if (!whole) {
        return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t mark = i++;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (!digits()) i = mark;
    }
    at = i;
    return true;
}

// How a viewer takes one argument of a CSS transform function: a number, or for a translation
// a length (a number with a unit or a percentage, or a plain zero). Beyond the argument, how it
// takes the whole declaration: also with a function that the import reads otherwise.
enum class CssArgument { plain, otherUnit, otherFunction, invalid };

CssArgument cssArgument(const std::string& argument, bool length) {
    std::size_t at = 0;
    if (!skipCssNumber(argument, at)) return CssArgument::invalid;
    if (at == argument.size())
        return !length || readDecimal(argument.c_str()) == 0.0 ? CssArgument::plain
                                                                : CssArgument::invalid;
    if (!length) return CssArgument::invalid;
    const std::string unit = argument.substr(at);
    if (unit == "px") return CssArgument::plain;
    if (unit == "%") return CssArgument::otherUnit;
    const bool letters = std::all_of(unit.begin(), unit.end(), [](char c) {
        return std::isalpha(static_cast<unsigned char>(c)) != 0;
    });
    return letters ? CssArgument::otherUnit : CssArgument::invalid;
}

// The CSS transform functions whose arguments are checked: those the import reads as a viewer
// does, and those it takes for "translate", "scale" or "matrix" (matched at the start of the
// name) with another meaning: translateY(5px) moves along x, scaleX(2) scales both axes, and
// matrix3d keeps its first six numbers. skew is not read at all.
struct CssFunction {
    const char* name;
    std::size_t least, most;  // how many arguments a viewer takes
    bool lengths;             // translations: lengths rather than numbers
    bool readAlike;
};

constexpr CssFunction cssFunctions[] = {
    {"translate", 1, 2, true, true},    {"translateX", 1, 1, true, true},
    {"translate3d", 3, 3, true, true},  {"scale", 1, 2, false, true},
    {"scale3d", 3, 3, false, true},     {"matrix", 6, 6, false, true},
    {"translateY", 1, 1, true, false},  {"translateZ", 1, 1, true, false},
    {"scaleX", 1, 1, false, false},     {"scaleY", 1, 1, false, false},
    {"scaleZ", 1, 1, false, false},     {"matrix3d", 16, 16, false, false},
};

// How a viewer takes a "transform" declaration: CSS wants commas between the numbers and units
// on translations, and drops the whole declaration otherwise; it converts units the import
// reads as user units. Rotations and skews along one axis are named by their own finding, and
// other functions the import does not read are taken as written here.
CssArgument cssTransform(const std::string& value) {
    if (value == "none") return CssArgument::plain;
    CssArgument verdict = CssArgument::plain;
    std::size_t at = 0;
    bool any = false;
    while (true) {
        while (at < value.size() && isBlank(static_cast<unsigned char>(value[at]))) ++at;
        if (at == value.size()) return any ? verdict : CssArgument::invalid;
        const std::size_t nameStart = at;
        while (at < value.size() &&
               (std::isalnum(static_cast<unsigned char>(value[at])) || value[at] == '-'))
            ++at;
        if (at == nameStart || at == value.size() || value[at] != '(') return CssArgument::invalid;
        const std::size_t close = value.find(')', at);
        if (close == std::string::npos) return CssArgument::invalid;
        const std::string name = value.substr(nameStart, at - nameStart);
        std::vector<std::string> arguments;
        for (std::size_t from = at + 1;;) {
            const std::size_t comma = std::min(value.find(',', from), close);
            arguments.push_back(trimmed(value.substr(from, comma - from)));
            if (comma == close) break;
            from = comma + 1;
        }
        const auto* function = std::find_if(std::begin(cssFunctions), std::end(cssFunctions),
                                            [&](const CssFunction& f) { return name == f.name; });
        if (function != std::end(cssFunctions)) {
            const std::size_t count = arguments.size();
            if (count < function->least || count > function->most) return CssArgument::invalid;
            for (const std::string& argument : arguments) {
                const CssArgument taken = cssArgument(argument, function->lengths);
                if (taken == CssArgument::invalid) return taken;
                if (taken == CssArgument::otherUnit && verdict == CssArgument::plain)
                    verdict = taken;
            }
            if (!function->readAlike) verdict = CssArgument::otherFunction;
        } else if (name == "skew") {
            verdict = CssArgument::otherFunction;
        }
        at = close + 1;
        any = true;
    }
}

// Whether a viewer takes a "transform" attribute: a list of matrix(6), translate(1 or 2),
// scale(1 or 2), rotate(1 or 3), skewX(1) or skewY(1), with blanks or a comma between the items
// and between the numbers. A viewer drops the whole attribute otherwise, where the import still
// applies every keyword it finds.
bool isSvgTransformList(const std::string& value) {
    std::size_t at = 0;
    const auto skipSpace = [&] {
        while (at < value.size() && isBlank(static_cast<unsigned char>(value[at]))) ++at;
    };
    const auto skipSeparator = [&] {
        skipSpace();
        if (at < value.size() && value[at] == ',') ++at;
        skipSpace();
    };
    static const std::pair<const char*, std::pair<int, int>> keywords[] = {
        {"matrix", {6, 6}}, {"translate", {1, 2}}, {"scale", {1, 2}},
        {"rotate", {1, 3}}, {"skewX", {1, 1}},     {"skewY", {1, 1}}};
    skipSpace();
    while (at < value.size()) {
        const std::size_t nameStart = at;
        while (at < value.size() && std::isalpha(static_cast<unsigned char>(value[at]))) ++at;
        const std::string name = value.substr(nameStart, at - nameStart);
        const auto* keyword = std::find_if(std::begin(keywords), std::end(keywords),
                                           [&](const auto& entry) { return name == entry.first; });
        if (keyword == std::end(keywords)) return false;
        skipSpace();
        if (at == value.size() || value[at] != '(') return false;
        ++at;
        skipSpace();
        int count = 0;
        while (at < value.size() && value[at] != ')') {
            if (count > 0) skipSeparator();
            double number = 0.0;
            const char* start = value.c_str() + at;
            const char* end = scanDecimal(start, &number);
            if (end == start) return false;
            at += static_cast<std::size_t>(end - start);
            count += 1;
            skipSpace();
        }
        if (at == value.size()) return false;
        ++at;
        const int fewest = keyword->second.first, most = keyword->second.second;
        if (count < fewest || count > most || (name == "rotate" && count == 2)) return false;
        skipSeparator();
    }
    return true;
}

// The tokens of path data or a points list as the reader splits them, each with whether it is
// the signed exponent of the number before it (1e-5 splits into 1e and -5). Also counts the
// number tokens a viewer reads otherwise: the reader takes the number at a token's start and
// drops the rest, so 0.5.5 is 0.5 here and the two numbers 0.5 and .5 there.
class PathTokens {
public:
    explicit PathTokens(const char* data) : position(data) {}

    bool next() {
        if (*position == '\0') return finish();
        const char* start = position;
        while (isPathSeparator(static_cast<unsigned char>(*start))) ++start;
        const char* after = nextPathToken(position, text);
        if (text[0] == '\0') return finish();
        const bool isNumber = isNumberChar(static_cast<unsigned char>(text[0]));
        exponentSplit = isNumber && start == position && previousEndsInE &&
                        (text[0] == '-' || text[0] == '+');
        previousEndsInE = isNumber && (after[-1] == 'e' || after[-1] == 'E');
        // "1e" is read in part only when no signed exponent follows: that split is its own case
        if (bareExponentHeld && !exponentSplit) notePartlyRead(heldExponentToken);
        bareExponentHeld = false;
        if (isNumber) checkWhole(start, after);
        position = after;
        return true;
    }
    const char* token() const { return text; }
    bool splitsExponent() const { return exponentSplit; }
    std::size_t partlyRead() const { return partlyReadCount; }
    const std::string& firstPartlyRead() const { return firstPartly; }

private:
    bool finish() {
        if (bareExponentHeld) notePartlyRead(heldExponentToken);
        bareExponentHeld = false;
        return false;
    }

    void checkWhole(const char* start, const char* after) {
        double whole = 0.0;
        const char* end = scanDecimal(start, &whole);
        if (end < after) {
            const bool bareExponent = end > start && end + 1 == after;  // "1e": all but the "e"
            if (bareExponent) {
                bareExponentHeld = true;
                heldExponentToken.assign(start, after);
            } else {
                notePartlyRead(std::string(start, after));
            }
            return;
        }
        // a token past the kept characters: only its beginning counts here
        if (after - start > numberTokenLimit &&
            static_cast<float>(whole) != scanFloatToken(start).value)
            notePartlyRead(std::string(start, after));
    }

    void notePartlyRead(const std::string& token) {
        if (partlyReadCount++ == 0) firstPartly = token;
    }

    const char* position;
    char text[pathTokenSize] = {};
    bool previousEndsInE = false;
    bool exponentSplit = false;
    bool bareExponentHeld = false;
    std::string heldExponentToken;
    std::size_t partlyReadCount = 0;
    std::string firstPartly;
};

// The held-number rules of the path interpreter, counting numbers instead of drawing: what is
// dropped, what a new command reads from the one before, and how many arcs run.
struct HeldNumberTally {
    int arity = 0;
    int held = 0;
    int carried = 0;  // numbers held when the current command letter came
    char current = 0;
    std::size_t dropped = 0, shifted = 0, arcs = 0;

    void command(char letter) {
        if (letter == 'M' || letter == 'm' || letter == 'Z' || letter == 'z') {
            dropped += static_cast<std::size_t>(held);
            held = 0;
        }
        carried = held;
        current = letter;
        arity = pathCommandArity(letter);
    }

    void number() {
        if (held < heldNumberLimit) held += 1; else dropped += 1;
        if (held < arity) return;
        if (arity == 0) {
            dropped += static_cast<std::size_t>(held);
        } else {
            shifted += static_cast<std::size_t>(std::min(carried, arity));
            dropped += static_cast<std::size_t>(held - arity);
            if (current == 'A' || current == 'a') arcs += 1;
        }
        held = 0;
        carried = 0;
    }

    void finish() {
        dropped += static_cast<std::size_t>(held);
        held = 0;
    }
};

// Walks one document with the reader's tokenizer, forwarding every event to the reader's own
// dispatch on a private state, and notes what the reader passes over on the way.
class Checker {
public:
    Checker(const std::string& text, float tolerance)
        : original(text), buffer(text.begin(), text.end()), reader(createParserState()) {
        buffer.push_back('\0');
        for (std::size_t i = 0; i < original.size(); ++i)
            if (original[i] == '\n') newlines.push_back(i);
        if (reader) reader->tolerance = tolerance;
    }

    PreflightReport run() {
        if (!reader) return report;
        tokenizeMarkup(buffer.data(), &Checker::startThunk, &Checker::endThunk,
                       &Checker::textThunk, this);
        const bool cutShort = checkUnclosedTag();
        const std::size_t zero = original.find('\0');
        if (!cutShort && zero == std::string::npos) checkLeftOpen();
        if (zero != std::string::npos) {
            Finding& finding = add(Construct::ZeroByte, "", lineOf(buffer.data() + zero));
            // a compressed drawing (.svgz) starts with the two bytes of the gzip format
            if (original.compare(0, 2, "\x1f\x8b") == 0)
                finding.remedy =
                    "the file is compressed (.svgz): unpack it with gunzip and import the .svg";
        }
        for (const PathRecord* r = reader->paths; r != nullptr; r = r->next) report.records += 1;
        return std::move(report);
    }

private:
    std::string original;
    std::vector<char> buffer;  // the tokenizer cuts this copy; original keeps the bytes
    std::vector<std::size_t> newlines;
    StatePtr reader;
    std::vector<OpenElement> open;
    std::unordered_map<std::string, std::size_t> openCount;  // open elements of each name
    int openPathLine = 0;
    bool rootSeen = false;
    // The open elements are checked for the nesting an XML parser wants only in a document
    // whose first element is svg, as a viewer reads it.
    bool firstElementSeen = false;
    bool svgDocument = false;
    bool rootClosed = false;  // the root element of such a document has ended
    bool hasTransformAttribute = false;  // of the element whose attributes are being checked
    PreflightReport report;
    std::map<std::pair<Construct, std::string>, std::size_t> findingIndex;
    std::unordered_map<std::string, bool> routedCache;
    std::unordered_map<std::string, bool> presentationCache;

    static void startThunk(void* self, const char* name, AttrList attributes) {
        static_cast<Checker*>(self)->onStart(name, attributes);
    }
    static void endThunk(void* self, const char* name) { static_cast<Checker*>(self)->onEnd(name); }
    static void textThunk(void* self, const char* text) { static_cast<Checker*>(self)->onText(text); }

    std::size_t offsetOf(const char* p) const {
        return static_cast<std::size_t>(p - buffer.data());
    }

    // The line of a position in the cut buffer, counted in the untouched copy.
    int lineOf(const char* p) const {
        auto before = std::lower_bound(newlines.begin(), newlines.end(), offsetOf(p));
        return static_cast<int>(before - newlines.begin()) + 1;
    }

    // Counts one more occurrence of construct for subject, keeping its first lines.
    Finding& add(Construct construct, const std::string& subject, int line, std::size_t count = 1) {
        auto key = std::make_pair(construct, subject);
        auto found = findingIndex.find(key);
        if (found == findingIndex.end()) {
            found = findingIndex.emplace(key, report.findings.size()).first;
            Finding finding;
            finding.construct = construct;
            finding.subject = subject;
            report.findings.push_back(finding);
        }
        Finding& finding = report.findings[found->second];
        finding.count += count;
        if (finding.lines.size() < reportedLineLimit &&
            (finding.lines.empty() || finding.lines.back() != line))
            finding.lines.push_back(line);
        return finding;
    }

    // Whether the reader's dispatch groups, draws or hides an element of this name: one start
    // tag carrying the geometry of every drawable kind goes to a scratch reader.
    bool isRouted(const std::string& name) {
        auto cached = routedCache.find(name);
        if (cached != routedCache.end()) return cached->second;
        StatePtr probe(createParserState());
        bool routed = false;
        if (probe) {
            probe->tolerance = 0.1f;
            const char* attributes[] = {"width", "1", "height", "1", "r", "1", "x2", "1",
                                        "points", "0 0 1 1", "d", "M0 0 L1 1", nullptr, nullptr};
            onElementStart(probe.get(), name.c_str(), attributes);
            routed = probe->styleTop > 0 || probe->inPath || probe->inDefs || probe->paths;
        }
        routedCache.emplace(name, routed);
        return routed;
    }

    bool isDrawable(const std::string& name) { return name != "g" && name != "defs" && isRouted(name); }

    // Whether the reader's attribute table knows the name.
    bool isPresentation(const std::string& name) {
        auto cached = presentationCache.find(name);
        if (cached != presentationCache.end()) return cached->second;
        StatePtr probe(createParserState());
        bool known = probe && applyPresentationAttribute(*probe, name.c_str(), "");
        presentationCache.emplace(name, known);
        return known;
    }

    const char* innermostHelper() const { return open.empty() ? nullptr : open.back().helper; }

    // Inside a defs element as written, whatever the reader's single flag says.
    bool insideTrueDefs() const { return !open.empty() && open.back().defsDepth > 0; }

    // Pushes an element with the defs, the definition container and the element drawing no
    // children that enclose it. "<rect/>" arrives as a start tag named "rect/" without an end
    // and encloses nothing.
    void openElement(const std::string& element, int line) {
        if (!element.empty() && element.back() == '/') return;
        OpenElement entry{element, open.empty() ? 0 : open.back().defsDepth, innermostHelper(),
                          open.empty() ? std::string() : open.back().blocker, line};
        if (element == "defs") entry.defsDepth += 1;
        for (const char* helper : helperContainers)
            if (element == helper) entry.helper = helper;
        // prefixed names are an editor's own or named by their own finding
        if (entry.blocker.empty() && !isOneOf(element, childDrawingElements) &&
            !isOneOf(element, helperContainers) && element.find(':') == std::string::npos)
            entry.blocker = element;
        open.push_back(std::move(entry));
        ++openCount[element];
    }

    // Notes what the reader will pass over, hands the tag to the reader, and looks at what it drew.
    void onStart(const char* name, AttrList attributes) {
        const std::string element(name);
        const int line = lineOf(name);
        const bool wasInDefs = reader->inDefs != 0;
        const bool wasInPath = reader->inPath != 0;
        const int topBefore = reader->styleTop;
        const PathRecord* headBefore = reader->paths;

        checkWellFormedStart(element, attributes, line);
        if (wasInDefs) {
            if (isDrawable(element)) add(Construct::DrawableInDefs, element, line);
        } else if (isRouted(element)) {
            checkRouted(element, attributes, line, wasInPath, topBefore);
        } else {
            checkForeign(element, attributes, line);
        }

        openElement(element, line);
        onElementStart(reader.get(), name, attributes);

        if (element == "path" && !wasInPath && reader->inPath) openPathLine = line;
        if (!wasInDefs && isDrawable(element) && !(element == "path" && wasInPath))
            checkRecords(element, line, headBefore);
    }

    // Hands the end tag to the reader and closes the innermost open element of that name.
    void onEnd(const char* name) {
        checkWellFormedEnd(name, lineOf(name));
        onElementEnd(reader.get(), name);
        if (!reader->inPath) openPathLine = 0;
        // an end tag of no open element leaves the stack as it is, without a walk down it
        auto count = openCount.find(name);
        if (count == openCount.end() || count->second == 0) return;
        std::size_t at = open.size();
        while (open[--at].name != name) {}
        for (std::size_t i = at; i < open.size(); ++i) --openCount[open[i].name];
        open.resize(at);
        rootClosed = svgDocument && open.empty();
    }

    // The rest of a comment or CDATA section that held a ">" arrives as text.
    void onText(const char* text) {
        if (std::strstr(text, "-->") != nullptr || std::strstr(text, "]]>") != nullptr)
            add(Construct::CommentCut, "", lineOf(text));
    }

    // The tokenizer drops a last tag whose ">" never comes, as in a file cut short; true then.
    bool checkUnclosedTag() {
        const std::size_t end = std::min(original.find('\0'), original.size());  // text ends at a NUL
        if (end == 0) return false;
        const std::size_t lastOpen = original.rfind('<', end - 1);
        if (lastOpen == std::string::npos || original.find('>', lastOpen) < end) return false;
        add(Construct::UnclosedTag, "", lineOf(buffer.data() + lastOpen));
        return true;
    }

    // Markup an XML parser refuses, so that a viewer shows an error instead of the drawing,
    // where the reader reads on: an attribute written twice or holding a "<" in any document;
    // in an svg document also elements after the root.
    void checkWellFormedStart(const std::string& element, AttrList attributes, int line) {
        for (int i = 0; attributes[i] != nullptr && attributes[i + 1] != nullptr; i += 2) {
            for (int j = 0; j < i; j += 2) {
                if (std::strcmp(attributes[i], attributes[j]) == 0) {
                    add(Construct::NotWellFormed, std::string(attributes[i]) + " written twice",
                        line);
                    break;
                }
            }
            if (std::strchr(attributes[i + 1], '<') != nullptr)
                add(Construct::NotWellFormed, "\"<\" in an attribute value", line);
            if (hasBareAmpersand(attributes[i + 1]))
                add(Construct::NotWellFormed, "\"&\" without a reference in an attribute value",
                    line);
        }
        if (!firstElementSeen) svgDocument = element == "svg";
        firstElementSeen = true;
        if (!svgDocument) return;
        if (rootClosed && open.empty())
            add(Construct::NotWellFormed, "element after the end of the root", line);
    }

    // Whether an "&" starts no reference: a name, "#" and digits, or "#x" and hex digits, each
    // ended by ";".
    static bool hasBareAmpersand(const char* value) {
        for (const char* p = std::strchr(value, '&'); p != nullptr; p = std::strchr(p + 1, '&')) {
            const char* q = p + 1;
            if (*q == '#') {
                const bool hex = *++q == 'x';
                if (hex) ++q;
                const auto isReferenceDigit = [hex](char c) {
                    const auto byte = static_cast<unsigned char>(c);
                    return hex ? isHexDigit(byte) : isDigit(byte);
                };
                const char* digits = q;
                while (isReferenceDigit(*q)) ++q;
                if (q == digits) return true;
            } else {
                const char* name = q;
                while (std::isalnum(static_cast<unsigned char>(*q)) || *q == '_' || *q == '-' ||
                       *q == '.' || *q == ':')
                    ++q;
                if (q == name || std::isdigit(static_cast<unsigned char>(*name))) return true;
            }
            if (*q != ';') return true;
        }
        return false;
    }

    // An end tag must close the innermost open element; onEnd then closes the innermost open
    // element of its name, if any, as before.
    void checkWellFormedEnd(const std::string& element, int line) {
        if (!svgDocument || (!open.empty() && open.back().name == element)) return;
        Finding& f = add(Construct::NotWellFormed, "end tag </" + element + "> out of place", line);
        if (f.note.empty())
            f.note = open.empty() ? "no element is open there"
                                  : "<" + open.back().name + "> of line " +
                                        std::to_string(open.back().line) + " is open there";
    }

    // Elements of an svg document still open at its end, outermost first.
    void checkLeftOpen() {
        if (!svgDocument) return;
        for (const OpenElement& element : open)
            add(Construct::NotWellFormed, "<" + element.name + "> without an end tag",
                element.line);
    }

    // An element the reader routes: a group, a drawable, or defs.
    void checkRouted(const std::string& element, AttrList attributes, int line, bool wasInPath,
                     int topBefore) {
        if (element == "path" && wasInPath) {
            Finding& f = add(Construct::PathAfterOpenTag, "", line);
            if (f.note.empty() && openPathLine > 0)
                f.note = "the path on line " + std::to_string(openPathLine) + " has no end tag";
            return;
        }
        if (element == "defs") return;
        if (topBefore >= styleStackSize - 1) add(Construct::StyleStackFull, "", line);
        if (element != "g") {
            if (const char* helper = innermostHelper())
                add(Construct::HelperContentDrawn, helper, line);
            else if (insideTrueDefs())
                add(Construct::DrawnDespiteDefs, element, line);
            else if (!open.empty() && !open.back().blocker.empty())
                add(Construct::ShapeInsideNonContainer, open.back().blocker, line);
        }
        checkAttributes(element, attributes);
    }

    // An element outside the routing table: what a viewer would make of it that the import does not.
    void checkForeign(const std::string& written, AttrList attributes, int line) {
        std::string element = written;
        if (!element.empty() && element.back() == '/') {
            element.pop_back();
            if (isRouted(element)) {  // an empty group or defs loses nothing
                if (isDrawable(element)) add(Construct::SelfClosingNoSpace, element, line);
                return;
            }
        }
        std::string base = asciiLower(element);
        std::size_t colon = base.rfind(':');
        if (colon != std::string::npos) base = base.substr(colon + 1);
        if (base != element && isRouted(base)) {
            add(Construct::NameCaseOrPrefix, element, line);
            return;
        }
        if (element.find(':') != std::string::npos) return;  // an editor's own metadata
        if (element == "svg") checkViewport(attributes, line);
        for (const ForeignElement& foreign : foreignElements) {
            if (element == foreign.name) {
                Finding& f = add(foreign.construct, element, line);
                if (foreign.remedy != nullptr) f.remedy = foreign.remedy;
                return;
            }
        }
        checkContainerStyling(element, attributes);
        if (isOneOf(element, helperContainers) || isOneOf(element, quietElements)) return;
        add(Construct::UnreadElement, element, line);
    }

    // Presentation attributes on an element that is no group reach none of its children.
    void checkContainerStyling(const std::string& element, AttrList attributes) {
        for (int i = 0; attributes[i] != nullptr; i += 2) {
            const char* value = attributes[i + 1];
            if (value == nullptr) break;
            std::string name = attributes[i];
            if (name == "style") {
                for (const auto& declaration : splitDeclarations(value))
                    if (declaration.first != "display" && isPresentation(declaration.first))
                        add(Construct::ContainerStyling, element + " " + declaration.first,
                            lineOf(value));
            } else if (name != "display" && isPresentation(name)) {
                add(Construct::ContainerStyling, element + " " + name, lineOf(attributes[i]));
            }
        }
    }

    // The attributes of a group or a drawable, in the order the reader applies them.
    void checkAttributes(const std::string& element, AttrList attributes) {
        bool afterD = false;
        std::vector<std::string> styled;  // names declared in the style attributes so far
        hasTransformAttribute = false;
        for (int i = 0; attributes[i] != nullptr; i += 2)
            if (attributes[i + 1] != nullptr && std::strcmp(attributes[i], "transform") == 0)
                hasTransformAttribute = true;
        for (int i = 0; attributes[i] != nullptr; i += 2) {
            const char* name = attributes[i];
            const char* value = attributes[i + 1];
            const int line = lineOf(name);
            checkQuoting(name, value, line);
            if (value == nullptr) break;
            const std::string attribute(name);
            if (std::strchr(value, '&') != nullptr) add(Construct::EntityNotDecoded, attribute, line);
            if (element == "path" && attribute == "d") {
                checkPathData(value, lineOf(value));
                afterD = true;
                continue;
            }
            if (afterD && isPresentation(attribute)) add(Construct::AttributeAfterD, attribute, line);
            // a viewer lets a style declaration win over the attribute of the same name, the
            // import takes whichever comes last (a transform has its own finding)
            if (!afterD && attribute != "transform" &&
                std::find(styled.begin(), styled.end(), attribute) != styled.end())
                add(Construct::AttributeAfterStyle, attribute, line);
            if (attribute == "points" && (element == "polyline" || element == "polygon")) {
                checkPoints(value, lineOf(value));
            } else if (attribute == "style") {
                checkStyleText(element, value, line);
                for (const auto& declaration : splitDeclarations(value))
                    if (isPresentation(declaration.first)) styled.push_back(declaration.first);
            } else {
                checkProperty(element, attribute, value, line, false);
            }
        }
        checkNegativeSize(element, attributes);
    }

    // A value in single quotes or without quotes makes the name take a later double-quoted value.
    void checkQuoting(const char* name, const char* value, int line) {
        const std::size_t nameEnd = offsetOf(name) + std::strlen(name);
        if (value == nullptr) {
            add(Construct::QuotingLost, name, line);
            return;
        }
        const std::size_t valueStart = offsetOf(value);
        bool clean = true;
        bool sawEquals = false;
        for (std::size_t i = nameEnd; i + 1 < valueStart; ++i) {
            char c = original[i];
            if (c == '=' && !sawEquals) {
                sawEquals = true;
            } else if (!isBlank(static_cast<unsigned char>(c))) {
                clean = false;
            }
        }
        if (!clean || !sawEquals) add(Construct::QuotingLost, name, line);
        const std::size_t valueEnd = valueStart + std::strlen(value);
        if (valueEnd >= original.size() || original[valueEnd] != '"')
            add(Construct::TagCutInValue, name, line);
    }

    // Each declaration of a "style" text, as the reader splits it.
    void checkStyleText(const std::string& element, const std::string& text, int line) {
        if (text.find("/*") != std::string::npos) add(Construct::StyleComment, "", line);
        for (const auto& declaration : splitDeclarations(text))
            checkProperty(element, declaration.first, declaration.second, line, true);
    }

    // One attribute or declaration that a viewer applies differently from the import.
    void checkProperty(const std::string& element, const std::string& name,
                       const std::string& value, int line, bool inStyle) {
        if (name == "fill") {
            checkFillColor(value, line);
        } else if (name == "stroke") {
            if (value != "none") add(Construct::Strokes, "", line);
        } else if (name == "fill-opacity") {
            float opacity = parseNumber(value.c_str());
            if (value.find('%') != std::string::npos || !(opacity >= 0.0f && opacity <= 1.0f))
                add(Construct::OpacityOutOfRange, quoted(value), line);
        } else if (name == "transform") {
            for (const char* keyword : ignoredTransformKeywords)
                for (std::size_t at = value.find(keyword); at != std::string::npos;
                     at = value.find(keyword, at + 1))
                    add(Construct::IgnoredTransform, keyword, line);
            if (!inStyle && !isSvgTransformList(value))
                add(Construct::TransformRejected, "", line).note = quoted(value);
            if (inStyle && hasTransformAttribute)
                add(Construct::StyleTransform, "beside a transform attribute", line);
            else if (inStyle)
                checkStyleTransform(value, line);
            std::string first;
            if (std::size_t runs = transformRunsReadInPart(value, first)) {
                Finding& f = add(Construct::TransformNumbersRunTogether, "", line, runs);
                if (f.note.empty()) f.note = "line " + std::to_string(line) + ": " + quoted(first);
            }
        } else if (isOneOf(name, unappliedProperties)) {
            checkNotApplied(name, value, line);
        } else if (name == "class" && !inStyle) {
            add(Construct::ClassAttribute, "", line);
        } else if (!inStyle && element == "rect" && (name == "rx" || name == "ry")) {
            if (parseNumber(value.c_str()) != 0.0f) add(Construct::RoundedCorners, name, line);
        } else if (!inStyle && isGeometryName(element, name)) {
            std::string unit = unitAfterNumber(value.c_str());
            if (!unit.empty() && unit != "px") add(Construct::UnitsIgnored, unit, line);
        }
    }

    // A transform declaration alone on its element: a viewer drops it, or converts its units.
    void checkStyleTransform(const std::string& value, int line) {
        const CssArgument taken = cssTransform(value);
        if (taken == CssArgument::plain) return;
        const char* how = taken == CssArgument::invalid         ? "not in CSS form"
                          : taken == CssArgument::otherFunction ? "with a function read otherwise"
                                                                : "with units other than px";
        add(Construct::StyleTransform, how, line).note = quoted(value);
    }

    // The shape attributes whose numbers the readers take, units ignored.
    static bool isGeometryName(const std::string& element, const std::string& name) {
        static const std::pair<const char*, const char*> geometry[] = {
            {"rect", "x"}, {"rect", "y"}, {"rect", "width"}, {"rect", "height"},
            {"circle", "cx"}, {"circle", "cy"}, {"circle", "r"},
            {"line", "x1"}, {"line", "y1"}, {"line", "x2"}, {"line", "y2"}};
        return std::any_of(std::begin(geometry), std::end(geometry), [&](const auto& entry) {
            return element == entry.first && name == entry.second;
        });
    }

    // A property the import does not apply, where it changes what a viewer shows. References
    // (clips, masks, filters, markers) are named without their value.
    void checkNotApplied(const std::string& name, const std::string& value, int line) {
        bool changesView = value != "none";
        bool showValue = true;
        if (name == "display") changesView = value == "none";
        else if (name == "visibility") changesView = value == "hidden" || value == "collapse";
        else if (name == "opacity") changesView = parseNumber(value.c_str()) != 1.0f;
        else if (name == "fill-rule") changesView = value == "evenodd";
        else showValue = false;
        if (changesView) add(Construct::NotApplied, showValue ? name + ":" + value : name, line);
    }

    // A fill that is not six-digit "#" hex arrives black or as another colour.
    void checkFillColor(const std::string& value, int line) {
        if (value == "none") return;
        std::size_t at = value.find_first_not_of(' ');
        if (at == std::string::npos || value[at] != '#') {
            // the reader skips only spaces before the "#": a tab or line break there stays shown
            std::string shown = trimmed(value);
            if (!shown.empty() && shown[0] == '#')
                shown = value.substr(at, value.find('#') - at) + shown;
            add(Construct::NonHexColor, quoted(shown), line);
            return;
        }
        std::size_t digits = 0;
        while (at + 1 + digits < value.size() &&
               isHexDigit(static_cast<unsigned char>(value[at + 1 + digits])))
            ++digits;
        if (digits == 0) add(Construct::NonHexColor, quoted(trimmed(value)), line);
        if (digits == 3) add(Construct::ShortHexColor, quoted(trimmed(value)), line);
        if (digits == 4 || digits == 8) add(Construct::AlphaHexColor, quoted(trimmed(value)), line);
    }

    // Walks the data with the reader's own token splitter and arities, counting what the
    // held-number rules drop or shift into the next command, and what draws nothing.
    void checkPathData(const char* data, int line) {
        PathTokens tokens(data);
        HeldNumberTally tally;
        std::size_t exponents = 0, unknown = 0;
        bool firstToken = true;
        while (tokens.next()) {
            const char first = tokens.token()[0];
            // a viewer draws nothing of path data that starts with another command than a move-to
            if (firstToken && isPathCommandLetter(first) && first != 'M' && first != 'm')
                add(Construct::PathWithoutMoveTo, "", line);
            firstToken = false;
            if (isNumberChar(static_cast<unsigned char>(first))) {
                if (tokens.splitsExponent()) exponents += 1;
                tally.number();
            } else {
                if (!isPathCommandLetter(first)) unknown += 1;
                tally.command(first);
            }
        }
        tally.finish();
        if (tally.arcs > 0) add(Construct::PathArc, "", line, tally.arcs);
        if (exponents > 0) add(Construct::PathSignedExponent, "", line, exponents);
        notePartlyRead(tokens, line);
        if (unknown > 0) add(Construct::PathUnknownCommand, "", line, unknown);
        if (tally.dropped + tally.shifted == 0) return;
        Finding& f = add(Construct::PathHeldNumbers, "", line, tally.dropped + tally.shifted);
        if (!f.note.empty()) return;
        f.note = "line " + std::to_string(line) + ": " + std::to_string(tally.dropped) + " dropped";
        if (tally.shifted > 0)
            f.note += ", " + std::to_string(tally.shifted) + " read by the next command";
    }

    // A points list: signed exponents, numbers read in part and stray characters differ here.
    void checkPoints(const char* list, int line) {
        PathTokens tokens(list);
        std::size_t exponents = 0, stray = 0;
        while (tokens.next()) {
            if (tokens.splitsExponent()) exponents += 1;
            if (!isNumberChar(static_cast<unsigned char>(tokens.token()[0]))) stray += 1;
        }
        if (exponents > 0) add(Construct::PointsSignedExponent, "", line, exponents);
        if (stray > 0) add(Construct::PointsStrayCharacter, "", line, stray);
        notePartlyRead(tokens, line);
    }

    // A rect or circle of negative size: a viewer draws nothing, the reader draws it (a rect
    // mirrored, a circle with the radius taken positive). The last value of a name counts.
    void checkNegativeSize(const std::string& element, AttrList attributes) {
        const bool rect = element == "rect";
        if (!rect && element != "circle") return;
        float width = 0.0f, height = 0.0f, radius = 0.0f;
        int line = 0;
        for (int i = 0; attributes[i] != nullptr; i += 2) {
            const char* name = attributes[i];
            if (attributes[i + 1] == nullptr) continue;  // the reader skips a name without a value
            float* size = rect && std::strcmp(name, "width") == 0    ? &width
                          : rect && std::strcmp(name, "height") == 0 ? &height
                          : !rect && std::strcmp(name, "r") == 0     ? &radius
                                                                     : nullptr;
            if (size == nullptr) continue;
            *size = parseNumber(attributes[i + 1]);
            if (*size < 0.0f) line = lineOf(name);
        }
        const bool negative =
            rect ? width != 0.0f && height != 0.0f && (width < 0.0f || height < 0.0f) : radius < 0.0f;
        if (negative) add(Construct::NegativeSize, element, line);
    }

    void notePartlyRead(const PathTokens& tokens, int line) {
        if (tokens.partlyRead() == 0) return;
        Finding& f = add(Construct::NumberReadInPart, "", line, tokens.partlyRead());
        if (f.note.empty())
            f.note = "line " + std::to_string(line) + ": " + quoted(tokens.firstPartlyRead());
    }

    // The root element's viewBox against its width and height: the scale a viewer applies.
    void checkViewport(AttrList attributes, int line) {
        if (rootSeen) {
            add(Construct::RootViewport, "nested svg", line);
            return;
        }
        rootSeen = true;
        const char* width = nullptr;
        const char* height = nullptr;
        const char* viewBox = nullptr;
        for (int i = 0; attributes[i] != nullptr && attributes[i + 1] != nullptr; i += 2) {
            if (std::strcmp(attributes[i], "width") == 0) width = attributes[i + 1];
            if (std::strcmp(attributes[i], "height") == 0) height = attributes[i + 1];
            if (std::strcmp(attributes[i], "viewBox") == 0) viewBox = attributes[i + 1];
        }
        if (viewBox == nullptr) return;
        double box[4] = {0.0, 0.0, 0.0, 0.0};
        const char* p = viewBox;
        for (double& number : box) {
            while (isPathSeparator(static_cast<unsigned char>(*p))) ++p;
            p = scanDecimal(p, &number);
        }
        if (!(box[2] > 0.0) || !(box[3] > 0.0)) return;
        double scaleX = viewportScale(width, box[2]);
        double scaleY = viewportScale(height, box[3]);
        // Only a scale changes sizes; an offset alone moves the page, not the drawing.
        if (std::fabs(scaleX - 1.0) < 1e-9 && std::fabs(scaleY - 1.0) < 1e-9) return;
        std::string subject = "viewBox " + quoted(viewBox);
        if (width != nullptr) subject += ", width " + quoted(width);
        if (height != nullptr) subject += ", height " + quoted(height);
        Finding& f = add(Construct::RootViewport, subject, line);
        char text[160];
        std::snprintf(text, sizeof text, "a viewer shows one user unit as %.4g x %.4g px",
                      scaleX, scaleY);
        f.note = text;
        if (box[0] != 0.0 || box[1] != 0.0)
            f.note += ", moved by (" + formatDouble(-box[0]) + ", " + formatDouble(-box[1]) + ")";
    }

    // Pixels per user unit along one axis; 1 where the size is missing or relative.
    static double viewportScale(const char* size, double boxSize) {
        if (size == nullptr) return 1.0;
        double number = 0.0;
        const char* start = skipBlanks(size);
        const char* rest = scanDecimal(start, &number);
        if (rest == start) return 1.0;
        double perUnit = pixelsPerUnit(trimmed(rest));
        if (perUnit == 0.0) return 1.0;
        return number * perUnit / boxSize;
    }

    // What reached the reader's output for one drawable element.
    void checkRecords(const std::string& element, int line, const PathRecord* headBefore) {
        std::size_t records = 0, unbounded = 0;
        bool unfilled = false;
        for (const PathRecord* r = reader->paths; r != headBefore && r != nullptr; r = r->next) {
            records += 1;
            if (!r->hasFill) unfilled = true;
            const float* begin = r->points;
            const float* end = begin + 2 * static_cast<std::ptrdiff_t>(r->pointCount);
            if (!std::all_of(begin, end, [](float v) { return std::isfinite(v); })) unbounded += 1;
        }
        if (unfilled) add(Construct::NoFill, "", line);
        if (unbounded > 0) add(Construct::BeyondFloatRange, element, line, unbounded);
        if (element == "path" && records > 1) add(Construct::SeveralSubpaths, "", line);
    }
};

constexpr std::pair<Construct, ConstructAdvice> adviceTable[] = {
    {Construct::UnreadElement,
     {"element not read",
      "passed over: nothing of it arrives; its children are still read as if they stood in its place",
      "convert it to paths in the drawing program before saving"}},
    {Construct::HelperContentDrawn,
     {"shapes inside a definition container",
      "a viewer draws these only where they are referenced (inside title, desc or metadata never); "
      "the import draws them where they stand",
      "delete the container, or release its shapes (unlink clones, release masks and clips, move "
      "shapes out of title, desc and metadata)"}},
    {Construct::GradientElement,
     {"gradient",
      "not read; every fill that refers to it arrives black",
      "replace gradients by flat \"#rrggbb\" fills"}},
    {Construct::StyleSheet,
     {"style sheet",
      "CSS rules are not applied to any element",
      "save with presentation attributes instead of CSS (style properties written on each element)"}},
    {Construct::ClassAttribute,
     {"class attribute",
      "classes select CSS rules, which are not applied",
      "save with presentation attributes instead of CSS classes"}},
    {Construct::NameCaseOrPrefix,
     {"element name in another case or with a prefix",
      "names are compared exactly: the element is passed over and nothing of it arrives",
      "save as plain SVG: lower-case element names without a namespace prefix"}},
    {Construct::SelfClosingNoSpace,
     {"self-closing tag without a space before \"/>\"",
      "the name takes the \"/\" and the element is passed over",
      "write a space before \"/>\" (any SVG writer's plain output does)"}},
    {Construct::DrawableInDefs,
     {"shape inside defs",
      "not imported; a viewer shows it only where it is used, which the import cannot follow",
      "unlink clones so the shapes stand outside defs"}},
    {Construct::DrawnDespiteDefs,
     {"shape after a nested defs",
      "the inner defs end tag ends the hiding: this shape arrives though a viewer hides it",
      "do not nest defs elements"}},
    {Construct::ContainerStyling,
     {"styling on an element that is no group",
      "only g passes styles and transforms on; this attribute reaches none of the children",
      "move the attribute onto a g element around the shapes, or onto the shapes"}},
    {Construct::PathArc,
     {"arc command in path data",
      "an arc only moves the current point: a straight edge replaces the arc",
      "re-save with arcs converted to curves (Bezier output, e.g. by converting the object to a path again)"}},
    {Construct::PathSignedExponent,
     {"number with a signed exponent in path data",
      "1e-5 is read as two numbers, 1 and -5: the path is garbled from there on",
      "re-save without exponents (fixed-point numbers, fewer decimal places)"}},
    {Construct::PointsStrayCharacter,
     {"stray character in a points list",
      "it counts as the number 0 and shifts the pairing of the numbers after it; a viewer stops there",
      "remove it: a points list holds only numbers, spaces and commas"}},
    {Construct::NegativeSize,
     {"shape of negative size",
      "a viewer draws nothing; the import draws a rect mirrored and a circle with the radius taken positive",
      "correct the size, or delete the shape"}},
    {Construct::NumberReadInPart,
     {"number read only in part",
      "the import reads only the number at its start and drops the rest: 0.5.5 is 0.5 (a viewer "
      "reads 0.5 and .5, and the numbers after it pair up differently), 1e5e5 is 1e5, and of a "
      "number longer than 63 characters only the first 63 count",
      "write a separator between numbers (0.5 .5), or re-save the path from the drawing program"}},
    {Construct::PathWithoutMoveTo,
     {"path data without a move-to at the start",
      "a viewer draws nothing of the path; the import starts it at the first point drawn",
      "start the path data with M (or delete the path)"}},
    {Construct::PathHeldNumbers,
     {"numbers that do not complete their command",
      "left-over numbers are dropped or read as the first numbers of the next command",
      "re-save the path so that every command has its full set of numbers"}},
    {Construct::PathUnknownCommand,
     {"unknown letter in path data",
      "the numbers after it are dropped one at a time",
      "re-save the path from the drawing program"}},
    {Construct::PathAfterOpenTag,
     {"path after a path start tag that was left open",
      "every later path is ignored until some path end tag comes",
      "close every path element (\"/>\" with a space before it, or </path>)"}},
    {Construct::AttributeAfterStyle,
     {"attribute written after a style declaration of the same name",
      "the import takes the attribute, the later of the two; a viewer takes the style declaration",
      "remove the attribute, or the declaration, so that only the value you want is left"}},
    {Construct::StyleComment,
     {"comment in a style attribute",
      "the import reads the comment as part of a name or a value: the declaration it stands in "
      "is passed over or misread",
      "remove the comment from the style attribute"}},
    {Construct::AttributeAfterD,
     {"attribute written after d",
      "attributes after the path data reach no output: the path keeps the colour and transform before it",
      "write fill, style and transform before d (re-save, or move the attribute)"}},
    {Construct::PointsSignedExponent,
     {"number with a signed exponent in a points list",
      "1e-5 is read as two numbers, 1 and -5, and the pairing shifts",
      "re-save without exponents"}},
    {Construct::NonHexColor,
     {"colour not in \"#\" form",
      "named, rgb() and url(#...) colours arrive black",
      "use six-digit \"#rrggbb\" colours (replace gradients and patterns by flat colours)"}},
    {Construct::ShortHexColor,
     {"three-digit colour",
      "read as one small number, not expanded: \"#f00\" arrives as a near-black green, not red",
      "write colours with six digits: \"#ff0000\""}},
    {Construct::AlphaHexColor,
     {"colour with an alpha digit group",
      "the digits are read as one number: the colour and its transparency are wrong",
      "write six-digit \"#rrggbb\" and a separate fill-opacity"}},
    {Construct::OpacityOutOfRange,
     {"fill-opacity outside 0..1 or in percent",
      "not clamped: the transparency wraps to an unrelated value",
      "write fill-opacity as a number from 0 to 1"}},
    {Construct::TransformRejected,
     {"transform a viewer rejects",
      "a viewer drops the whole transform (a wrong count of numbers, an unknown keyword, a "
      "missing parenthesis); the import still applies every matrix, translate and scale in it",
      "correct the transform, or remove it"}},
    {Construct::StyleTransform,
     {"transform in a style declaration",
      "the import composes it with the element's transform attribute, in the order written; a "
      "viewer takes it only in CSS form (commas between numbers, units on translations), then "
      "in place of the attribute, and converts units (mm, %) that the import reads as user "
      "units; translateY, scaleX, scaleY and matrix3d are read as translate, scale and matrix, "
      "and skew not at all",
      "write the transform as a transform attribute of matrix, translate and scale, or combine "
      "both into one"}},
    {Construct::TransformNumbersRunTogether,
     {"numbers run together in a transform",
      "a run of digits, signs, points and exponents is read as one number and the rest of it "
      "dropped: translate(10-5) is translate(10) (a viewer reads 10 and -5), and a matrix left "
      "short of six numbers is dropped",
      "write a space or a comma between the numbers of every transform"}},
    {Construct::IgnoredTransform,
     {"rotation or skew",
      "rotate, skewX and skewY are ignored: the shape arrives unrotated",
      "apply the transform to the shapes (so that no rotate/skew is written), or save transforms as matrix(...)"}},
    {Construct::UnitsIgnored,
     {"unit or percentage on a number",
      "the unit is ignored and the number taken as user units",
      "save with unitless user units"}},
    {Construct::RootViewport,
     {"size or viewBox of an svg element",
      "no scaling and no offset: coordinates arrive in the document's user units",
      "expect the import in viewBox units, or set the document size equal to the viewBox"}},
    {Construct::QuotingLost,
     {"attribute value in single quotes or without quotes",
      "the value goes to the wrong attribute or is lost",
      "save with double-quoted attribute values"}},
    {Construct::TagCutInValue,
     {"\">\" inside an attribute value",
      "the tag ends at the \">\": the attributes after it are lost",
      "write \"&gt;\" or remove the character from the value"}},
    {Construct::CommentCut,
     {"comment or CDATA section holding \">\"",
      "it ends at the first \">\"; markup after it inside the comment is read as real elements",
      "remove the comment, or the \">\" in it"}},
    {Construct::EntityNotDecoded,
     {"entity in an attribute value",
      "entities and character references are not decoded: the value is read as written",
      "write the characters themselves instead of &...; references"}},
    {Construct::RoundedCorners,
     {"rounded rectangle",
      "rx and ry are not applied: the corners arrive square",
      "convert the rectangle to a path"}},
    {Construct::NotApplied,
     {"property not applied",
      "display, visibility, opacity, fill-rule, clips, masks, filters and markers have no effect: "
      "hidden shapes arrive, opacity is lost, clipped shapes arrive whole",
      "delete hidden shapes, apply clips and masks (intersect the shapes), use fill-opacity"}},
    {Construct::SeveralSubpaths,
     {"path with several subpaths",
      "every subpath becomes its own polygon: holes (as in o, a, e) are not cut but filled over",
      "cut holes in the host, or break the path apart and remove the hole shapes"}},
    {Construct::Strokes,
     {"stroke",
      "strokes are read but never become geometry: outlines drawn only by a stroke are lost",
      "convert strokes to paths (stroke to path) before saving"}},
    {Construct::NoFill,
     {"shape without a fill colour",
      "fill none or no fill at all: the polygon arrives fully transparent (a viewer fills an unset fill black)",
      "give every shape an explicit \"#rrggbb\" fill"}},
    {Construct::ShapeInsideNonContainer,
     {"shapes inside an element that draws no children",
      "a viewer draws no shape inside text, gradients, filters, other shapes or unknown elements; "
      "the import draws them where they stand",
      "delete these shapes, or move them out of that element"}},
    {Construct::NotWellFormed,
     {"markup a viewer refuses",
      "the file is not well-formed XML: a viewer shows an error instead of the drawing, while the "
      "import reads on and draws what it finds, so no viewer has shown what arrives",
      "correct the markup at the line named, until a viewer opens the file"}},
    {Construct::UnclosedTag,
     {"tag without \">\" at the end of the file",
      "the last tag never closes and is dropped with everything in it",
      "the file seems cut short: save it again"}},
    {Construct::ZeroByte,
     {"zero byte in the file",
      "the text ends at the first zero byte: everything after it is passed over (UTF-16 text reads as nothing)",
      "save the file as UTF-8"}},
    {Construct::BeyondFloatRange,
     {"coordinates beyond the float range",
      "a number or a transform takes points past 3.4e38 (to infinity or NaN): the polygon arrives, "
      "but the host cannot place it, and the OBJ, the SVG and the pictures leave it out",
      "remove the stray huge number, or scale the drawing down, so that every coordinate stays "
      "far below 3.4e38"}},
    {Construct::StyleStackFull,
     {"elements inside 127 or more nested groups",
      "the style stack is full: styles and transforms of deeper elements leak into their group, which loses its own",
      "ungroup the drawing (fewer nested groups)"}},
};

}  // namespace

PreflightReport checkSvgText(const std::string& text, float tolerance) {
    Checker checker(text, tolerance);
    return checker.run();
}

ConstructAdvice adviceFor(Construct construct) {
    for (const auto& entry : adviceTable)
        if (entry.first == construct) return entry.second;
    return {"construct", "", ""};
}

std::string groupedNumber(std::size_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return digits;
}

void writeFindings(std::ostream& out, const PreflightReport& report) {
    if (report.findings.empty()) {
        out << "  nothing is passed over: the import reads every construct in this file\n";
        return;
    }
    for (const Finding& finding : report.findings) {
        ConstructAdvice advice = adviceFor(finding.construct);
        out << "  " << advice.heading;
        if (!finding.subject.empty()) out << ": " << finding.subject;
        out << "  (" << groupedNumber(finding.count) << "x; line";
        if (finding.lines.size() > 1) out << 's';
        for (std::size_t i = 0; i < finding.lines.size(); ++i)
            out << (i == 0 ? " " : ", ") << finding.lines[i];
        if (finding.count > finding.lines.size() && finding.lines.size() == reportedLineLimit)
            out << ", ...";
        out << ")\n    import: " << advice.effect << '\n';
        if (!finding.note.empty()) out << "    (" << finding.note << ")\n";
        out << "    fix: " << (finding.remedy.empty() ? advice.remedy : finding.remedy) << '\n';
    }
}

void writeSceneSummary(std::ostream& out, const PreflightReport& report, const DrawnScene& scene) {
    out << "  " << groupedNumber(report.records) << " records, " << groupedNumber(scene.points.size())
        << " points, " << groupedNumber(scene.polygons.size()) << " polygons, "
        << groupedNumber(scene.surfaces.size()) << " surfaces\n";
    constexpr std::size_t listedSurfaceLimit = 24;
    for (std::size_t i = 0; i < scene.surfaces.size(); ++i) {
        if (i == listedSurfaceLimit) {
            out << "    ... and " << groupedNumber(scene.surfaces.size() - i) << " more surfaces\n";
            break;
        }
        const DrawnSurface& surface = scene.surfaces[i];
        char line[200];
        std::snprintf(line, sizeof line, "    %-12s BaseColor %s (%.3f %.3f %.3f)  Transparency %.3f  %s polygons\n",
                      surface.name.c_str(), hexColor(surface).c_str(), surface.baseColor[0],
                      surface.baseColor[1], surface.baseColor[2], surface.transparency,
                      groupedNumber(surface.polygonCount).c_str());
        out << line;
    }
    // A number or a transform beyond the float range leaves points at infinity or NaN: their
    // polygons arrive in the host, but no picture, OBJ or box can hold them.
    const auto undrawn = static_cast<std::size_t>(std::count_if(
        scene.polygons.begin(), scene.polygons.end(),
        [&](const DrawnPolygon& polygon) {
            return !polygon.points.empty() && !isDrawnPolygon(scene, polygon);
        }));
    if (undrawn > 0)
        out << "  " << groupedNumber(undrawn) << " polygons through a point at infinity or NaN (a "
            << "number or a transform beyond the float range): left out of the OBJ, the SVG, the pictures "
            << "and the box below\n";
    DrawnBounds bounds = sceneBounds(scene);
    if (bounds.empty) {
        out << (scene.polygons.empty() ? "  bounding box: empty, nothing arrived\n"
                                       : "  bounding box: empty, no polygon with finite points\n");
        return;
    }
    out << "  bounding box (host units): x " << formatDouble(bounds.low[0]) << " .. "
        << formatDouble(bounds.high[0]) << ", y " << formatDouble(bounds.low[1]) << " .. "
        << formatDouble(bounds.high[1]) << ", z " << formatDouble(bounds.low[2]) << " .. "
        << formatDouble(bounds.high[2]) << '\n';
}
