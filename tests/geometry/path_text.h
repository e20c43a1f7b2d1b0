// Test helpers: run readers on a fresh state and describe the records in document order.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "svg/parse_context.h"

struct StateDeleter {
    void operator()(ParserState* state) const { destroyParserState(state); }
};
using StatePtr = std::unique_ptr<ParserState, StateDeleter>;

inline StatePtr newState(float tolerance) {
    StatePtr state(createParserState());
    state->tolerance = tolerance;
    return state;
}

// "(x,y)" with nine significant digits, exact for every float.
inline std::string describePoint(float x, float y) {
    char text[64];
    std::snprintf(text, sizeof text, "(%.9g,%.9g)", static_cast<double>(x), static_cast<double>(y));
    return text;
}

// One record as "open (x,y) (x,y)" or "closed ...".
inline std::string describeRecord(const PathRecord& record) {
    std::string text = record.closed ? "closed" : "open";
    for (int i = 0; i < record.pointCount; ++i) {
        text += ' ';
        text += describePoint(record.points[2 * i], record.points[2 * i + 1]);
    }
    return text;
}

// The records in emission order, that is reverse list order.
inline std::vector<const PathRecord*> emitted(PathList list) {
    std::vector<const PathRecord*> records;
    for (; list != nullptr; list = list->next) records.insert(records.begin(), list);
    return records;
}

// Every record in emission order, separated by " | "; empty when nothing was emitted.
inline std::string describeList(PathList list) {
    std::string text;
    for (const PathRecord* record : emitted(list)) {
        if (!text.empty()) text += " | ";
        text += describeRecord(*record);
    }
    return text;
}
