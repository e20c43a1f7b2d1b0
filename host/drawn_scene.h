// What arrived in the host after an import, in a form the report, the preview and the SVG
// writer share: points in host units, polygons on named surfaces, surface colours.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "svg/parse_context.h"

namespace standin {
struct HostScene;
}

struct DrawnSurface {
    std::string name;
    std::array<double, 3> baseColor{{0.0, 0.0, 0.0}};
    double transparency = 0.0;
    std::size_t polygonCount = 0;
};

struct DrawnPolygon {
    std::size_t surface = 0;            // index into DrawnScene::surfaces
    std::vector<std::size_t> points;    // indices into DrawnScene::points
};

struct DrawnBounds {
    bool empty = true;
    std::array<double, 3> low{{0.0, 0.0, 0.0}};
    std::array<double, 3> high{{0.0, 0.0, 0.0}};
};

struct DrawnScene {
    std::vector<std::array<double, 3>> points;  // host units: x, -y, 0
    std::vector<DrawnPolygon> polygons;
    std::vector<DrawnSurface> surfaces;
};

// The scene a host receives for list, built the way the module hands a list to the host:
// one polygon per record, one surface per distinct fill key in list order. Does not free list.
DrawnScene sceneFromPathList(PathList list);

// The scene the stand-in host holds after an import. Polygon corners the host never gave out
// are left out; a surface without channels shows the host's default grey.
DrawnScene sceneFromHost(const standin::HostScene& host);

// Whether a polygon is drawn (in the SVG written back and the pictures): it has points, and
// every one of them lies at a finite place in every axis, as the OBJ writer requires too.
bool isDrawnPolygon(const DrawnScene& scene, const DrawnPolygon& polygon);

// The box of the polygons that are drawn; empty when none is.
DrawnBounds sceneBounds(const DrawnScene& scene);

// Colour of a surface as "#rrggbb", each channel rounded from 0..1.
std::string hexColor(const DrawnSurface& surface);
