#include "host/batch.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>

#include "host/drawn_scene.h"
#include "host/svg_writer.h"
#include "module/host_fixture.h"
#include "tool_runner.h"

namespace {

// The importer a batch runs in these tests: the reader itself, one SVG written back per file.
FileOutcome importWithReader(const std::string& input, const std::string& stem) {
    FileOutcome outcome;
    std::string text;
    if (!readDocument(input, text, outcome.error)) return outcome;
    PathList list = parseSvgText(text.data(), 0.1f);
    DrawnScene scene = sceneFromPathList(list);
    freePathList(list);
    if (!writeSceneSvgFile(stem + ".svg", scene, outcome.error)) return outcome;
    outcome.ok = true;
    outcome.polygons = scene.polygons.size();
    outcome.points = scene.points.size();
    return outcome;
}

// Writes text to path; false when it could not.
bool writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path);
    out << text;
    return static_cast<bool>(out);
}

}  // namespace

TEST(OutputStem, DropsTheDirectoryAndTheExtension) {
    const struct { const char* input; const char* dir; const char* stem; } cases[] = {
        {"a/b/logo.svg", "out", "out/logo"}, {"logo.svg", "out/", "out/logo"},
        {"logo", "", "logo"}, {".hidden", "o", "o/.hidden"}, {"x.tar.svg", "o", "o/x.tar"}};
    for (const auto& c : cases) EXPECT_EQ(outputStemFor(c.input, c.dir), c.stem) << c.input;
}

TEST(Batch, GoesOnPastABadFileAndCountsIt) {
    const std::string dir = ::testing::TempDir() + "polyin_batch_" + std::to_string(::getpid());
    ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((dir + "/in").c_str(), 0700), 0);  // inputs apart from the outputs
    const std::string one = dir + "/in/polyin_one.svg", two = dir + "/in/polyin_two.svg";
    ASSERT_TRUE(writeText(one, "<rect fill=\"#ff0000\" width=\"1\" height=\"1\"/>"));
    ASSERT_TRUE(writeText(two, "<path d=\"M0 0 L1 0 L1 1 Z M2 2 L3 3\"/>"));
    std::vector<std::string> inputs = {one, dir + "/missing.svg",
                                       dir,  // a directory is no document
                                       two};
    std::ostringstream progress;
    BatchTotals totals = runBatch(inputs, dir, importWithReader, progress);
    EXPECT_EQ(totals.files, 4u);
    EXPECT_EQ(totals.failed, 2u);
    EXPECT_EQ(totals.polygons, 3u);
    EXPECT_EQ(totals.points, 9u);
    const std::string text = progress.str();
    EXPECT_NE(text.find("[1/4] polyin_one.svg  1 polygons\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[2/4] missing.svg  FAILED: cannot read " + dir +
                        "/missing.svg: No such file or directory\n"),
              std::string::npos) << text;
    EXPECT_NE(text.find("it is a directory"), std::string::npos) << text;
    EXPECT_NE(text.find("[4/4] polyin_two.svg  2 polygons\n"), std::string::npos) << text;
    EXPECT_NE(text.find("done: 4 files, 2 failed, 3 polygons, 9 points"), std::string::npos) << text;
    EXPECT_TRUE(std::ifstream(dir + "/polyin_one.svg").good());
    EXPECT_TRUE(std::ifstream(dir + "/polyin_two.svg").good());
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

TEST(ReadDocument, RefusesWhatIsNoRegularFileWithoutWaiting) {
    const std::string fifo = ::testing::TempDir() + "polyin_fifo_" + std::to_string(::getpid());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);  // no writer: opening it would block
    const struct { std::string path; const char* reason; } cases[] = {
        {::testing::TempDir(), "it is a directory"},
        {fifo, "it is not a regular file"},
        {"/dev/zero", "it is not a regular file"},  // never ends
    };
    for (const auto& c : cases) {
        std::string text, error;
        EXPECT_FALSE(readDocument(c.path, text, error)) << c.path;
        EXPECT_EQ(error, "cannot read " + c.path + ": " + c.reason);
        // the check an import without the report makes before the module opens the file
        error.clear();
        EXPECT_FALSE(checkDocumentFile(c.path, error)) << c.path;
        EXPECT_EQ(error, "cannot read " + c.path + ": " + c.reason);
    }
    ::unlink(fifo.c_str());
}

namespace {

// The stems a batch of these inputs hands to its importer, each file imported.
std::vector<std::string> batchStems(const std::vector<std::string>& inputs,
                                    const std::string& stemSuffix = "") {
    std::vector<std::string> seen;
    FileImporter record = [&](const std::string&, const std::string& stem) {
        seen.push_back(stem);
        FileOutcome outcome;
        outcome.ok = true;
        return outcome;
    };
    std::ostringstream progress;
    runBatch(inputs, "out", record, progress, stemSuffix);
    return seen;
}

}  // namespace

TEST(Batch, GivesInputsOfTheSameNameTheirOwnOutputs) {
    EXPECT_EQ(batchStems({"a/x.svg", "b/x.svg", "c/x.svg", "a/y z.svg", "b/y_z.svg", "x.1.svg",
                          "x.2.svg"}),
              (std::vector<std::string>{"out/x", "out/x-2", "out/x-3", "out/y z", "out/y_z-2",
                                        "out/x.1", "out/x.2"}));
}

