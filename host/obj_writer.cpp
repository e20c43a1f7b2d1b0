// OBJ + MTL output: one vertex per host point, one face, line or point per polygon, one
// material per host surface.
#include "host/obj_writer.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "host/number_text.h"

namespace standin {

namespace {

struct File {
    std::FILE* handle;
    explicit File(const std::string& path) : handle(std::fopen(path.c_str(), "w")) {}
    ~File() {
        if (handle) std::fclose(handle);
    }
    // Closes the file; false when anything written was lost.
    bool close() {
        bool ok = std::ferror(handle) == 0;
        ok = std::fclose(handle) == 0 && ok;
        handle = nullptr;
        return ok;
    }
};

std::string baseName(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isFinitePoint(const std::array<double, 3>& p) {
    return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
}

// Unique material names, one per surface, in surface order.
std::vector<std::string> materialNames(const HostScene& scene) {
    std::vector<std::string> names;
    std::unordered_set<std::string> taken;
    for (const HostSurface& surface : scene.surfaces) {
        std::string base = materialName(surface.hasName ? surface.name : "unnamed");
        std::string name = base;
        for (int n = 2; taken.count(name); ++n) name = base + "_" + std::to_string(n);
        taken.insert(name);
        names.push_back(name);
    }
    return names;
}

// A host surface name for the comment line above its material: a line break in it would
// start a statement of its own.
std::string commentText(const std::string& text) {
    std::string line = text;
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return line;
}

bool writeMtl(const HostScene& scene, const std::vector<std::string>& names, const std::string& path,
              std::string& error) {
    File file(path);
    if (!file.handle) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    for (std::size_t i = 0; i < scene.surfaces.size(); ++i) {
        const HostSurface& surface = scene.surfaces[i];
        const std::vector<double>* color = surface.channel("BaseColor");
        const std::vector<double>* transparency = surface.channel("Transparency");
        double r = color ? (*color)[0] : 1.0, g = color ? (*color)[1] : 1.0,
               b = color ? (*color)[2] : 1.0;
        double d = transparency ? 1.0 - (*transparency)[0] : 1.0;
        std::fprintf(file.handle, "# host surface \"%s\"\nnewmtl %s\nKd %.6f %.6f %.6f\nd %.6f\n\n",
                     surface.hasName ? commentText(surface.name).c_str() : "", names[i].c_str(), r, g, b, d);
    }
    if (!file.close()) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

// OBJ text gathered in a buffer and written in large pieces: a vertex line costs three
// conversions instead of one formatted print.
class ObjText {
public:
    explicit ObjText(std::FILE* output) : file(output) {}
    ~ObjText() { flush(); }
    ObjText(const ObjText&) = delete;
    ObjText& operator=(const ObjText&) = delete;

    void put(const char* text, std::size_t length) {
        if (used + length > sizeof buffer) flush();
        if (length > sizeof buffer) {
            std::fwrite(text, 1, length, file);
            return;
        }
        std::memcpy(buffer + used, text, length);
        used += length;
    }
    void put(const std::string& text) { put(text.data(), text.size()); }
    void put(const char* text) { put(text, std::strlen(text)); }

    // "v x y z" and a line break, formatted in place.
    void putVertex(const std::array<double, 3>& point) {
        if (used + vertexLineLimit > sizeof buffer) flush();
        char* out = buffer + used;
        *out++ = 'v';
        for (double coordinate : point) {
            *out++ = ' ';
            out += formatNineDigits(out, coordinate);
        }
        *out++ = '\n';
        used = static_cast<std::size_t>(out - buffer);
    }

    // A blank and an index, formatted in place.
    void putSpacedIndex(long index) {
        if (used + spacedIndexLimit > sizeof buffer) flush();
        buffer[used++] = ' ';
        used = static_cast<std::size_t>(
            std::to_chars(buffer + used, buffer + sizeof buffer, index).ptr - buffer);
    }

    void flush() {
        if (used > 0) std::fwrite(buffer, 1, used, file);
        used = 0;
    }

private:
    static constexpr std::size_t vertexLineLimit = 3 * (1 + nineDigitTextLimit) + 2;
    static constexpr std::size_t spacedIndexLimit = 1 + 20;  // a blank, a sign and 19 digits
    std::FILE* file;
    char buffer[1 << 16];
    std::size_t used = 0;
};

}  // namespace

std::string materialLibraryPath(const std::string& objPath) {
    std::size_t slash = objPath.find_last_of('/');
    std::size_t stemAt = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = objPath.find_last_of('.');
    bool hasExtension = dot != std::string::npos && dot >= stemAt;
    std::string stem = objPath.substr(stemAt, (hasExtension ? dot : objPath.size()) - stemAt);
    // a blank ends the name, and readers that take "#" anywhere for a comment would cut it there
    for (char& c : stem)
        if (std::isspace(static_cast<unsigned char>(c)) || c == '#') c = '_';
    std::string path = objPath.substr(0, stemAt) + stem + ".mtl";
    return path == objPath ? objPath + ".mtl" : path;
}

std::string materialName(const std::string& surfaceName) {
    std::string name;
    for (const char byte : surfaceName) {
        const auto c = static_cast<unsigned char>(byte);
        bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-' || c == '.';
        name += safe ? byte : '_';
    }
    return name.empty() ? "unnamed" : name;
}

bool writeObj(const HostScene& scene, const std::string& objPath, std::string& error) {
    std::string mtlPath = materialLibraryPath(objPath);
    std::vector<std::string> names = materialNames(scene);
    if (!writeMtl(scene, names, mtlPath, error)) return false;
    std::unordered_map<std::string, std::string> materialOf;  // first surface with a name wins
    for (std::size_t i = scene.surfaces.size(); i-- > 0;)
        if (scene.surfaces[i].hasName) materialOf[scene.surfaces[i].name] = names[i];

    File file(objPath);
    if (!file.handle) {
        error = "cannot write " + objPath + ": " + std::strerror(errno);
        return false;
    }
    std::fprintf(file.handle, "# SVG outlines as built in the host\nmtllib %s\n",
                 baseName(mtlPath).c_str());
    {
        ObjText text(file.handle);
        // A point at infinity or NaN keeps its place in the numbering as the origin, and
        // the polygons through it are left out: OBJ readers reject "inf" and "nan".
        for (const auto& p : scene.points) {
            if (!isFinitePoint(p)) {
                text.put("v 0 0 0\n");
                continue;
            }
            text.putVertex(p);
        }
        std::string current;
        for (const HostPolygon& polygon : scene.polygons) {
            std::size_t n = polygon.points.size();
            bool known = n > 0;
            for (long index : polygon.points)
                known = known && index >= 0 &&
                        static_cast<std::size_t>(index) < scene.points.size() &&
                        isFinitePoint(scene.points[static_cast<std::size_t>(index)]);
            // a vertex the host never created has no OBJ index; one at no finite place, no face
            if (!known) continue;
            auto material = materialOf.find(polygon.surfaceName);
            if (material != materialOf.end() && material->second != current) {
                current = material->second;
                text.put("usemtl ");
                text.put(current);
                text.put("\n", 1);
            }
            text.put(n >= 3 ? "f" : n == 2 ? "l" : "p", 1);
            for (long index : polygon.points) {
                text.putSpacedIndex(index + 1);
            }
            text.put("\n", 1);
        }
    }
    if (!file.close()) {
        error = "cannot write " + objPath;
        return false;
    }
    return true;
}

}  // namespace standin
