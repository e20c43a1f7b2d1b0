// A whole import through a host: file request, parse, mesh and surfaces. The benchmark host
// keeps the scene in flat arrays; the stand-in host keeps it as the import tool does.
#pragma once

#include <cstddef>

// True when the stand-in host was built into this benchmark.
bool hasHostActivation();

// Runs one activation of the module on fileName with the "Bezier Detail" slider at detail;
// the points the host received. Without keepsGeometry the host only counts what it gets.
std::size_t runHostActivation(const char* fileName, int detail, bool keepsGeometry = true);

// The same activation through the stand-in host as the import tool runs it (its scene kept,
// points and polygons not logged).
std::size_t runStandInActivation(const char* fileName, int detail);
