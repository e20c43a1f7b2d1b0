#include "bench/documents.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace {

// A small deterministic generator (splitmix64): the same stream on every platform.
class Random {
public:
    explicit Random(std::uint64_t seed) : state(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // A value in [low, high].
    long range(long low, long high) {
        return low + static_cast<long>(next() % static_cast<std::uint64_t>(high - low + 1));
    }

private:
    std::uint64_t state;
};

// Appends value / 10^decimals in plain decimal notation, without trailing zeros.
void appendFixed(std::string& out, long value, int decimals) {
    if (value < 0) {
        out += '-';
        value = -value;
    }
    long scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    out += std::to_string(value / scale);
    long fraction = value % scale;
    if (fraction == 0) return;
    char digits[24];
    int n = 0;
    for (int i = 0; i < decimals; ++i, fraction /= 10) digits[n++] = static_cast<char>('0' + fraction % 10);
    int first = 0;
    while (first < n && digits[first] == '0') ++first;  // trailing zeros of the fraction
    out += '.';
    for (int i = n - 1; i >= first; --i) out += digits[i];
}

void appendColour(std::string& out, std::uint32_t colour) {
    static const char hex[] = "0123456789abcdef";
    out += '#';
    for (int shift = 20; shift >= 0; shift -= 4) out += hex[(colour >> shift) & 0xF];
}

// One outline as a random walk around a centre, in thousandths of a unit.
void appendOutline(std::string& out, Random& random) {
    long x = random.range(0, 4000000), y = random.range(0, 3000000);
    int count = static_cast<int>(random.range(20, 400));
    long shape = random.range(0, 3);
    switch (shape) {
    case 0:  // polygon with comma pairs
    case 1:  // polyline with blank pairs
    {
        bool polygon = shape == 0;
        out += polygon ? "<polygon points=\"" : "<polyline points=\"";
        for (int i = 0; i < count; ++i) {
            x += random.range(-2500, 2500);
            y += random.range(-2500, 2500);
            if (i > 0) out += ' ';
            appendFixed(out, x, 3);
            out += polygon ? ',' : ' ';
            appendFixed(out, y, 3);
        }
        out += "\"/>\n";
        return;
    }
    case 2:  // absolute L/H/V path
    {
        out += "<path d=\"M";
        appendFixed(out, x, 3);
        out += ',';
        appendFixed(out, y, 3);
        bool afterLine = true;  // the move-to's own pair: further pairs are line-to steps
        for (int i = 0; i < count; ++i) {
            long kind = random.range(0, 5);
            if (kind == 0) {
                x += random.range(-2500, 2500);
                out += 'H';
                appendFixed(out, x, 3);
                afterLine = false;
            } else if (kind == 1) {
                y += random.range(-2500, 2500);
                out += 'V';
                appendFixed(out, y, 3);
                afterLine = false;
            } else {
                x += random.range(-2500, 2500);
                y += random.range(-2500, 2500);
                // after "H" or "V" a pair needs its "L", or it is read as two more such steps
                out += !afterLine || i % 7 == 0 ? " L" : " ";
                afterLine = true;
                appendFixed(out, x, 3);
                out += ' ';
                appendFixed(out, y, 3);
            }
        }
        out += "Z\"/>\n";
        return;
    }
    default:  // relative path with signed deltas
    {
        out += "<path d=\"m";
        appendFixed(out, x, 3);
        out += ' ';
        appendFixed(out, y, 3);
        out += 'l';
        for (int i = 0; i < count; ++i) {
            long dx = random.range(-2500, 2500), dy = random.range(-2500, 2500);
            if (dx >= 0 && i > 0) out += ' ';
            appendFixed(out, dx, 3);
            if (dy >= 0) out += ' ';
            appendFixed(out, dy, 3);
        }
        out += "z\"/>\n";
        return;
    }
    }
}

void appendOutlines(std::string& out, std::size_t size, Random& random) {
    while (out.size() < size) {
        out += "<g fill=\"";
        appendColour(out, static_cast<std::uint32_t>(random.next() & 0xFFFFFF));
        out += "\" stroke=\"#202020\" stroke-width=\"0.5\">\n";
        for (int i = 0; i < 40 && out.size() < size; ++i) appendOutline(out, random);
        out += "</g>\n";
    }
}

// A pair of coordinates in hundredths.
void appendPair(std::string& out, long x, long y) {
    appendFixed(out, x, 2);
    out += ',';
    appendFixed(out, y, 2);
}

// A pair drawn from [low, high] in a fixed order, the y first, so that every compiler writes the
// same text (the order of two draws written as the arguments of one call is the compiler's).
void appendDrawnPair(std::string& out, Random& random, long low, long high) {
    long y = random.range(low, high);
    long x = random.range(low, high);
    appendPair(out, x, y);
}

// One curve-heavy path mixing C/S/Q/T, absolute and relative.
void appendCurvePath(std::string& out, Random& random) {
    long x = random.range(0, 50000), y = random.range(0, 50000);
    out += "<path d=\"M";
    appendPair(out, x, y);
    int segments = static_cast<int>(random.range(4, 40));
    for (int i = 0; i < segments; ++i) {
        long kind = random.range(0, 7);
        static const char letters[] = "CSQTcsqt";
        int arity = (kind % 4 == 0) ? 3 : (kind % 4 == 3) ? 1 : 2;
        out += ' ';
        out += letters[kind];
        bool relative = kind >= 4;
        for (int n = 0; n < arity; ++n) {
            long dx = random.range(-1500, 1500), dy = random.range(-1500, 1500);
            if (n > 0) out += ' ';
            if (relative) {
                appendPair(out, dx, dy);
            } else {
                appendPair(out, x + dx, y + dy);
            }
        }
        if (!relative) {
            x += random.range(-1500, 1500);
            y += random.range(-1500, 1500);
        }
    }
    out += random.range(0, 1) == 0 ? "Z\"/>\n" : "\"/>\n";
}

void appendTransform(std::string& out, Random& random) {
    out += "<g transform=\"";
    switch (random.range(0, 2)) {
    case 0:
        out += "translate(";
        appendDrawnPair(out, random, -10000, 10000);
        break;
    case 1:
        out += "scale(";
        appendFixed(out, random.range(50, 200), 2);
        break;
    default:
        out += "matrix(";
        appendFixed(out, random.range(80, 120), 2);
        out += " 0 0 ";
        appendFixed(out, random.range(80, 120), 2);
        out += ' ';
        appendDrawnPair(out, random, -5000, 5000);
        break;
    }
    out += ")\" fill=\"";
    appendColour(out, static_cast<std::uint32_t>(random.next() & 0xFFFFFF));
    out += "\">\n";
}

void appendCurves(std::string& out, std::size_t size, Random& random) {
    while (out.size() < size) {
        int depth = static_cast<int>(random.range(1, 4));
        for (int d = 0; d < depth; ++d) appendTransform(out, random);
        for (int i = 0; i < 20 && out.size() < size; ++i) appendCurvePath(out, random);
        for (int d = 0; d < depth; ++d) out += "</g>\n";
    }
}

// Appends  name="value"  with the value given in hundredths.
void appendHundredths(std::string& out, const char* name, long value) {
    out += ' ';
    out += name;
    out += "=\"";
    appendFixed(out, value, 2);
    out += '"';
}

void appendShapes(std::string& out, std::size_t size, Random& random) {
    while (out.size() < size) {
        if (random.range(0, 1) == 0) {
            out += "<rect";
            appendHundredths(out, "x", random.range(0, 100000));
            appendHundredths(out, "y", random.range(0, 100000));
            appendHundredths(out, "width", random.range(100, 5000));
            appendHundredths(out, "height", random.range(100, 5000));
            if (random.range(0, 3) == 0) out += " rx=\"2\"";
        } else {
            out += "<circle";
            appendHundredths(out, "cx", random.range(0, 100000));
            appendHundredths(out, "cy", random.range(0, 100000));
            appendHundredths(out, "r", random.range(50, 2000));
        }
        if (random.range(0, 2) == 0) {
            out += " style=\"fill:";
            appendColour(out, static_cast<std::uint32_t>(random.next() & 0xFFFFFF));
            out += ";stroke:#000000;stroke-width:0.25\"";
        } else {
            out += " fill=\"";
            appendColour(out, static_cast<std::uint32_t>(random.next() & 0xFFFFFF));
            out += "\" fill-opacity=\"0.75\"";
        }
        out += "/>\n";
    }
}

void appendColourPaths(std::string& out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        // An odd multiplier is a bijection modulo 2^24: every path gets its own colour.
        auto colour = static_cast<std::uint32_t>((i * 0x9E3779u + 0x123456u) & 0xFFFFFFu);
        long x = static_cast<long>(i % 200) * 1000, y = static_cast<long>(i / 200) * 1000;
        out += "<path fill=\"";
        appendColour(out, colour);
        out += "\" d=\"M";
        appendPair(out, x, y);
        out += "h8v8h-8z\"/>\n";
    }
}