// An output that adds a suffix to the stem makes "a" and "a-compare" clash in either order.
TEST(Batch, GivesAStemThatAnotherPlusTheSuffixMakesItsOwn) {
    const struct { std::vector<std::string> inputs; std::vector<std::string> stems; } cases[] = {
        {{"a.svg", "a-compare.svg"}, {"out/a", "out/a-compare-2"}},
        {{"a-compare.svg", "a.svg"}, {"out/a-compare", "out/a-2"}},
        {{"a-compare.svg", "a.svg", "a-2-compare.svg"},
         {"out/a-compare", "out/a-2", "out/a-2-compare-2"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(batchStems(c.inputs, comparisonStemSuffix), c.stems) << c.inputs.front();
}

TEST(ImportToolBatch, ImportsEveryFileAndFailsAtTheEndForABadOne) {
    testing_host::TempDir dir;
    std::string first = dir.write("in/first.svg", testing_host::svg("<rect fill='#ff0000' width='2' height='1'/>"));
    std::string second = dir.write("in/second.svg", testing_host::svg("<path d='M0 0 L1 0 L1 1 Z M5 5 L6 6'/>"));
    testing_host::ToolRun run = testing_host::runImportTool(
        "'" + first + "' '" + dir.path + "/in/none.svg' '" + second + "' -o '" + dir.path + "/out/'");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("[1/3] first.svg  1 polygons\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("[2/3] none.svg  FAILED: cannot read " + dir.path + "/in/none.svg"),
              std::string::npos) << run.output;
    EXPECT_NE(run.output.find("[3/3] second.svg  2 polygons\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("done: 3 files, 1 failed, 3 polygons, 9 points"), std::string::npos)
        << run.output;
    // one progress line per file, not the one-file summary
    EXPECT_EQ(run.output.find(" paths, "), std::string::npos) << run.output;
    EXPECT_TRUE(std::ifstream(dir.path + "/out/first.obj").good());
    EXPECT_TRUE(std::ifstream(dir.path + "/out/second.mtl").good());
}

// The first file's SVG would land on the second file before it is read.
TEST(ImportToolBatch, WritesOverNoInputOfTheBatch) {
    testing_host::TempDir dir;
    const std::string drawing = testing_host::svg("<rect fill='#ff0000' width='2' height='1'/>");
    std::string first = dir.write("in/a.svg", drawing);
    std::string second = dir.write("out/a.svg", drawing);
    testing_host::ToolRun run = testing_host::runImportTool(
        "'" + first + "' '" + second + "' --svg '" + dir.path + "/out/' -o '" + dir.path + "/obj/'");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("[1/2] a.svg  FAILED: will not write " + second + " over an input file"),
              std::string::npos) << run.output;
    EXPECT_NE(run.output.find("[2/2] a.svg  1 polygons"), std::string::npos) << run.output;
    EXPECT_EQ(testing_host::readFile(second), drawing);
}

// The second file's OBJ is a hard link to the first's: written, it would replace that one,
// also when the first file failed after writing its OBJ (here its SVG's name is a directory).
TEST(ImportToolBatch, WritesOverNoEarlierOutputUnderAnotherName) {
    for (bool firstFails : {false, true}) {
        SCOPED_TRACE(firstFails ? "first file fails" : "first file imported");
        testing_host::TempDir dir;
        const std::string drawing = testing_host::svg("<rect fill='#ff0000' width='2' height='1'/>");
        std::string a = dir.write("a.svg", drawing);
        std::string b = dir.write("b.svg", testing_host::svg("<rect width='1' height='1'/>"));
        const std::string firstObj = dir.write("out/a.obj", "");
        ASSERT_EQ(::link(firstObj.c_str(), (dir.path + "/out/b.obj").c_str()), 0);
        std::string arguments = "'" + a + "' '" + b + "' -o '" + dir.path + "/out/'";
        if (firstFails) {
            ASSERT_EQ(::mkdir((dir.path + "/svg").c_str(), 0700), 0);
            ASSERT_EQ(::mkdir((dir.path + "/svg/a.svg").c_str(), 0700), 0);
            arguments += " --svg '" + dir.path + "/svg/'";
        }
        testing_host::ToolRun run = testing_host::runImportTool(arguments);
        EXPECT_EQ(run.status, 1) << run.output;
        EXPECT_EQ(run.output.find("[1/2] a.svg  FAILED"), firstFails ? 0u : std::string::npos)
            << run.output;
        EXPECT_NE(run.output.find("[2/2] b.svg  FAILED: will not write " + dir.path +
                                  "/out/b.obj over an output of an earlier file"),
                  std::string::npos) << run.output;
        EXPECT_NE(testing_host::readFile(firstObj).find("usemtl Surface_0"), std::string::npos);
    }
}

// Without a comparison picture no output adds "-compare": such a file keeps its own stem.
TEST(ImportToolBatch, KeepsTheStemOfAFileNamedLikeAComparison) {
    testing_host::TempDir dir;
    const std::string drawing = testing_host::svg("<rect width='1' height='1'/>");
    std::string a = dir.write("a.svg", drawing);
    std::string b = dir.write("a-compare.svg", drawing);
    testing_host::ToolRun run =
        testing_host::runImportTool("'" + a + "' '" + b + "' -o '" + dir.path + "/out/'");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(std::ifstream(dir.path + "/out/a.obj").good());
    EXPECT_TRUE(std::ifstream(dir.path + "/out/a-compare.obj").good());
}

TEST(ImportToolBatch, WantsDirectoriesForSeveralFiles) {
    testing_host::TempDir dir;
    std::string a = dir.write("a.svg", testing_host::svg("<rect width='1' height='1'/>"));
    const struct { std::string arguments; const char* message; } cases[] = {
        {"-o '" + dir.path + "/x.obj'", "-o takes a directory"},
        {"--svg '" + dir.path + "/x.svg'", "--svg takes a directory"},
        {"--dump", "--dump takes one input file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        testing_host::ToolRun run = testing_host::runImportTool("'" + a + "' '" + a + "' " + c.arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
    }
}
