// The command as the host runs it: version check, file request, options panel, tolerance.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "host_fixture.h"
#include "svg/parse_context.h"

using standin::StandInHost;
using testing_host::callsStartingWith;
using testing_host::ModuleTest;
using testing_host::svg;

namespace {

const std::vector<std::string> lookups = {"lookup LWPanelServices 2", "lookup Surface Functions 4",
                                          "lookup File Request 2"};

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::string firstRequest =
    "requestFile 3 type=1 caption=Load svg filter= length=520 callback=null buffers=ok outcome=0";

std::string shown(int value) { return "setControlValue 4 type=2 value=" + std::to_string(value); }

// Host points of a parse at the given tolerance, as the module should hand them over.
std::vector<std::array<double, 3>> expectedPoints(const std::string& file, float tolerance) {
    std::vector<std::array<double, 3>> points;
    PathList list = parseSvgFile(file.c_str(), tolerance);
    for (const PathRecord* path = list; path != nullptr; path = path->next)
        for (int i = 0; i < path->pointCount; ++i)
            points.push_back({double(path->points[2 * i]), double(-path->points[2 * i + 1]), 0.0});
    freePathList(list);
    return points;
}

const std::string curves = svg(
    "<path fill='#102030' d='M0 0 C 10 40 50 -20 60 10 Q 80 40 100 0'/>"
    "<circle cx='0' cy='0' r='30' fill='#405060'/>");

}  // namespace

TEST_F(ModuleTest, WrongVersionCallsNothing) {
    for (int version : {2, 4, 0, -3}) {
        StandInHost host;
        EXPECT_EQ(host.run(*module, version), 1) << version;
        EXPECT_TRUE(host.calls.empty()) << version;
    }
}

TEST_F(ModuleTest, FirstRunWithoutNameBuildsOneEmptyEdit) {
    StandInHost host;
    host.script.file.writesName = false;
    EXPECT_EQ(host.run(*module), 0);
    std::vector<std::string> expected = concat(lookups, {
        firstRequest, "createPanel Import SVG outlines",
        "addPanelControl SliderControl 15 100 1 1000 Bezier Detail", shown(10), "openPanel 3",
        "getControlValue 4 type=2", "destroyPanel", "beginMeshEdit", "finishEdit"});
    EXPECT_EQ(host.calls, expected);
    EXPECT_EQ(host.meshEditsBegun, 1);
    EXPECT_EQ(host.meshEditsFinished, 1);
}

TEST_F(ModuleTest, RemembersConfirmedDetailOnly) {
    const struct { bool confirmed; int slider; int shownNext; } runs[] = {
        {true, 250, 250}, {false, 7, 250}, {true, 3, 3}, {false, 1000, 3}, {true, 1000, 1000},
        {true, 0, 0}, {false, 5, 0}};  // a confirmed 0 is remembered like any other detail
    int shownNow = 10;
    for (const auto& run : runs) {
        StandInHost host;
        host.script.panel.confirmed = run.confirmed;
        host.script.panel.sliderValue = run.slider;
        EXPECT_EQ(host.run(*module), 0);
        EXPECT_EQ(callsStartingWith(host, "setControlValue"), std::vector<std::string>{shown(shownNow)});
        EXPECT_EQ(host.panelsCreated, 1);
        EXPECT_EQ(host.panelsDestroyed, 1);
        EXPECT_EQ(host.meshEditsBegun, run.confirmed ? 1 : 0);
        EXPECT_EQ(host.countCalls("getControlValue"), run.confirmed ? 1u : 0u);
        shownNow = run.shownNext;
    }
}

TEST_F(ModuleTest, ToleranceIsOneOverDetail) {
    // No slider value: the slider reads back what it showed, 10 on the first run.
    const struct { std::optional<int> slider; float tolerance; } cases[] = {
        {std::nullopt, 0.1f}, {10, 0.1f}, {1, 1.0f}, {0, 1.0f}, {250, 0.004f}, {1000, 0.001f},
        // only 0 is special; a negative detail counts by its size, so its circle arrives too
        {3, 1.0f / 3.0f}, {-4, 0.25f}, {-1000, 0.001f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.slider.value_or(-1));
        StandInHost host;
        host.script.panel.sliderValue = c.slider;
        ASSERT_EQ(import(host, curves), 0);
        EXPECT_EQ(host.scene.points, expectedPoints(host.script.file.fullName, c.tolerance));
    }
    // The finest and the coarsest detail give different points, so the comparison has teeth.
    std::string file = files.path + "/drawing.svg";
    EXPECT_NE(expectedPoints(file, 0.1f).size(), expectedPoints(file, 1.0f).size());
}