constexpr const char* documentHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"4000\" height=\"3000\">\n";
constexpr const char* documentTail = "</svg>\n";

}  // namespace

std::string generateDocument(DocumentKind kind, std::size_t size) {
    Random random(0x5eed0000u + static_cast<unsigned>(kind));
    std::string out = documentHead;
    if (kind != DocumentKind::colours) out.reserve(size + 4096);
    switch (kind) {
    case DocumentKind::outlines: appendOutlines(out, size, random); break;
    case DocumentKind::curves: appendCurves(out, size, random); break;
    case DocumentKind::shapes: appendShapes(out, size, random); break;
    case DocumentKind::colours: appendColourPaths(out, size); break;
    }
    out += documentTail;
    return out;
}

std::string repeatContent(const std::string& document, int copies) {
    std::string head = documentHead;
    std::size_t tail = document.rfind(documentTail);
    if (document.compare(0, head.size(), head) != 0 || tail == std::string::npos) return document;
    std::string content = document.substr(head.size(), tail - head.size());
    std::string out = head;
    out.reserve(head.size() + content.size() * static_cast<std::size_t>(copies) + 16);
    for (int i = 0; i < copies; ++i) out += content;
    out += documentTail;
    return out;
}

std::vector<std::string> findSvgFiles(const std::string& root) {
    namespace fs = std::filesystem;
    std::vector<std::pair<std::string, std::string>> found;  // name, the file it reaches
    std::error_code error;
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const fs::path& path = it->path();
        std::error_code ignored;
        if (path.extension() != ".svg" || !fs::is_regular_file(path, ignored)) continue;
        fs::path target = fs::canonical(path, ignored);
        if (!ignored) found.emplace_back(path.string(), target.string());
    }
    std::sort(found.begin(), found.end());
    std::set<std::string> reached;
    std::vector<std::string> files;
    for (const auto& [name, target] : found) {
        if (reached.insert(target).second) files.push_back(name);
    }
    return files;
}

bool readWholeFile(const std::string& fileName, std::string* text) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    *text = buffer.str();
    return true;
}

bool readPositiveNumber(const char* text, double* value) {
    char* end = nullptr;
    errno = 0;
    double read = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno != 0 || !std::isfinite(read) || read <= 0.0) return false;
    *value = read;
    return true;
}

bool readCount(const char* text, long* value) {
    if (*text < '0' || *text > '9') return false;  // no blanks, no sign
    char* end = nullptr;
    errno = 0;
    long read = std::strtol(text, &end, 10);
    if (*end != '\0' || errno != 0 || read < 1) return false;
    *value = read;
    return true;
}
