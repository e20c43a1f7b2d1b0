// A whole import through a host: file request, parse, mesh and surfaces.
#pragma once

#include <cstddef>

// True when the stand-in host was built into this benchmark.
bool hasHostActivation();

// Runs one activation of the module on fileName with the "Bezier Detail" slider at detail;
// the points the host received. Without keepsGeometry the host only counts what it gets.
std::size_t runHostActivation(const char* fileName, int detail, bool keepsGeometry = true);
