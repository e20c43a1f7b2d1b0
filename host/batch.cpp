#include "host/batch.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <set>
#include <sys/stat.h>

#include "host/obj_writer.h"
#include "host/report.h"

std::string baseName(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string inDirectory(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    return directory.back() == '/' ? directory + name : directory + "/" + name;
}

std::string outputStemFor(const std::string& input, const std::string& outputDir) {
    std::string name = baseName(input);
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return inDirectory(outputDir, name);
}

BatchTotals runBatch(const std::vector<std::string>& inputs, const std::string& outputDir,
                     const FileImporter& importOne, std::ostream& out,
                     const std::string& stemSuffix) {
    BatchTotals totals;
    // keyed by the material library's name, which writes blanks as '_': "a b" and "a_b"
    // would otherwise share one
    std::set<std::string> usedStems;
    const auto keyOf = [](const std::string& stem) {
        return standin::materialLibraryPath(stem + ".obj");
    };
    // with a suffix, "a" takes "a-compare" too: both would write "a-compare.png"
    const auto isFree = [&](const std::string& stem) {
        return usedStems.count(keyOf(stem)) == 0 &&
               (stemSuffix.empty() || usedStems.count(keyOf(stem + stemSuffix)) == 0);
    };
    const std::string count = std::to_string(inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const std::string& input = inputs[i];
        std::string stem = outputStemFor(input, outputDir);
        for (int n = 2; !isFree(stem); ++n)
            stem = outputStemFor(input, outputDir) + "-" + std::to_string(n);
        usedStems.insert(keyOf(stem));
        if (!stemSuffix.empty()) usedStems.insert(keyOf(stem + stemSuffix));
        FileOutcome outcome = importOne(input, stem);
        totals.files += 1;
        out << '[' << (i + 1) << '/' << count << "] " << baseName(input) << "  ";
        if (outcome.ok) {
            totals.polygons += outcome.polygons;
            totals.points += outcome.points;
            out << groupedNumber(outcome.polygons) << " polygons\n";
        } else {
            totals.failed += 1;
            out << "FAILED: " << outcome.error << '\n';
        }
        out.flush();
    }
    out << "done: " << groupedNumber(totals.files) << " files, " << groupedNumber(totals.failed)
        << " failed, " << groupedNumber(totals.polygons) << " polygons, "
        << groupedNumber(totals.points) << " points\n";
    return totals;
}

bool checkDocumentFile(const std::string& path, std::string& error) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        error = "cannot read " + path + ": it is a directory";
        return false;
    }
    // A FIFO would wait for a writer and a device might never end; the module reads only
    // regular files too, so these would import nothing anyway.
    if (!S_ISREG(info.st_mode)) {
        error = "cannot read " + path + ": it is not a regular file";
        return false;
    }
    return true;
}

bool readDocument(const std::string& path, std::string& text, std::string& error) {
    if (!checkDocumentFile(path, error)) return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    // in large pieces: a drawing of many megabytes read character by character takes a while
    text.clear();
    char piece[1 << 16];
    std::size_t got;
    while ((got = std::fread(piece, 1, sizeof piece, file)) > 0) text.append(piece, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}
