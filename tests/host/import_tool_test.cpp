// The command-line import: its output, its dump and its errors.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "module/host_fixture.h"

namespace {

struct Outcome {
    int status;
    std::string output;  // stdout and stderr together
};

Outcome runTool(const std::string& arguments) {
    Outcome outcome{-1, ""};
    std::string command = std::string("'") + POLYIN_IMPORT_TOOL + "' " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return outcome;
    char buffer[4096];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.output.append(buffer, got);
    int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

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
    std::ifstream obj(dir.path + "/sub/out.obj");
    std::stringstream text;
    text << obj.rdbuf();
    EXPECT_NE(text.str().find("usemtl Surface_0\nl 1 2\nf 3 4 5 6\n"), std::string::npos) << text.str();
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        Outcome run = runTool(c.arguments);
        EXPECT_NE(run.status, 0);
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
    }
}
