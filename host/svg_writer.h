// The imported polygons written back as a plain SVG that any browser shows.
#pragma once

#include <iosfwd>
#include <string>

#include "host/drawn_scene.h"

// One path per polygon, in document order, y flipped back, filled with its surface's BaseColor at the opacity
// 1 - Transparency; the viewBox is the scene's bounding box.
void writeSceneSvg(std::ostream& out, const DrawnScene& scene);

// False, with a message in error, when the file cannot be written.
bool writeSceneSvgFile(const std::string& fileName, const DrawnScene& scene, std::string& error);
