#include "geometry/path_data.h"

#include <cstdint>

#include "geometry/flatten.h"
#include "svg/attributes.h"
#include "svg/number.h"
#include "svg/text.h"

static_assert(pathTokenSize - 1 == numberTokenLimit,
              "number tokens are read in place as far as a stored token reaches");

namespace {

// Which kind of step ran last: a smooth curve reflects only after a curve of its own kind.
enum class StepKind : std::uint8_t { other, cubic, quadratic };

// The step of the current command letter, decided once per letter rather than once per step.
enum class PathStep : std::uint8_t {
    other, moveTo, lineTo, horizontalTo, verticalTo, cubicTo, smoothCubicTo, quadraticTo,
    smoothQuadraticTo
};

// The working values of one path element; they carry over from one "d" value to the next.
struct PathCursor {
    float x, y;                // current point
    float controlX, controlY;  // last control point, reflected by the smooth curves
    float startX, startY;      // where a close letter returns to
    PathStep step;             // other before the first command letter: no step
    bool relative;             // the command letter is lowercase
    int arity;
    float held[heldNumberLimit];
    int heldCount;
    std::uint8_t closed;
    bool awaitsSubpathStart;   // the next move-to step gives the subpath's first point
    StepKind lastStep;
};

bool isSign(char c) noexcept { return c == '+' || c == '-'; }

bool isLowerLetter(char c) noexcept { return c >= 'a' && c <= 'z'; }

constexpr char toLowerLetter(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

void emitSubpath(ParserState& state, std::uint8_t closed) noexcept {
    if (state.pointCount > 0) emitPath(state, closed);
}

// Move-to letter: the open subpath so far is finished; the next one starts at the next pair.
void startSubpath(ParserState& state, PathCursor& cursor) noexcept {
    emitSubpath(state, cursor.closed);
    resetPoints(state);
    cursor.closed = 0;
    cursor.heldCount = 0;
    cursor.startX = cursor.x;
    cursor.startY = cursor.y;
    cursor.awaitsSubpathStart = true;
}

// Close letter: the subpath is emitted closed and drawing goes on from its start.
void closeSubpath(ParserState& state, PathCursor& cursor) noexcept {
    cursor.closed = 1;
    emitSubpath(state, cursor.closed);
    resetPoints(state);
    cursor.closed = 0;
    cursor.heldCount = 0;
    cursor.x = cursor.startX;
    cursor.y = cursor.startY;
    cursor.lastStep = StepKind::other;
}

// The step that a command letter runs, in either case.
constexpr PathStep stepOf(char command) noexcept {
    switch (toLowerLetter(command)) {
    case 'm': return PathStep::moveTo;
    case 'l': return PathStep::lineTo;
    case 'h': return PathStep::horizontalTo;
    case 'v': return PathStep::verticalTo;
    case 'c': return PathStep::cubicTo;
    case 's': return PathStep::smoothCubicTo;
    case 'q': return PathStep::quadraticTo;
    case 't': return PathStep::smoothQuadraticTo;
    default: return PathStep::other;
    }
}

// How many numbers one step of the command letter takes.
constexpr int arityOf(char command) noexcept {
    switch (toLowerLetter(command)) {
    case 'a': return 7;
    case 'c': return 6;
    case 'q': case 's': return 4;
    case 'l': case 'm': case 't': return 2;
    case 'h': case 'v': return 1;
    default: return 0;
    }
}

// The step and arity of each lowercase letter, looked up rather than switched on: the letters
// of path data follow no pattern a branch could learn.
struct CommandInfo {
    PathStep step;
    std::uint8_t arity;
};

struct CommandTable {
    CommandInfo letters[26];
};

constexpr CommandTable makeCommandTable() noexcept {
    CommandTable table{};
    for (int i = 0; i < 26; ++i) {
        const char letter = static_cast<char>('a' + i);
        table.letters[i] = {stepOf(letter), static_cast<std::uint8_t>(arityOf(letter))};
    }
    return table;
}

constexpr CommandTable commandTable = makeCommandTable();

void readCommand(ParserState& state, PathCursor& cursor, char command) noexcept {
    const unsigned index = static_cast<unsigned char>(toLowerLetter(command)) - unsigned{'a'};
    const CommandInfo info = index < 26u ? commandTable.letters[index] : CommandInfo{};
    cursor.step = info.step;
    cursor.relative = isLowerLetter(command);
    cursor.arity = info.arity;
    if (command == 'M' || command == 'm') {
        startSubpath(state, cursor);
    } else if (command == 'Z' || command == 'z') {
        closeSubpath(state, cursor);
    }
}

// A smooth cubic reflects the last control point only right after a cubic step; otherwise its
// first control point is the current point, which is the plain cubic with that control point
// (a relative pair adds -0, and x + -0 is x for every x).
void runSmoothCubic(ParserState& state, PathCursor& c, bool relative) noexcept {
    if (c.lastStep == StepKind::cubic) {
        pathSmoothCubicTo(state, c.x, c.y, c.controlX, c.controlY, c.held, relative);
        return;
    }
    const float lead[6] = {relative ? -0.0f : c.x, relative ? -0.0f : c.y,
                           c.held[0], c.held[1], c.held[2], c.held[3]};
    pathCubicTo(state, c.x, c.y, c.controlX, c.controlY, lead, relative);
}

// Likewise a smooth quadratic reflects only right after a quadratic step.
void runSmoothQuadratic(ParserState& state, PathCursor& c, bool relative) noexcept {
    if (c.lastStep == StepKind::quadratic) {
        pathSmoothQuadraticTo(state, c.x, c.y, c.controlX, c.controlY, c.held, relative);
        return;
    }
    const float lead[4] = {relative ? -0.0f : c.x, relative ? -0.0f : c.y, c.held[0], c.held[1]};
    pathQuadraticTo(state, c.x, c.y, c.controlX, c.controlY, lead, relative);
}

// The straight steps on their numbers: a1 (and a2) move the current point, which is appended.
void lineTo(ParserState& state, float& x, float& y, float a1, float a2, bool relative) noexcept {
    x = relative ? x + a1 : a1;
    y = relative ? y + a2 : a2;
    appendPoint(state, x, y);
}

void horizontalTo(ParserState& state, float& x, float y, float a1, bool relative) noexcept {
    x = relative ? x + a1 : a1;
    appendPoint(state, x, y);
}

void verticalTo(ParserState& state, float x, float& y, float a1, bool relative) noexcept {
    y = relative ? y + a1 : a1;
    appendPoint(state, x, y);
}

// The held number at index; the one just stored is taken from newest, its register, rather than
// read back right after its store (a load that store forwarding would miss).
float heldAt(const PathCursor& c, int index, float newest) noexcept {
    return index == c.heldCount - 1 ? newest : c.held[index];
}

// Runs the current command's step on the held numbers; newest is the number that just arrived.
void runStep(ParserState& state, PathCursor& c, float newest) noexcept {
    const bool relative = c.relative;
    StepKind kind = StepKind::other;
    switch (c.step) {
    case PathStep::moveTo:
        lineTo(state, c.x, c.y, c.held[0], heldAt(c, 1, newest), relative);
        if (c.awaitsSubpathStart) {
            c.startX = c.x;
            c.startY = c.y;
            c.awaitsSubpathStart = false;
        }
        break;
    case PathStep::lineTo:
        lineTo(state, c.x, c.y, c.held[0], heldAt(c, 1, newest), relative);
        break;
    case PathStep::horizontalTo:
        horizontalTo(state, c.x, c.y, heldAt(c, 0, newest), relative);
        break;
    case PathStep::verticalTo:
        verticalTo(state, c.x, c.y, heldAt(c, 0, newest), relative);
        break;
    case PathStep::cubicTo:
        pathCubicTo(state, c.x, c.y, c.controlX, c.controlY, c.held, relative);
        kind = StepKind::cubic;
        break;
    case PathStep::smoothCubicTo:
        runSmoothCubic(state, c, relative);
        kind = StepKind::cubic;
        break;
    case PathStep::quadraticTo:
        pathQuadraticTo(state, c.x, c.y, c.controlX, c.controlY, c.held, relative);
        kind = StepKind::quadratic;
        break;
    case PathStep::smoothQuadraticTo:
        runSmoothQuadratic(state, c, relative);
        kind = StepKind::quadratic;
        break;
    case PathStep::other:  // arcs and letters without a step: the last two held, absolute
        if (c.heldCount >= 2) {
            c.x = c.held[c.heldCount - 2];
            c.y = c.held[c.heldCount - 1];
        }
        break;
    }
    c.lastStep = kind;
}

void readNumber(ParserState& state, PathCursor& cursor, float number) noexcept {
    if (cursor.heldCount < heldNumberLimit) {
        cursor.held[cursor.heldCount] = number;
        cursor.heldCount += 1;
    }
    if (cursor.heldCount >= cursor.arity) {
        runStep(state, cursor, number);
        cursor.heldCount = 0;  // the command stays current: further numbers repeat it
    }
}

// True when the next two numbers are one line-to pair: a line-to step, or a move-to step past
// its first pair, with nothing held. Such runs are the bulk of map-like path data, and reading
// the pair at once draws exactly what holding its first number would.
bool takesLinePair(const PathCursor& c) noexcept {
    return c.heldCount == 0 &&
           (c.step == PathStep::lineTo || (c.step == PathStep::moveTo && !c.awaitsSubpathStart));
}

// Draws one "d" value: one record per subpath, the last one emitted open.
void interpretPathData(ParserState& state, PathCursor& cursor, const char* text) noexcept {
    resetPoints(state);
    cursor.closed = 0;
    cursor.heldCount = 0;
    cursor.startX = 0.0f;
    cursor.startY = 0.0f;
    // Tokens are read in place: a number token is converted straight from the text.
    const char* p = text;
    for (;;) {
        p = skipPathSeparators(p);
        if (*p == '\0') break;
        if (isNumberChar(static_cast<unsigned char>(*p))) {
            const FloatToken number = scanFloatToken(p);
            p = number.end;
            if (takesLinePair(cursor)) {
                const char* next = skipPathSeparators(p);
                if (isNumberChar(static_cast<unsigned char>(*next))) {
                    const FloatToken second = scanFloatToken(next);
                    p = second.end;
                    lineTo(state, cursor.x, cursor.y, number.value, second.value, cursor.relative);
                    cursor.lastStep = StepKind::other;
                    continue;
                }
            }
            readNumber(state, cursor, number.value);
        } else {
            readCommand(state, cursor, *p++);
        }
    }
    emitSubpath(state, cursor.closed);
}

}  // namespace

void parsePathData(ParserState& state, AttrList attributes) noexcept {
    PathCursor cursor{};  // both points at (0, 0), no command yet
    for (AttrList pair = attributes; pair[0] != nullptr; pair += 2) {
        if (pair[1] == nullptr) continue;  // a name without a value changes nothing
        if (isSameText(pair[0], "d")) {
            interpretPathData(state, cursor, pair[1]);
        } else {
            const char* const single[] = {pair[0], pair[1], nullptr, nullptr};
            applyAttributes(state, single);
        }
    }
}

const char* nextPathToken(const char* text, char* token) noexcept {
    token[0] = '\0';
    const char* p = skipPathSeparators(text);
    if (*p == '\0') return p;
    if (!isNumberChar(static_cast<unsigned char>(*p))) {
        token[0] = *p;
        token[1] = '\0';
        return p + 1;
    }
    int length = 0;
    // characters beyond the buffer are consumed and dropped
    for (; isSign(*p); ++p) {
        if (length < pathTokenSize - 1) token[length++] = *p;
    }
    for (; isNumberChar(static_cast<unsigned char>(*p)) && !isSign(*p); ++p) {
        if (length < pathTokenSize - 1) token[length++] = *p;
    }
    token[length] = '\0';
    return p;
}

int pathCommandArity(char command) noexcept { return arityOf(command); }

void pathLineTo(ParserState& state, float& x, float& y, const float* held,
                bool relative) noexcept {
    lineTo(state, x, y, held[0], held[1], relative);
}

void pathHorizontalTo(ParserState& state, float& x, float& y, const float* held,
                      bool relative) noexcept {
    horizontalTo(state, x, y, held[0], relative);
}

void pathVerticalTo(ParserState& state, float& x, float& y, const float* held,
                    bool relative) noexcept {
    verticalTo(state, x, y, held[0], relative);
}
