// The command-line import: its output, its dump and its errors.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

// One of the modules with a flaw that the host has to refuse.
std::string flawedModule(const char* flaw) {
    return std::string("'" POLYIN_FLAWED_MODULE_DIR "/polyin_flawed_") + flaw + ".p'";
}

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
    EXPECT_EQ(run.output.find("nothing arrived"), std::string::npos) << run.output;

    // an import that brings nothing points at the report
    input = dir.write("text.svg", testing_host::svg("<text>outline me</text>"));
    run = runTool("'" + input + "' -o '" + dir.path + "/text.obj'");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("0 polygons"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("nothing arrived: --report"), std::string::npos) << run.output;
}

// The dump is the scene the module hands the host at the slider value asked for, from either
// end of the slider, and nothing else is written.
TEST(ImportTool, DumpMatchesTheStandInHost) {
    testing_host::TempDir dir;
    const std::string name = "dump_only_" + std::to_string(getpid());
    std::string input = dir.write(name + ".svg", testing_host::svg(
        "<rect width='2' height='1'/><path fill='#ff0000' d='M0 0 C 0 40 40 40 40 0'/>"));
    std::unique_ptr<standin::LoadedModule> module = testing_host::loadModule();
    ASSERT_NE(module, nullptr);
    std::size_t coarsePoints = 0;
    for (int detail : {1, 10, 1000}) {
        Outcome run = runTool("--dump '" + input + "' --detail " + std::to_string(detail));
        ASSERT_EQ(run.status, 0) << run.output;
        standin::StandInHost host;
        host.script.file.fullName = input;
        host.script.panel.sliderValue = detail;
        ASSERT_EQ(host.run(*module), 0);
        EXPECT_EQ(run.output, standin::dumpScene(host.scene)) << detail;
        if (detail == 1) coarsePoints = host.scene.points.size();
        else EXPECT_GT(host.scene.points.size(), coarsePoints) << detail;
    }
    EXPECT_FALSE(std::ifstream(std::string(POLYIN_DEFAULT_OUTPUT_DIR) + "/" + name + ".obj").good());
}

TEST(ImportTool, ReportsBadUse) {
    testing_host::TempDir dir;
    std::string input = dir.write("in.svg", drawing);
    // one directory under two names
    ASSERT_EQ(mkdir((dir.path + "/real").c_str(), 0700), 0);
    ASSERT_EQ(symlink("real", (dir.path + "/link").c_str()), 0);
    const std::string real = dir.path + "/real/", link = dir.path + "/link/";
    // one file under two names: a link to an output not yet written, and a hard link
    ASSERT_EQ(symlink("ahead.obj", (dir.path + "/ahead.svg").c_str()), 0);
    // and at the end of a chain of links
    ASSERT_EQ(symlink("chain.link", (dir.path + "/chain.svg").c_str()), 0);
    ASSERT_EQ(symlink("chain.obj", (dir.path + "/chain.link").c_str()), 0);
    const std::string hard = dir.write("hard.obj", "kept");
    ASSERT_EQ(::link(hard.c_str(), (dir.path + "/hard.svg").c_str()), 0);
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
        {"'" + input + "' -o '" + dir.path + "/o.obj' --svg /dev/null/x/o.svg",
         "cannot create /dev/null"},
        {"'" + input + "' --detail ''", "--detail takes"},
        {"'" + input + "' --detail ' 7'", "--detail takes"},
        {"'" + input + "' --detail '+7'", "--detail takes"},
        {"'" + input + "' --size ' 64'", "--size takes"},
        {"'" + input + "' --svg ''", "--svg needs a file or directory name"},
        // outputs that would replace the input or one another are refused before the import
        {"'" + input + "' -o '" + input + "'", "over an input file"},
        {"'" + input + "' --svg '" + dir.path + "/'", "over an input file"},
        {"'" + input + "' -o '" + dir.path + "/x.obj' --svg '" + dir.path + "/x.mtl'", "twice"},
        {"'" + input + "' -o '" + real + "x.obj' --svg '" + link + "x.obj'", "twice"},
        {"'" + input + "' -o '" + real + "x.obj' --svg '" + link + "x.mtl'", "twice"},
        {"'" + input + "' -o '" + dir.path + "/ahead.obj' --svg '" + dir.path + "/ahead.svg'",
         "twice"},
        {"'" + input + "' -o '" + hard + "' --svg '" + dir.path + "/hard.svg'", "twice"},
        {"'" + input + "' -o '" + dir.path + "/chain.obj' --svg '" + dir.path + "/chain.svg'",
         "twice"},
        // modules the host cannot run, or cannot let go of
        {"'" + input + "' --module " + flawedModule("word"), "does not match this host"},
        {"'" + input + "' --module " + flawedModule("class"), "no command server"},
        {"'" + input + "' --module " + flawedModule("startup"), "startup failed"},
        {"'" + input + "' --module " + flawedModule("nodelete"), "could not be unloaded"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        Outcome run = runTool(c.arguments);
        EXPECT_NE(run.status, 0);
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
    }
    EXPECT_EQ(testing_host::readFile(input), drawing);
    EXPECT_FALSE(std::ifstream(dir.path + "/ahead.obj").good());
    EXPECT_FALSE(std::ifstream(dir.path + "/chain.obj").good());
    EXPECT_EQ(testing_host::readFile(hard), "kept");
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

// An output named relative to the current directory gets its directories made, and an
// existing directory named without a trailing "/" takes the output under the input's name.
TEST(ImportTool, WritesIntoRelativeAndExistingDirectories) {
    testing_host::TempDir dir;
    std::string input = dir.write("in.svg", drawing);
    ASSERT_TRUE(std::filesystem::create_directory(dir.path + "/given"));
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    Outcome fresh = runTool("'" + input + "' -o fresh/out.obj");
    Outcome given = runTool("'" + input + "' -o given");
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_EQ(fresh.status, 0) << fresh.output;
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.path + "/fresh/out.obj"));
    EXPECT_EQ(given.status, 0) << given.output;
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.path + "/given/in.obj"));
}

// The host's file request holds 519 characters and the NUL; a longer full name is refused
// rather than cut short.
TEST(ImportTool, TakesFullNamesUpToTheHostsLongest) {
    testing_host::TempDir dir;
    char resolved[PATH_MAX];
    ASSERT_NE(realpath(dir.path.c_str(), resolved), nullptr);
    const std::string base = resolved;
    const std::string sub = base + "/" + std::string(250, 'd');
    ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
    for (std::size_t length : {std::size_t{519}, std::size_t{520}}) {
        const std::size_t stem = length - sub.size() - 1 - 4;
        ASSERT_TRUE(stem > 0 && stem <= 250) << stem;
        const std::string input = sub + "/" + std::string(stem, 'f') + ".svg";
        ASSERT_EQ(input.size(), length);
        std::ofstream(input) << drawing;
        Outcome run = runTool("'" + input + "' -o '" + dir.path + "/out.obj'");
        if (length == 519) {
            EXPECT_EQ(run.status, 0) << run.output;
        } else {
            EXPECT_NE(run.status, 0);
            EXPECT_NE(run.output.find("longer than the host's 519 characters"), std::string::npos)
                << run.output;
        }
    }
}
