// A whole import through a host: file request, parse, mesh and surfaces. The benchmark host
// keeps the scene in flat arrays; the stand-in host keeps it as the import tool does.
#pragma once

#include <cstddef>

// True when the stand-in host was built into this benchmark.
bool hasHostActivation();

// What the benchmark host keeps of what it receives.
enum class HostKeeps {
    scene,     // points, polygons and surfaces, as a host would
    surfaces,  // surfaces; points and polygons only counted, so peak memory is the module's own
    counts,    // nothing but counts: no surface is made, so no colour is set; what is left of
               // the activation's time is the module's own
};

// Runs one activation of the module on fileName with the "Bezier Detail" slider at detail;
// the points the host received.
std::size_t runHostActivation(const char* fileName, int detail, HostKeeps keeps = HostKeeps::scene);

// The same activation through the stand-in host as the import tool runs it (its scene kept,
// points and polygons not logged).
std::size_t runStandInActivation(const char* fileName, int detail);
