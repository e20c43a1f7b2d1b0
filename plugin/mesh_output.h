// Turns the parsed polylines into host points, polygons and coloured surfaces.
#pragma once

#include "plugin/host_api.h"
#include "svg/parse_context.h"

// Takes ownership of the list and frees it; the context and the service may be null.
void buildHostMesh(PathList list, CommandContext* context, SurfaceService* surfaces) noexcept;
