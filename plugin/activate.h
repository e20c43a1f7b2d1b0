// The command's activation, as the host calls it through the server list.
#pragma once

#include "plugin/host_api.h"

extern "C" POLYIN_HOST_ENTRY std::int32_t activateImport(std::int32_t version,
                                                         ServiceLookup lookup,
                                                         CommandContext* context,
                                                         void* unused) noexcept;
