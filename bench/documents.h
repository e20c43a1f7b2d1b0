// Deterministic synthetic drawings for the benchmarks, built from only what the reader reads.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

enum class DocumentKind { outlines, curves, shapes, colours };

struct DocumentRecipe {
    DocumentKind kind;
    const char* name;
    std::size_t defaultSize;  // bytes (colours: paths)
};

// Map-like polygons, polylines and L/H/V paths; curve paths in nested transformed groups;
// many rects and circles; one path per distinct fill colour.
constexpr DocumentRecipe documentRecipes[] = {
    {DocumentKind::outlines, "outlines", 50u << 20},
    {DocumentKind::curves, "curves", 20u << 20},
    {DocumentKind::shapes, "shapes", 10u << 20},
    {DocumentKind::colours, "colours", 20000},
};

// The whole document of the given kind, about size bytes (colours: size paths), the same
// text for the same arguments on every machine and build.
std::string generateDocument(DocumentKind kind, std::size_t size);

// The document with the content of its root element repeated copies times.
std::string repeatContent(const std::string& document, int copies);

// Every "*.svg" file below root once, sorted by name: a link is followed, and a file reached
// under several names (icon themes link one drawing from many places) is listed once.
std::vector<std::string> findSvgFiles(const std::string& root);

// The bytes of a file; false when it can't be read.
bool readWholeFile(const std::string& fileName, std::string* text);

// A whole command-line argument as a finite number above 0; false for anything else ("abc",
// "0,01", "-1", "").
bool readPositiveNumber(const char* text, double* value);

// A whole command-line argument as a count of at least 1 in plain digits; false for anything
// else ("1e7", "10M", "0").
bool readCount(const char* text, long* value);
