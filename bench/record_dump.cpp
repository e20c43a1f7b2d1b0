// Prints every PathRecord the reader makes of each document, floats in hexadecimal, so that two
// builds or two versions of the reader can be compared byte for byte.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/documents.h"
#include "svg/parse_context.h"

namespace {

bool digestOnly = false;

// FNV-1a over the bytes of a value.
template <typename T>
void mix(std::uint64_t& hash, const T& value) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    for (unsigned char b : bytes) hash = (hash ^ b) * 0x100000001B3ull;
}

// One line per document: counts and a hash of every field and point of every record.
void digestList(const char* name, PathList list) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    std::size_t records = 0, points = 0;
    for (PathRecord* r = list; r != nullptr; r = r->next) {
        ++records;
        points += static_cast<std::size_t>(r->pointCount);
        mix(hash, r->fillColor);
        mix(hash, r->strokeColor);
        mix(hash, r->strokeWidth);
        mix(hash, r->hasFill);
        mix(hash, r->hasStroke);
        mix(hash, r->closed);
        mix(hash, r->pointCount);
        for (std::int32_t i = 0; i < 2 * r->pointCount; ++i) mix(hash, r->points[i]);
    }
    std::printf("# %s records %zu points %zu digest %016llx\n", name, records, points,
                static_cast<unsigned long long>(hash));
}

void dumpList(const char* name, PathList list) {
    if (digestOnly) {
        digestList(name, list);
        return;
    }
    std::size_t records = 0, points = 0;
    for (PathRecord* r = list; r != nullptr; r = r->next) {
        ++records;
        points += static_cast<std::size_t>(r->pointCount);
    }
    std::printf("# %s records %zu points %zu\n", name, records, points);
    for (PathRecord* r = list; r != nullptr; r = r->next) {
        std::printf("fill %08x %u stroke %08x %u width %a closed %u n %d:", r->fillColor,
                    r->hasFill, r->strokeColor, r->hasStroke, static_cast<double>(r->strokeWidth),
                    r->closed, r->pointCount);
        for (std::int32_t i = 0; i < r->pointCount; ++i) {
            std::printf(" %a,%a", static_cast<double>(r->points[2 * i]),
                        static_cast<double>(r->points[2 * i + 1]));
        }
        std::putchar('\n');
    }
}

void dumpText(const char* name, const std::string& text, float tolerance) {
    std::vector<char> copy(text.begin(), text.end());
    copy.push_back('\0');
    PathList list = parseSvgText(copy.data(), tolerance);
    dumpList(name, list);
    freePathList(list);
}

int usage() {
    std::fprintf(stderr,
                 "usage: polyin_record_dump [--digest] [--tolerance T] [--generate KIND SIZE] "
                 "[--icons DIR] [FILE...]\n  KIND: outlines curves shapes colours\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    float tolerance = 0.1f;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--digest") == 0) {
            digestOnly = true;
        } else if (std::strcmp(argv[i], "--tolerance") == 0 && i + 1 < argc) {
            double read = 0.0;
            if (!readPositiveNumber(argv[++i], &read)) return usage();
            tolerance = static_cast<float>(read);
        } else if (std::strcmp(argv[i], "--generate") == 0 && i + 2 < argc) {
            const char* kind = argv[++i];
            long read = 0;
            if (!readCount(argv[++i], &read)) return usage();
            auto size = static_cast<std::size_t>(read);
            bool known = false;
            for (const DocumentRecipe& recipe : documentRecipes) {
                if (std::strcmp(kind, recipe.name) != 0) continue;
                dumpText(recipe.name, generateDocument(recipe.kind, size), tolerance);
                known = true;
            }
            if (!known) return usage();
        } else if (std::strcmp(argv[i], "--icons") == 0 && i + 1 < argc) {
            for (const std::string& file : findSvgFiles(argv[++i])) {
                std::string text;
                if (readWholeFile(file, &text)) dumpText(file.c_str(), text, tolerance);
            }
        } else if (argv[i][0] == '-') {
            return usage();
        } else {
            std::string text;
            if (!readWholeFile(argv[i], &text)) {
                std::fprintf(stderr, "cannot read %s\n", argv[i]);
                return 1;
            }
            dumpText(argv[i], text, tolerance);
        }
    }
    return 0;
}
