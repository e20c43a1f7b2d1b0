// Importing many files in one run: one output set per file, progress, a clear message for
// each file that fails, and totals at the end.
#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

struct FileOutcome {
    bool ok = false;
    std::string error;         // why the file failed
    std::size_t polygons = 0;
    std::size_t points = 0;
};

// Imports one input and writes its outputs under outputStem (a path without extension).
using FileImporter = std::function<FileOutcome(const std::string& input, const std::string& outputStem)>;

struct BatchTotals {
    std::size_t files = 0;
    std::size_t failed = 0;
    std::size_t polygons = 0;
    std::size_t points = 0;
};

// The output stem for input in outputDir: the file name without its last extension (a leading
// dot is kept).
std::string outputStemFor(const std::string& input, const std::string& outputDir);

// name placed in directory (directory may end with "/" or be empty).
std::string inDirectory(const std::string& directory, const std::string& name);

// The last component of path.
std::string baseName(const std::string& path);

// What the comparison picture's name adds to its file's output stem, before ".png".
inline const std::string comparisonStemSuffix = "-compare";

// Runs importOne on every input in order, going on past failures; prints one progress line per
// file to out, and the totals at the end. Two inputs with the same name get distinct stems, and
// so do two where one's stem and stemSuffix (an output that adds it) make the other's.
BatchTotals runBatch(const std::vector<std::string>& inputs, const std::string& outputDir,
                     const FileImporter& importOne, std::ostream& out,
                     const std::string& stemSuffix = "");

// False with a message when path is missing, a directory or not a regular file.
bool checkDocumentFile(const std::string& path, std::string& error);

// Reads a whole file; false with a message when it is missing, a directory or unreadable.
bool readDocument(const std::string& path, std::string& text, std::string& error);
