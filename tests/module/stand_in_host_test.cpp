// The stand-in host's own checks of what a module asks of it: they are what the module
// tests rely on to see a faulty call.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "host/stand_in_host.h"

namespace {

// Calls a faulty module might make: a polygon through a point id the host never gave out
// (the one after the last it did), and a polygon of another type than a face.
std::int32_t strayCalls(std::int32_t, ServiceLookup, CommandContext* context, void*) {
    MeshEditOps* ops = context->beginMeshEdit(nullptr, nullptr, nullptr);
    if (ops == nullptr) return 1;
    const double at[3] = {0.0, 0.0, 0.0};
    PointId given[2] = {ops->createPoint(ops->editState, at), ops->createPoint(ops->editState, at)};
    PointId stray = reinterpret_cast<PointId>(reinterpret_cast<std::uintptr_t>(given[1]) + 1);
    PointId three[3] = {given[0], given[1], stray};
    ops->createPolygon(ops->editState, 0, nullptr, "Surface 0", 3, three);
    ops->createPolygon(ops->editState, 1, nullptr, "Surface 0", 2, given);
    ops->finishEdit(ops->editState, nullptr, nullptr);
    return 0;
}

// An edit begun with an argument where the host expects none.
std::int32_t editWithAnArgument(std::int32_t, ServiceLookup, CommandContext* context, void*) {
    int marker = 0;
    MeshEditOps* ops = context->beginMeshEdit(&marker, nullptr, nullptr);
    if (ops == nullptr) return 1;
    ops->finishEdit(ops->editState, nullptr, nullptr);
    return 0;
}

// Colours the first surface twice, as a second import onto the same scene does.
std::int32_t recolourTwice(std::int32_t, ServiceLookup lookup, CommandContext*, void*) {
    auto* surfaces = static_cast<SurfaceService*>(lookup("Surface Functions 4", nullptr));
    const double red[3] = {1.0, 0.0, 0.0}, blue[3] = {0.0, 0.0, 1.0}, half = 0.5;
    SurfaceHandle first = surfaces->firstSurface();
    surfaces->setSurfaceChannel(first, "BaseColor", red);
    surfaces->setSurfaceChannel(first, "Transparency", &half);
    surfaces->setSurfaceChannel(first, "BaseColor", blue);
    return 0;
}

// Builds polygons, then walks the surfaces by name and colours each, as an import does.
std::int32_t buildAndColour(std::int32_t version, ServiceLookup lookup, CommandContext* context,
                            void* reserved) {
    if (strayCalls(version, lookup, context, reserved) != 0) return 1;
    auto* surfaces = static_cast<SurfaceService*>(lookup("Surface Functions 4", nullptr));
    const double green[3] = {0.0, 1.0, 0.0};
    for (SurfaceHandle s = surfaces->firstSurface(); s != nullptr; s = surfaces->nextSurface(s))
        if (surfaces->surfaceName(s) != nullptr) surfaces->setSurfaceChannel(s, "BaseColor", green);
    return 0;
}

}  // namespace

// Without the per-element log no call per point, polygon or surface is logged, yet the scene
// is the same.
TEST(StandInHost, LogsEachElementOnlyWhenAsked) {
    const char* const perElement[] = {"createPoint", "createPolygon", "firstSurface",
                                      "nextSurface", "surfaceName", "setSurfaceChannel"};
    std::string sceneLogged;
    for (bool logs : {true, false}) {
        SCOPED_TRACE(logs ? "logged" : "not logged");
        standin::StandInHost host;
        host.logsEachElement = logs;
        host.addSurface("Surface 0");
        ASSERT_EQ(host.run(buildAndColour), 0);
        for (const char* call : perElement)
            EXPECT_EQ(host.countCalls(call) > 0, logs) << call;
        const std::string scene = standin::dumpScene(host.scene);
        if (logs) sceneLogged = scene;
        else EXPECT_EQ(scene, sceneLogged);
    }
}

// A channel set again takes the new value in its old place: the OBJ and the dump show the
// colour of the last import.
TEST(StandInHost, KeepsTheLastValueOfAChannel) {
    standin::StandInHost host;
    host.addSurface("Surface 0");
    ASSERT_EQ(host.run(recolourTwice), 0);
    ASSERT_EQ(host.scene.surfaces.size(), 1u);
    const auto& channels = host.scene.surfaces[0].channels;
    ASSERT_EQ(channels.size(), 2u);
    EXPECT_EQ(channels[0].first, "BaseColor");
    EXPECT_EQ(channels[0].second, (std::vector<double>{0.0, 0.0, 1.0}));
    EXPECT_EQ(channels[1].first, "Transparency");
}

// The dump is how the x86-64 and the i386 module's scenes are compared: every point with all
// three coordinates exact, every polygon with its surface name and corners (-1 for an id the
// host never gave out), every surface with its channels, a nameless one as (null).
TEST(StandInHost, DumpsTheSceneAsCanonicalText) {
    standin::HostScene scene;
    scene.points = {{0.5, -1.0, 0.0}, {0.1, 2.0, 3.0}, {-0.0, 0.0, 0.0}};
    scene.polygons = {{"Surface 0", {0, 1, -1}}, {"Surface 1", {2}}};
    scene.surfaces = {
        {"Surface 0", true, {{"BaseColor", {1.0, 0.5, 0.0}}, {"Transparency", {0.25}}}},
        {"Surface 1", false, {}}};
    EXPECT_EQ(standin::dumpScene(scene),
              "points 3\n"
              "0x1p-1 -0x1p+0 0x0p+0\n"
              "0x1.999999999999ap-4 0x1p+1 0x1.8p+1\n"
              "-0x0p+0 0x0p+0 0x0p+0\n"
              "polygons 2\n"
              "\"Surface 0\" 0 1 -1\n"
              "\"Surface 1\" 2\n"
              "surfaces 2\n"
              "\"Surface 0\" BaseColor 0x1p+0 0x1p-1 0x0p+0 Transparency 0x1p-2\n"
              "(null)\n");
}

TEST(StandInHost, MarksCallsAModuleGetsWrong) {
    standin::StandInHost host;
    host.addSurface("Surface 0", false);  // a surface that answers no name bears none
    ASSERT_EQ(host.run(strayCalls), 0);
    ASSERT_EQ(host.scene.polygons.size(), 2u);
    EXPECT_EQ(host.scene.polygons[0].points, (std::vector<long>{0, 1, -1}));
    EXPECT_EQ(host.countCalls("createPolygon Surface 0 n=3"), 1u);
    EXPECT_EQ(host.countCalls("createPolygon Surface 0 n=2 unexpected-arguments"), 1u);
    EXPECT_EQ(host.countCalls("createPolygon Surface 0 n=3 unexpected-arguments"), 0u);
    // a point is logged with the three coordinates it has, and nothing past them
    EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "createPoint 0x0p+0 0x0p+0 0x0p+0"), 2);
    // the edit gives the name its own surface
    ASSERT_EQ(host.scene.surfaces.size(), 2u);
    EXPECT_TRUE(host.scene.surfaces[1].hasName);
    EXPECT_EQ(host.scene.surfaces[1].name, "Surface 0");
    standin::StandInHost editing;
    ASSERT_EQ(editing.run(editWithAnArgument), 0);
    EXPECT_EQ(editing.countCalls("beginMeshEdit unexpected-arguments"), 1u);
}
