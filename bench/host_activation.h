// A whole import through a host: file request, parse, mesh and surfaces. The benchmark host
// keeps the scene only; the stand-in host of the tests also logs every call as text.
#pragma once

#include <cstddef>

// True when the stand-in host was built into this benchmark.
bool hasHostActivation();

// Runs one activation of the module on fileName with the "Bezier Detail" slider at detail;
// the points the host received. Without keepsGeometry the host only counts what it gets.
std::size_t runHostActivation(const char* fileName, int detail, bool keepsGeometry = true);

// The same activation through the stand-in host, call log and all.
std::size_t runStandInActivation(const char* fileName, int detail);
