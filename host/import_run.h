// One file through the real module under the stand-in host, as the command-line tool runs it.
#pragma once

#include <cstddef>
#include <string>

#include "host/stand_in_host.h"

struct ModuleImport {
    standin::HostScene scene;
    std::size_t paths = 0;        // polygons the module created
    double milliseconds = 0.0;    // the command's run time
};

// Loads the module, answers the file request with input's full name and the panel with detail,
// and keeps what the command builds; false with a reason in error.
bool importThroughModule(const std::string& input, const std::string& modulePath, long detail,
                         ModuleImport& result, std::string& error);

// The flattening tolerance the command derives from a "Bezier Detail" value.
float toleranceForDetail(long detail);
