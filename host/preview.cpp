#include "host/preview.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <memory>

#ifdef POLYIN_HAS_COMPARE
#include <librsvg/rsvg.h>
#endif

namespace {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
    void operator()(cairo_t* context) const { cairo_destroy(context); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using ContextPtr = std::unique_ptr<cairo_t, ContextDeleter>;

constexpr double outlineWidth = 1.0;     // pixels
constexpr double outlineOpacity = 0.45;

// The smallest box holding both.
ViewBox unite(const ViewBox& a, const ViewBox& b) {
    double left = std::min(a.left, b.left), top = std::min(a.top, b.top);
    double right = std::max(a.left + a.width, b.left + b.width);
    double bottom = std::max(a.top + a.height, b.top + b.height);
    return {left, top, right - left, bottom - top};
}

// Fills the whole canvas with the background colour.
void paintBackground(cairo_t* cr) {
    cairo_set_source_rgba(cr, ((previewBackground >> 16) & 0xFFu) / 255.0,
                          ((previewBackground >> 8) & 0xFFu) / 255.0,
                          (previewBackground & 0xFFu) / 255.0, (previewBackground >> 24) / 255.0);
    cairo_paint(cr);
}

// Polygons in pixel coordinates, so that the outline stays one pixel wide at any scale.
void drawScene(cairo_t* cr, const DrawnScene& scene, const CanvasFit& fit, double offsetX) {
    cairo_set_line_width(cr, outlineWidth);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    // The module creates the polygons last element first; paint them in document order.
    for (auto it = scene.polygons.rbegin(); it != scene.polygons.rend(); ++it) {
        const DrawnPolygon& polygon = *it;
        if (!isDrawnPolygon(scene, polygon)) continue;
        cairo_new_path(cr);
        for (std::size_t index : polygon.points) {
            const auto& p = scene.points[index];
            double x = (p[0] - fit.box.left) * fit.scale + fit.margin + offsetX;
            double y = (-p[1] - fit.box.top) * fit.scale + fit.margin;
            cairo_line_to(cr, x, y);
        }
        cairo_close_path(cr);
        const DrawnSurface& surface = scene.surfaces[polygon.surface];
        cairo_set_source_rgba(cr, surface.baseColor[0], surface.baseColor[1], surface.baseColor[2],
                              std::clamp(1.0 - surface.transparency, 0.0, 1.0));
        cairo_fill_preserve(cr);
        cairo_set_source_rgba(cr, 0.0, 0.0, 0.0, outlineOpacity);
        cairo_stroke(cr);
    }
}

// The pixels of an image surface, row by row.
PreviewImage copyImage(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    PreviewImage image;
    image.width = cairo_image_surface_get_width(surface);
    image.height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    image.pixels.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            image.pixels[static_cast<std::size_t>(y * image.width + x)] =
                reinterpret_cast<const std::uint32_t*>(data + y * stride)[x];
    return image;
}

// Writes the canvas as PNG; false with a message.
bool savePng(cairo_surface_t* surface, const std::string& fileName, std::string& error) {
    cairo_status_t status = cairo_surface_write_to_png(surface, fileName.c_str());
    if (status == CAIRO_STATUS_SUCCESS) return true;
    error = "cannot write " + fileName + ": " + cairo_status_to_string(status);
    return false;
}

// An ARGB canvas of the given size; null with a message.
SurfacePtr newCanvas(int width, int height, std::string& error) {
    SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        error = std::string("cannot create the picture: ") +
                cairo_status_to_string(cairo_surface_status(surface.get()));
        return nullptr;
    }
    return surface;
}

}  // namespace

CanvasFit fitCanvas(const ViewBox& box, int longSide) {
    CanvasFit fit;
    fit.box = box;
    longSide = std::max(longSide, 16);
    fit.margin = std::max(2.0, std::floor(longSide / 64.0));
    double extent = std::max(box.width, box.height);
    double room = longSide - 2.0 * fit.margin;
    fit.scale = extent > 0.0 && std::isfinite(extent) ? room / extent : 1.0;
    if (!(fit.scale > 0.0) || !std::isfinite(fit.scale)) fit.scale = 1.0;
    auto side = [&](double size) {
        double pixels = std::ceil(size * fit.scale + 2.0 * fit.margin);
        return static_cast<int>(std::clamp(pixels, 1.0, static_cast<double>(longSide)));
    };
    fit.width = side(box.width);
    fit.height = side(box.height);
    return fit;
}

ViewBox sceneViewBox(const DrawnScene& scene) {
    DrawnBounds bounds = sceneBounds(scene);
    if (bounds.empty) return {0.0, 0.0, 1.0, 1.0};
    return {bounds.low[0], -bounds.high[1], bounds.high[0] - bounds.low[0],
            bounds.high[1] - bounds.low[1]};
}

PreviewImage renderPreview(const DrawnScene& scene, const CanvasFit& fit) {
    std::string error;
    SurfacePtr surface = newCanvas(fit.width, fit.height, error);
    if (!surface) return {};
    ContextPtr cr(cairo_create(surface.get()));
    paintBackground(cr.get());
    drawScene(cr.get(), scene, fit, 0.0);
    return copyImage(surface.get());
}

