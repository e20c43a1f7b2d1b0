// The stand-in host's own checks of what a module asks of it: they are what the module
// tests rely on to see a faulty call.
#include <gtest/gtest.h>

#include <cstdint>
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

}  // namespace

TEST(StandInHost, MarksCallsAModuleGetsWrong) {
    standin::StandInHost host;
    host.addSurface("Surface 0", false);  // a surface that answers no name bears none
    ASSERT_EQ(host.run(strayCalls), 0);
    ASSERT_EQ(host.scene.polygons.size(), 2u);
    EXPECT_EQ(host.scene.polygons[0].points, (std::vector<long>{0, 1, -1}));
    EXPECT_EQ(host.countCalls("createPolygon Surface 0 n=3"), 1u);
    EXPECT_EQ(host.countCalls("createPolygon Surface 0 n=2 unexpected-arguments"), 1u);
    EXPECT_EQ(host.countCalls("createPolygon Surface 0 n=3 unexpected-arguments"), 0u);
    // the edit gives the name its own surface
    ASSERT_EQ(host.scene.surfaces.size(), 2u);
    EXPECT_TRUE(host.scene.surfaces[1].hasName);
    EXPECT_EQ(host.scene.surfaces[1].name, "Surface 0");
}
