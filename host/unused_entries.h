// Fills the entries of host tables that a module must never call with one that fails loudly,
// so a call through a wrong entry stops the run at once instead of jumping anywhere.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "plugin/host_api.h"

[[noreturn]] inline void unusedEntry() {
    std::fprintf(stderr, "host: the module called a host entry it does not use\n");
    std::abort();
}

template <std::size_t N>
void fillUnused(UnusedEntry (&entries)[N]) {
    for (UnusedEntry& e : entries) e = unusedEntry;
}