TEST_F(ModuleTest, FailedRequestStopsBeforeThePanel) {
    const struct { int callResult; int outcome; bool goesOn; } cases[] = {
        {1, -1, false}, {-2, -7, false}, {1, 0, true}, {1, 5, true}, {0, -1, true}, {0, 0, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.callResult) + " " + std::to_string(c.outcome));
        StandInHost host;
        host.script.file.callResult = c.callResult;
        host.script.file.outcome = c.outcome;
        EXPECT_EQ(import(host, svg("<rect width='1' height='1'/>")), 0);
        EXPECT_EQ(host.panelsCreated, c.goesOn ? 1 : 0);
        EXPECT_EQ(host.scene.polygons.size(), c.goesOn ? 1u : 0u);
        if (!c.goesOn) {
            EXPECT_EQ(host.calls.size(), lookups.size() + 1);
        }
    }
}

TEST_F(ModuleTest, OutcomeAndNamesCarryOverBetweenRuns) {
    StandInHost first;
    first.script.file.callResult = 0;
    first.script.file.outcome = -5;
    ASSERT_EQ(import(first, svg("<rect width='2' height='2'/>")), 0);
    EXPECT_EQ(first.scene.polygons.size(), 1u);

    StandInHost second;  // writes neither outcome nor name
    second.script.file.outcome.reset();
    second.script.file.writesName = false;
    second.script.file.callResult = 0;
    ASSERT_EQ(second.run(*module), 0);
    EXPECT_EQ(callsStartingWith(second, "requestFile").at(0).substr(firstRequest.size() - 1), "-5");
    EXPECT_EQ(second.scene.points, first.scene.points) << "the previous name is imported again";

    StandInHost third;
    third.script.file.outcome.reset();
    third.script.file.writesName = false;
    third.script.file.callResult = 1;
    EXPECT_EQ(third.run(*module), 0);
    EXPECT_EQ(third.panelsCreated, 0) << "the kept negative outcome fails a non-zero call result";
}

TEST_F(ModuleTest, PanelNotCreatedGivesTwo) {
    StandInHost host;
    host.script.panel.created = false;
    EXPECT_EQ(import(host, svg("<rect width='1' height='1'/>")), 2);
    EXPECT_EQ(host.calls.back(), "createPanel Import SVG outlines");
    EXPECT_EQ(host.countCalls("requestFile"), 1u);
    EXPECT_EQ(host.meshEditsBegun, 0);
}

