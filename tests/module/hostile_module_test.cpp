// Hostile files through the real module and the stand-in host: each import ends with result 0
// and one complete, possibly empty, mesh edit; memory stays bounded and nothing outlives a run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <string>

#include "host/stand_in_host.h"
#include "tests/hostile_input.h"

namespace {

std::unique_ptr<standin::LoadedModule> loadModule() {
    std::string error;
    auto module = standin::LoadedModule::load(POLYIN_MODULE_PATH, error);
    EXPECT_NE(module, nullptr) << error;
    return module;
}

struct Import {
    std::int32_t result = -1;
    int editsBegun = 0;
    int editsFinished = 0;
    std::size_t points = 0;
    std::size_t polygons = 0;
};

Import importFile(standin::LoadedModule& module, const std::string& name, int detail = 10) {
    standin::StandInHost host;
    host.script.file.fullName = name;
    host.script.panel.sliderValue = detail;
    Import import;
    import.result = host.run(module);
    import.editsBegun = host.meshEditsBegun;
    import.editsFinished = host.meshEditsFinished;
    import.points = host.scene.points.size();
    import.polygons = host.scene.polygons.size();
    return import;
}

using hostile::repeat;
using hostile::TempFile;

const std::string unitSquare = "<rect width=\"1\" height=\"1\"/>";

}  // namespace

TEST(HostileModule, NamesWithoutARegularFileImportNothingWithoutHanging) {
    auto module = loadModule();
    ASSERT_NE(module, nullptr);
    hostile::StalledFifo fifo(unitSquare);  // a writer that never closes
    ASSERT_TRUE(fifo.isReady());
    for (const std::string& name : {std::string("/"), std::string("/tmp"), std::string("/dev/null"),
                                   std::string("/dev/zero"), fifo.name(), std::string(""),
                                   std::string("/nonexistent/polyin.svg")}) {
        auto pending = std::async(std::launch::async, [&] { return importFile(*module, name); });
        bool finished = pending.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        EXPECT_TRUE(finished) << name;
        if (!finished) fifo.closeWriter();  // lets a waiting read end
        Import import = pending.get();
        EXPECT_EQ(import.result, 0) << name;
        EXPECT_EQ(import.editsBegun, 1) << name;
        EXPECT_EQ(import.editsFinished, 1) << name;
        EXPECT_EQ(import.points, 0u) << name;
    }
}

TEST(HostileModule, HostileDocumentsGiveTheirBoundedScenes) {
    auto module = loadModule();
    ASSERT_NE(module, nullptr);
    const struct { std::string document; int detail; std::size_t points; std::size_t polygons; } cases[] = {
        {repeat("<", 1000000), 10, 0, 0},
        {"<g fill=\"#ff0000\">" + repeat("<g>", 999999) + unitSquare + repeat("</g>", 1000000) + unitSquare,
         10, 8, 2},
        {"<rect width=\"2\" height=\"3\"" + repeat(" a=\"1\"", 100000) + "/>", 10, 4, 1},
        {"<path d=\"M0 0 C" + repeat(" 0 0 0 0 0 0", 100000) + "\"/>", 1000, 300001, 1},
        {"<circle r=\"1e30\"/>", 1000, 65536, 1},
        {"<circle r=\"1e30\"/>", 1, 65536, 1},
        {std::string("\xFF\xFE<\0s\0v\0g\0>\0", 12), 10, 0, 0},
        {unitSquare + std::string(1, '\0') + unitSquare, 10, 4, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.document.substr(0, 40));
        TempFile file(c.document);
        ASSERT_FALSE(file.name().empty());
        Import import = importFile(*module, file.name(), c.detail);
        EXPECT_EQ(import.result, 0);
        EXPECT_EQ(import.editsFinished, 1);
        EXPECT_EQ(import.points, c.points);
        EXPECT_EQ(import.polygons, c.polygons);
    }
}