bool writePreviewPng(const std::string& fileName, const DrawnScene& scene, int longSide,
                     std::string& error) {
    CanvasFit fit = fitCanvas(sceneViewBox(scene), longSide);
    SurfacePtr surface = newCanvas(fit.width, fit.height, error);
    if (!surface) return false;
    ContextPtr cr(cairo_create(surface.get()));
    paintBackground(cr.get());
    drawScene(cr.get(), scene, fit, 0.0);
    return savePng(surface.get(), fileName, error);
}

bool readPng(const std::string& fileName, PreviewImage& image) {
    SurfacePtr surface(cairo_image_surface_create_from_png(fileName.c_str()));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return false;
    if (cairo_image_surface_get_format(surface.get()) != CAIRO_FORMAT_ARGB32 &&
        cairo_image_surface_get_format(surface.get()) != CAIRO_FORMAT_RGB24)
        return false;
    image = copyImage(surface.get());
    return true;
}

#ifdef POLYIN_HAS_COMPARE

namespace {

struct HandleDeleter {
    void operator()(RsvgHandle* handle) const { g_object_unref(handle); }
};

// The document's own area in user units: its viewBox, else its size in pixels.
bool documentBox(RsvgHandle* handle, ViewBox& box) {
    gboolean hasWidth = FALSE, hasHeight = FALSE, hasViewBox = FALSE;
    RsvgLength width{}, height{};
    RsvgRectangle viewBox{};
    rsvg_handle_get_intrinsic_dimensions(handle, &hasWidth, &width, &hasHeight, &height,
                                         &hasViewBox, &viewBox);
    if (hasViewBox && viewBox.width > 0.0 && viewBox.height > 0.0) {
        box = {viewBox.x, viewBox.y, viewBox.width, viewBox.height};
        return true;
    }
    double w = 0.0, h = 0.0;
    if (rsvg_handle_get_intrinsic_size_in_pixels(handle, &w, &h) && w > 0.0 && h > 0.0) {
        box = {0.0, 0.0, w, h};
        return true;
    }
    return false;
}

}  // namespace

bool canCompare() { return true; }

bool writeComparePng(const std::string& fileName, const std::string& svgFile,
                     const DrawnScene& scene, int longSide, std::string& error) {
    GError* failure = nullptr;
    // from a file object, so that a name like "file:x.svg" is the file of that name, not a link
    GFile* file = g_file_new_for_path(svgFile.c_str());
    std::unique_ptr<RsvgHandle, HandleDeleter> handle(
        rsvg_handle_new_from_gfile_sync(file, RSVG_HANDLE_FLAGS_NONE, nullptr, &failure));
    g_object_unref(file);
    if (!handle) {
        error = "cannot render " + svgFile + ": " + (failure ? failure->message : "unknown error");
        if (failure) g_error_free(failure);
        return false;
    }
    ViewBox document;
    bool hasDocumentBox = documentBox(handle.get(), document);
    ViewBox box = sceneViewBox(scene);
    if (hasDocumentBox) box = sceneBounds(scene).empty ? document : unite(box, document);
    // two panels side by side must stay within the widest image the canvas library makes
    CanvasFit fit = fitCanvas(box, std::min(longSide, maxComparePanelSide));
    SurfacePtr surface = newCanvas(2 * fit.width + comparePanelGap, fit.height, error);
    if (!surface) return false;
    ContextPtr cr(cairo_create(surface.get()));
    paintBackground(cr.get());
    if (hasDocumentBox) {
        // One user unit of the document becomes fit.scale pixels, as in the import panel.
        cairo_save(cr.get());
        cairo_rectangle(cr.get(), 0, 0, fit.width, fit.height);
        cairo_clip(cr.get());
        cairo_translate(cr.get(), fit.margin - fit.box.left * fit.scale,
                        fit.margin - fit.box.top * fit.scale);
        cairo_scale(cr.get(), fit.scale, fit.scale);
        RsvgRectangle viewport{document.left, document.top, document.width, document.height};
        if (!rsvg_handle_render_document(handle.get(), cr.get(), &viewport, &failure)) {
            error = "cannot render " + svgFile + ": " + (failure ? failure->message : "unknown error");
            if (failure) g_error_free(failure);
            return false;
        }
        cairo_restore(cr.get());
    }
    cairo_set_source_rgb(cr.get(), 0.6, 0.6, 0.6);
    cairo_rectangle(cr.get(), fit.width + comparePanelGap / 2 - 0.5, 0, 1, fit.height);
    cairo_fill(cr.get());
    drawScene(cr.get(), scene, fit, fit.width + comparePanelGap);
    return savePng(surface.get(), fileName, error);
}

#else

bool canCompare() { return false; }

bool writeComparePng(const std::string&, const std::string& svgFile, const DrawnScene&, int,
                     std::string& error) {
    error = "cannot render " + svgFile + ": this build has no SVG renderer";
    return false;
}

#endif