TEST_F(ModuleTest, MissingServicesAreNeverCalled) {
    const std::string rect = svg("<rect fill='#ff0000' width='1' height='1'/>");
    const struct {
        const char* name;
        void (*adjust)(standin::HostScript&);
        int result;
        const char* lastCall;
        std::size_t polygons;
    } cases[] = {
        {"no file request", [](standin::HostScript& s) { s.services.fileRequest = false; }, 0,
         "lookup File Request 2", 0},
        {"no panel service", [](standin::HostScript& s) { s.services.panelService = false; }, 2,
         "requestFile", 0},
        {"no surface service", [](standin::HostScript& s) { s.services.surfaceService = false; }, 0,
         "finishEdit", 1},
        {"no context", [](standin::HostScript& s) { s.services.context = false; }, 0,
         "destroyPanel", 0},
        {"no beginMeshEdit", [](standin::HostScript& s) { s.services.beginMeshEditEntry = false; },
         0, "destroyPanel", 0},
        {"beginMeshEdit fails", [](standin::HostScript& s) { s.services.beginMeshEditSucceeds = false; },
         0, "beginMeshEdit", 0},
        // a service without one of its entries: the import goes on without that step
        {"no finishEdit", [](standin::HostScript& s) { s.services.finishEditEntry = false; }, 0,
         "firstSurface", 1},
        {"no setSurfaceChannel",
         [](standin::HostScript& s) { s.services.setSurfaceChannelEntry = false; }, 0,
         "finishEdit", 1},
        {"no createPoint", [](standin::HostScript& s) { s.services.createPointEntry = false; }, 0,
         "firstSurface", 0},
        {"no createPolygon", [](standin::HostScript& s) { s.services.createPolygonEntry = false; },
         0, "firstSurface", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StandInHost host;
        c.adjust(host.script);
        EXPECT_EQ(import(host, rect), c.result);
        std::string last = c.lastCall;
        EXPECT_EQ(host.calls.back().substr(0, last.size()), last);
        EXPECT_EQ(host.scene.polygons.size(), c.polygons);
        EXPECT_EQ(host.countCalls("setSurfaceChannel"), 0u);
    }
}

TEST_F(ModuleTest, MissingControlStillOpensThePanel) {
    for (bool entryMissing : {true, false}) {
        SCOPED_TRACE(entryMissing ? "no addPanelControl" : "addPanelControl gives null");
        module.reset();
        module = testing_host::loadModule();
        StandInHost host;
        host.script.services.addPanelControlEntry = !entryMissing;
        host.script.panel.controlCreated = entryMissing;
        host.script.panel.sliderValue = 1;
        ASSERT_EQ(import(host, curves), 0);
        EXPECT_EQ(host.countCalls("openPanel"), 1u);
        EXPECT_EQ(host.countCalls("setControlValue") + host.countCalls("getControlValue"), 0u);
        EXPECT_EQ(host.scene.points, expectedPoints(host.script.file.fullName, 0.1f));

        StandInHost next;  // with a control again: the remembered value is still 10
        next.script.panel.confirmed = false;
        next.run(*module);
        EXPECT_EQ(callsStartingWith(next, "setControlValue"), std::vector<std::string>{shown(10)});
    }
}

TEST_F(ModuleTest, ReloadStartsAtTen) {
    StandInHost confirm;
    confirm.script.panel.sliderValue = 250;
    ASSERT_EQ(confirm.run(*module), 0);
    ASSERT_TRUE(module->unload()) << "the module stayed mapped";
    module = testing_host::loadModule();
    StandInHost after;
    after.script.panel.confirmed = false;
    after.run(*module);
    EXPECT_EQ(callsStartingWith(after, "setControlValue"), std::vector<std::string>{shown(10)});
}

// A full name of `length` characters under the temporary directory, ending in ".svg".
std::string nameOfLength(const std::string& directory, std::size_t length) {
    std::string base = directory + "/" + std::string(200, 'd') + "/" + std::string(200, 'e') + "/";
    return base + std::string(length - base.size() - 4, 'f') + ".svg";
}

TEST_F(ModuleTest, LongNamesAreUsedWholeOrNotAtAll) {
    const std::string red = svg("<rect fill='#ff0000' width='1' height='1'/>");
    const std::string blue = svg("<rect fill='#0000ff' width='1' height='1'/>");
    for (std::size_t length = 512; length <= 519; ++length) {
        SCOPED_TRACE(length);
        std::string name = nameOfLength(files.path, length);
        files.write(name.substr(files.path.size() + 1), red);
        files.write(name.substr(files.path.size() + 1, 511 - files.path.size() - 1), blue);  // cut to 511
        StandInHost host;
        host.script.file.fullName = name;
        ASSERT_EQ(host.run(*module), 0);
        ASSERT_EQ(host.scene.surfaces.size(), 1u);
        EXPECT_EQ(*host.scene.surfaces[0].channel("BaseColor"), (std::vector<double>{1.0, 0.0, 0.0}));
    }
    std::string unterminated = nameOfLength(files.path, 520);
    files.write(unterminated.substr(files.path.size() + 1, 519 - files.path.size() - 1), blue);
    StandInHost host;
    host.script.file.fullName = unterminated;  // fills all 520 bytes, no NUL
    ASSERT_EQ(host.run(*module), 0);
    EXPECT_EQ(host.meshEditsBegun, 1);
    EXPECT_TRUE(host.scene.points.empty());
}
