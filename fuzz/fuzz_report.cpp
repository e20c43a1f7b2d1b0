// The pre-flight report on arbitrary bytes: it must never fault, it counts the records the
// import itself makes, and every finding it writes has a count and at most its few lines. The
// scene summary and the SVG writer then take whatever points the reader made.
#include <sstream>
#include <string>

#include "fuzz/fuzz_input.h"
#include "host/report.h"
#include "host/svg_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const float tolerance = toleranceFor(size);
    const PreflightReport report =
        checkSvgText(std::string(reinterpret_cast<const char*>(data), size), tolerance);
    FuzzText text(data, size);
    PathList list = parseSvgText(text.text(), tolerance);
    std::size_t records = 0;
    for (const PathRecord* r = list; r != nullptr; r = r->next) ++records;
    POLYIN_FUZZ_CHECK(report.records == records);
    for (const Finding& finding : report.findings) {
        POLYIN_FUZZ_CHECK(finding.count > 0 && !finding.lines.empty());
        POLYIN_FUZZ_CHECK(finding.lines.size() <= reportedLineLimit);
    }
    const DrawnScene scene = sceneFromPathList(list);
    freePathList(list);
    std::ostringstream out;
    writeFindings(out, report);
    writeSceneSummary(out, report, scene);
    writeSceneSvg(out, scene);
    return 0;
}
