// Pictures of what arrived: the host scene drawn with cairo, and beside it the original as an
// SVG renderer shows it, at the same scale.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/drawn_scene.h"

constexpr int defaultPreviewSize = 1024;
// The canvas colour where nothing was drawn.
constexpr std::uint32_t previewBackground = 0xFFFFFFFFu;
// Pixels between the two pictures of a comparison.
constexpr int comparePanelGap = 16;
// The long side of each picture of a comparison at most: images are at most 32767 pixels wide.
constexpr int maxComparePanelSide = (32767 - comparePanelGap) / 2;

// A drawing area in SVG user coordinates (y down).
struct ViewBox {
    double left = 0.0, top = 0.0, width = 0.0, height = 0.0;
};

// Where user coordinates land on the canvas: pixel = (x - left) * scale + margin.
struct CanvasFit {
    ViewBox box;
    double scale = 1.0;
    double margin = 0.0;
    int width = 1;
    int height = 1;
};

// Fits box into a canvas whose long side is longSide pixels.
CanvasFit fitCanvas(const ViewBox& box, int longSide);

// The scene's bounding box with y flipped back to the drawing's direction.
ViewBox sceneViewBox(const DrawnScene& scene);

// An image as 0xAARRGGBB pixels, row by row.
struct PreviewImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]; }
};

// Every polygon filled with its surface's BaseColor at alpha 1 - Transparency, outlined thinly,
// painted in document order so that later shapes cover earlier ones as in the drawing.
PreviewImage renderPreview(const DrawnScene& scene, const CanvasFit& fit);

// The preview of the scene on a canvas of longSide pixels, as a PNG file.
bool writePreviewPng(const std::string& fileName, const DrawnScene& scene, int longSide,
                     std::string& error);

// True when this build can render the original SVG for a comparison.
bool canCompare();

// The original as rendered from svgFile on the left, the import on the right, at one scale;
// each at most maxComparePanelSide pixels on its long side.
bool writeComparePng(const std::string& fileName, const std::string& svgFile,
                     const DrawnScene& scene, int longSide, std::string& error);

// Reads a PNG file back, for checking pictures; false when it cannot be read.
bool readPng(const std::string& fileName, PreviewImage& image);
