// Writes a host scene as a Wavefront OBJ file with its material library.
#pragma once

#include <string>

#include "host/stand_in_host.h"

namespace standin {

// Writes objPath and, beside it, the .mtl it names; false with a reason in `error`.
bool writeObj(const HostScene& scene, const std::string& objPath, std::string& error);

// The .mtl beside objPath, its name without blanks (readers split the "mtllib" line at them)
// and never objPath itself.
std::string materialLibraryPath(const std::string& objPath);

// A material name that OBJ readers take as one word: letters, digits, '_', '-' and '.'.
std::string materialName(const std::string& surfaceName);

}  // namespace standin
