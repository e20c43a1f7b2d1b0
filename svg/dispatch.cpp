#include "svg/dispatch.h"

#include "geometry/path_data.h"
#include "svg/attributes.h"
#include "svg/shapes.h"
#include "svg/text.h"

namespace {

void startGroup(ParserState& state, AttrList attributes) noexcept {
    pushStyle(state);  // stays current for the children until the end tag
    applyAttributes(state, attributes);
}

void startPath(ParserState& state, AttrList attributes) noexcept {
    if (state.inPath) return;  // a path inside an open path is never drawn
    pushStyle(state);
    parsePathData(state, attributes);
    state.inPath = 1;
    popStyle(state);
}

void readPolyline(ParserState& state, AttrList attributes) noexcept {
    readPolyPoints(state, attributes, 0);
}

void readPolygon(ParserState& state, AttrList attributes) noexcept {
    readPolyPoints(state, attributes, 1);
}

// A drawable element: its own frame for its attributes only, popped as soon as it is read.
template <void (*read)(ParserState&, AttrList) noexcept>
void startShape(ParserState& state, AttrList attributes) noexcept {
    pushStyle(state);
    read(state, attributes);
    popStyle(state);
}

void startDefs(ParserState& state, AttrList) noexcept { state.inDefs = 1; }

struct StartRoute {
    const char* name;
    void (*start)(ParserState& state, AttrList attributes) noexcept;
};

constexpr StartRoute startRoutes[] = {
    {"g", startGroup},
    {"path", startPath},
    {"rect", startShape<readRect>},
    {"circle", startShape<readCircle>},
    {"line", startShape<readLine>},
    {"polyline", startShape<readPolyline>},
    {"polygon", startShape<readPolygon>},
    {"defs", startDefs},
};

}  // namespace

void onElementStart(void* userData, const char* name, AttrList attributes) noexcept {
    ParserState& state = *static_cast<ParserState*>(userData);
    if (state.inDefs) return;
    for (const StartRoute& route : startRoutes) {
        if (name[0] == route.name[0] && isSameText(name, route.name)) {
            route.start(state, attributes);
            return;
        }
    }
}

void onElementEnd(void* userData, const char* name) noexcept {
    ParserState& state = *static_cast<ParserState*>(userData);
    if (isSameText(name, "g")) {
        if (!state.inDefs) popStyle(state);
    } else if (isSameText(name, "path")) {
        state.inPath = 0;
    } else if (isSameText(name, "defs")) {
        state.inDefs = 0;
    }
}

void onCharacterData(void*, const char*) noexcept {}
