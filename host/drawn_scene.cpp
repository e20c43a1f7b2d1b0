#include "host/drawn_scene.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <unordered_map>

#include "host/stand_in_host.h"

namespace {

// The scene's surfaces by name: a name seen before finds its surface without a search, so a
// drawing of many thousands of colours builds its scene in linear time.
class SurfaceNames {
public:
    explicit SurfaceNames(DrawnScene& target) : scene(target) {}

    // The surface named name, added (black, opaque) when it is new.
    std::size_t indexOf(const std::string& name) {
        auto found = indices.emplace(name, scene.surfaces.size());
        if (found.second) {
            DrawnSurface surface;
            surface.name = name;
            scene.surfaces.push_back(surface);
        }
        return found.first->second;
    }

private:
    DrawnScene& scene;
    std::unordered_map<std::string, std::size_t> indices;
};

double channel(std::uint32_t key, int shift) {
    return static_cast<double>((key >> shift) & 0xFFu) / 255.0;
}

}  // namespace

DrawnScene sceneFromPathList(PathList list) {
    DrawnScene scene;
    SurfaceNames names(scene);
    std::unordered_map<std::uint32_t, std::size_t> slots;  // fill key to slot, in first-seen order
    for (const PathRecord* record = list; record != nullptr; record = record->next) {
        std::size_t slot = slots.emplace(record->fillColor, slots.size()).first->second;
        std::size_t surface = names.indexOf("Surface " + std::to_string(slot));
        DrawnSurface& target = scene.surfaces[surface];
        target.baseColor = {{channel(record->fillColor, 16), channel(record->fillColor, 8),
                             channel(record->fillColor, 0)}};
        target.transparency = 1.0 - channel(record->fillColor, 24);
        target.polygonCount += 1;
        DrawnPolygon polygon;
        polygon.surface = surface;
        for (std::int32_t i = 0; i < record->pointCount; ++i) {
            float x = record->points[2 * i];
            float y = -record->points[2 * i + 1];
            polygon.points.push_back(scene.points.size());
            scene.points.push_back({{static_cast<double>(x), static_cast<double>(y), 0.0}});
        }
        scene.polygons.push_back(std::move(polygon));
    }
    return scene;
}

DrawnScene sceneFromHost(const standin::HostScene& host) {
    constexpr double defaultGrey = 200.0 / 255.0;
    DrawnScene scene;
    SurfaceNames names(scene);
    scene.points = host.points;
    for (const standin::HostSurface& surface : host.surfaces) {
        std::size_t index = names.indexOf(surface.name);
        DrawnSurface& target = scene.surfaces[index];
        target.baseColor = {{defaultGrey, defaultGrey, defaultGrey}};
        const std::vector<double>* color = surface.channel("BaseColor");
        if (color != nullptr && color->size() == 3)
            target.baseColor = {{(*color)[0], (*color)[1], (*color)[2]}};
        const std::vector<double>* transparency = surface.channel("Transparency");
        if (transparency != nullptr && transparency->size() == 1)
            target.transparency = (*transparency)[0];
    }
    for (const standin::HostPolygon& polygon : host.polygons) {
        DrawnPolygon drawn;
        drawn.surface = names.indexOf(polygon.surfaceName);
        for (long point : polygon.points)
            if (point >= 0 && static_cast<std::size_t>(point) < scene.points.size())
                drawn.points.push_back(static_cast<std::size_t>(point));
        scene.surfaces[drawn.surface].polygonCount += 1;
        scene.polygons.push_back(std::move(drawn));
    }
    return scene;
}

bool isDrawnPolygon(const DrawnScene& scene, const DrawnPolygon& polygon) {
    if (polygon.points.empty()) return false;
    return std::all_of(polygon.points.begin(), polygon.points.end(), [&](std::size_t index) {
        const auto& p = scene.points[index];
        return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
    });
}

DrawnBounds sceneBounds(const DrawnScene& scene) {
    DrawnBounds bounds;
    for (const DrawnPolygon& polygon : scene.polygons) {
        if (!isDrawnPolygon(scene, polygon)) continue;
        for (std::size_t index : polygon.points) {
            const auto& p = scene.points[index];
            if (bounds.empty) {
                bounds.low = bounds.high = p;
                bounds.empty = false;
            }
            for (std::size_t axis = 0; axis < 3; ++axis) {
                bounds.low[axis] = std::min(bounds.low[axis], p[axis]);
                bounds.high[axis] = std::max(bounds.high[axis], p[axis]);
            }
        }
    }
    return bounds;
}

std::string hexColor(const DrawnSurface& surface) {
    int bytes[3];
    for (std::size_t i = 0; i < 3; ++i) {
        double c = std::clamp(surface.baseColor[i], 0.0, 1.0);
        bytes[i] = static_cast<int>(std::lround(c * 255.0));
    }
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", bytes[0], bytes[1], bytes[2]);
    return text;
}