#ifndef POLYIN_SANITIZED
// A child process with a hard address-space limit imports the heaviest hostile documents; the
// sanitizer tree reserves far more address space than the limit, so there the totals above and
// the leak checker stand in.
TEST(HostileModule, ImportsStayWithinAnAddressSpaceLimit) {
    const std::string documents[] = {
        "<path d=\"M0 0 C" + repeat(" 0 0 0 0 0 0", 1000000) + "\"/>",
        repeat("<circle r=\"1e30\"/>", 20),
        "<polyline points=\"" + repeat("1,2 ", 1000000) + "\"/>",
        repeat("<g>", 1000000) + "<rect style=\"fill:#" + repeat("f", 1000000) + "\" width=\"1\" height=\"1\"/>",
    };
    for (const std::string& document : documents) {
        TempFile file(document);
        ASSERT_FALSE(file.name().empty());
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            rlimit limit{768u << 20, 768u << 20};
            setrlimit(RLIMIT_AS, &limit);
            std::string error;
            auto module = standin::LoadedModule::load(POLYIN_MODULE_PATH, error);
            if (!module) _exit(3);
            standin::StandInHost host;
            host.script.file.fullName = file.name();
            host.script.panel.sliderValue = 1000;
            _exit(host.run(*module) == 0 && host.meshEditsFinished == 1 ? 0 : 4);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << document.substr(0, 40) << ": status " << status;
    }
}

// Loading, importing and unloading again and again leaves the heap where it was: the module
// keeps nothing between runs and nothing after it is unloaded.
TEST(HostileModule, RepeatedRunsAndReloadsLeaveNothingAllocated) {
    TempFile file("<g fill=\"#ff0000\"><rect width=\"5\" height=\"5\"/><circle r=\"3\"/>"
                  "<path d=\"M0 0 C 0 1 1 1 1 0 Q 2 2 3 0 Z\"/></g>");
    ASSERT_FALSE(file.name().empty());
    auto cycle = [&] {
        auto module = loadModule();
        if (!module) return;
        for (int run = 0; run < 5; ++run) importFile(*module, file.name());
        module->unload();
    };
    for (int i = 0; i < 3; ++i) cycle();  // the loader's own one-time allocations
    std::size_t before = mallinfo2().uordblks;
    for (int i = 0; i < 20; ++i) cycle();
    std::size_t after = mallinfo2().uordblks;
    EXPECT_LE(after, before + 4096) << "grew by " << (after - before) << " bytes";
}

// An import the host gives no mesh edit still releases everything it read.
TEST(HostileModule, ImportsWithoutAMeshEditLeaveNothingAllocated) {
    TempFile file(repeat(unitSquare, 100));
    ASSERT_FALSE(file.name().empty());
    auto module = loadModule();
    ASSERT_NE(module, nullptr);
    const struct { const char* name; void (*adjust)(standin::ServiceScript&); } cases[] = {
        {"no context", [](standin::ServiceScript& s) { s.context = false; }},
        {"no beginMeshEdit", [](standin::ServiceScript& s) { s.beginMeshEditEntry = false; }},
        {"beginMeshEdit fails", [](standin::ServiceScript& s) { s.beginMeshEditSucceeds = false; }},
    };
    for (const auto& c : cases) {
        auto run = [&] {
            standin::StandInHost host;
            host.script.file.fullName = file.name();
            c.adjust(host.script.services);
            EXPECT_EQ(host.run(*module), 0) << c.name;
            EXPECT_TRUE(host.scene.polygons.empty()) << c.name;
        };
        run();  // the first run's one-time allocations
        std::size_t before = mallinfo2().uordblks;
        for (int i = 0; i < 20; ++i) run();
        std::size_t after = mallinfo2().uordblks;
        EXPECT_LE(after, before + 4096) << c.name << ": grew by " << (after - before) << " bytes";
    }
}
#endif
