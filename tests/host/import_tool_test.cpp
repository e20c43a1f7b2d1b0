// The command-line import: its output, its dump and its errors.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "module/host_fixture.h"
#include "tool_runner.h"

namespace {

using Outcome = testing_host::ToolRun;

Outcome runTool(const std::string& arguments) { return testing_host::runImportTool(arguments); }

const std::string drawing = testing_host::svg(
    "<g fill='#00ff00'><rect width='2' height='1'/><line x1='0' y1='0' x2='1' y2='1'/></g>");

}  // namespace

TEST(ImportTool, WritesObjAndPrintsASummary) {
    testing_host::TempDir dir;
    std::string input = dir.write("in.svg", drawing);
    Outcome run = runTool("'" + input + "' --detail 20 -o '" + dir.path + "/sub/out.obj'");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("2 paths, 6 points, 2 polygons, 1 surfaces"), std::string::npos)
        << run.output;
    const std::string obj = testing_host::readFile(dir.path + "/sub/out.obj");
    EXPECT_NE(obj.find("usemtl Surface_0\nl 1 2\nf 3 4 5 6\n"), std::string::npos) << obj;
    std::ifstream mtl(dir.path + "/sub/out.mtl");
    EXPECT_TRUE(mtl.good());
}

TEST(ImportTool, DumpMatchesTheStandInHost) {
    testing_host::TempDir dir;
    std::string input = dir.write("in.svg", drawing);
    Outcome run = runTool("--dump '" + input + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    std::unique_ptr<standin::LoadedModule> module = testing_host::loadModule();
    ASSERT_NE(module, nullptr);
    standin::StandInHost host;
    host.script.file.fullName = input;
    ASSERT_EQ(host.run(*module), 0);
    EXPECT_EQ(run.output, standin::dumpScene(host.scene));
}

TEST(ImportTool, ReportsBadUse) {
    testing_host::TempDir dir;
    std::string input = dir.write("in.svg", drawing);
    const struct { std::string arguments; const char* message; } cases[] = {
        {"'" + dir.path + "/missing.svg'", "cannot read"},
        {"", "no input file"},
        {"'" + input + "' --detail 0", "--detail takes"},
        {"'" + input + "' --detail 1001", "--detail takes"},
        {"'" + input + "' --detail 5x", "--detail takes"},
        {"'" + input + "' --detail", "needs a value"},
        {"'" + input + "' --frobnicate", "unknown option"},
        {"'" + input + "' --module '" + input + "'", "cannot load module"},
        {"'" + input + "' -o '" + input + "/x.obj'", "cannot write"},
        {"'" + input + "' --svg /dev/null/x/o.svg", "cannot create /dev/null"},
        {"'" + input + "' --detail ''", "--detail takes"},
        {"'" + input + "' --svg ''", "--svg needs a file or directory name"},
        // outputs that would replace the input or one another are refused before the import
        {"'" + input + "' -o '" + input + "'", "over an input file"},
        {"'" + input + "' --svg '" + dir.path + "/'", "over an input file"},
        {"'" + input + "' -o '" + dir.path + "/x.obj' --svg '" + dir.path + "/x.mtl'", "twice"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        Outcome run = runTool(c.arguments);
        EXPECT_NE(run.status, 0);
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
    }
    EXPECT_EQ(testing_host::readFile(input), drawing);
}

TEST(ImportTool, TakesTheLastOfARepeatedOption) {
    testing_host::TempDir dir;
    std::string input = dir.write("in.svg", drawing);
    Outcome run = runTool("'" + input + "' --detail 5 --detail 20 -o '" + dir.path + "/out.obj'");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("(detail 20)"), std::string::npos) << run.output;
}

// A dump lost on the way out, as on a full disk, is a failure.
TEST(ImportTool, FailsWhenItsOutputIsLost) {
    testing_host::TempDir dir;
    std::string input = dir.write("in.svg", drawing);
    for (const char* option : {"--dump", "--report"}) {
        // standard error to the pipe, standard output to the full device; the runner's own
        // redirection is commented out
        Outcome run = runTool(std::string(option) + " '" + input + "' -o '" + dir.path +
                              "/out.obj' 2>&1 >/dev/full #");
        EXPECT_EQ(run.status, 1) << option;
        EXPECT_NE(run.output.find("cannot write the standard output"), std::string::npos) << run.output;
    }
}

// A module named without a directory is the file in the current one.
TEST(ImportTool, LoadsABareModuleNameFromTheCurrentDirectory) {
    testing_host::TempDir dir;
    std::string input = dir.write("in.svg", drawing);
    ASSERT_EQ(symlink(POLYIN_MODULE_PATH, (dir.path + "/module.p").c_str()), 0);
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    Outcome run = runTool("'" + input + "' --module module.p -o out.obj");
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_EQ(run.status, 0) << run.output;
}
