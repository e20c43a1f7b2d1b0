#include "host/svg_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <ostream>
#include <string>

#include "host/number_text.h"

namespace {

// Every number in full, so that the module reads the file back as it was written.
std::string number(double value) { return standin::plainNineDigitText(value); }

// A host surface name as XML text: markup characters escaped, control characters (which XML
// cannot carry at all) as '?'.
std::string xmlText(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '&') escaped += "&amp;";
        else if (c == '<') escaped += "&lt;";
        else if (c == '>') escaped += "&gt;";
        else if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') escaped += '?';
        else escaped += c;
    }
    return escaped;
}

}  // namespace

void writeSceneSvg(std::ostream& out, const DrawnScene& scene) {
    DrawnBounds bounds = sceneBounds(scene);
    double left = bounds.low[0], top = -bounds.high[1];
    double width = std::max(bounds.high[0] - bounds.low[0], 1e-9);
    double height = std::max(bounds.high[1] - bounds.low[1], 1e-9);
    if (bounds.empty) left = top = 0.0, width = height = 1.0;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"" << number(left) << ' '
        << number(top) << ' ' << number(width) << ' ' << number(height) << "\">\n";
    // The module creates the polygons last element first; write them in document order.
    for (auto it = scene.polygons.rbegin(); it != scene.polygons.rend(); ++it) {
        const DrawnPolygon& polygon = *it;
        if (!isDrawnPolygon(scene, polygon)) continue;
        const DrawnSurface& surface = scene.surfaces[polygon.surface];
        double opacity = std::clamp(1.0 - surface.transparency, 0.0, 1.0);
        out << "<path fill=\"" << hexColor(surface) << "\" fill-opacity=\"" << number(opacity)
            << "\" stroke=\"#000000\" stroke-opacity=\"0.35\" stroke-width=\"" << number(width / 1024.0)
            << "\" d=\"";
        for (std::size_t i = 0; i < polygon.points.size(); ++i) {
            const auto& p = scene.points[polygon.points[i]];
            out << (i == 0 ? "M" : " L") << number(p[0]) << ' ' << number(-p[1]);
        }
        out << " Z\"><title>" << xmlText(surface.name) << "</title></path>\n";
    }
    out << "</svg>\n";
}

bool writeSceneSvgFile(const std::string& fileName, const DrawnScene& scene, std::string& error) {
    std::ofstream out(fileName, std::ios::binary);
    if (!out) {
        error = "cannot write " + fileName + ": " + std::strerror(errno);
        return false;
    }
    writeSceneSvg(out, scene);
    out.close();
    if (!out) {
        error = "cannot write " + fileName;
        return false;
    }
    return true;
}
