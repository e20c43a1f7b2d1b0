// The host side of the records: scripted services, a small scene, and a log of every call.
#include "host/stand_in_host.h"
#include "host/unused_entries.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

// The host's own view of the layout it serves, in plain byte offsets per architecture.
constexpr bool wide = sizeof(void*) == 8;
static_assert(offsetof(PluginDescriptor, serverList) == (wide ? 32 : 20));
static_assert(sizeof(ServerEntry) == (wide ? 32 : 16));
static_assert(sizeof(ControlValue) == 40);
static_assert(offsetof(FileRequest, fullNameBuffer) == (wide ? 40 : 24));
static_assert(offsetof(FileRequest, bufferLength) == (wide ? 48 : 28));
static_assert(offsetof(FileRequest, pickCallback) == (wide ? 56 : 32));
static_assert(offsetof(PanelService, addPanelControl) == (wide ? 64 : 32));
static_assert(offsetof(PanelControl, setControlValue) == (wide ? 16 : 8));
static_assert(offsetof(CommandContext, beginMeshEdit) == (wide ? 32 : 16));
static_assert(offsetof(MeshEditOps, finishEdit) == (wide ? 16 : 8));
static_assert(offsetof(MeshEditOps, createPoint) == (wide ? 80 : 40));
static_assert(offsetof(MeshEditOps, createPolygon) == (wide ? 192 : 96));
static_assert(offsetof(SurfaceService, surfaceName) == (wide ? 40 : 20));
static_assert(offsetof(SurfaceService, setSurfaceChannel) == (wide ? 200 : 100));

namespace standin {

namespace {

constexpr std::size_t serverListBound = 64;

std::string hexFloat(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%a", value);
    return text;
}

std::string hexFloats(const double* values, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += (i ? " " : "") + hexFloat(values[i]);
    return text;
}

// The one host a module is running under; the callbacks carry no user data.
StandInHost* activeHost = nullptr;

StandInHost& host() {
    if (activeHost == nullptr) {
        std::fprintf(stderr, "stand-in host: a host call arrived outside an activation\n");
        std::abort();
    }
    return *activeHost;
}

void record(std::string call) { host().calls.push_back(std::move(call)); }

int editStateTag;  // its address is the edit state handed to the module
int panelTag;

void* asHandle(std::size_t index) { return reinterpret_cast<void*>(index + 1); }
std::size_t fromHandle(void* handle) { return reinterpret_cast<std::size_t>(handle) - 1; }

// Panel side.
PanelControl panelControl;
std::int32_t shownValue = 0;

PanelHandle createPanel(const char* title, void* reserved) {
    StandInHost& h = host();
    record(std::string("createPanel ") + (title ? title : "(null)") +
           (reserved ? " reserved=set" : ""));
    if (!h.script.panel.created) return nullptr;
    ++h.panelsCreated;
    return &panelTag;
}

void destroyPanel(PanelHandle panel) {
    record(panel == &panelTag ? "destroyPanel" : "destroyPanel bad-panel");
    ++host().panelsDestroyed;
}

std::int32_t openPanel(PanelHandle panel, std::int32_t flags) {
    record("openPanel " + std::to_string(flags) + (panel == &panelTag ? "" : " bad-panel"));
    return host().script.panel.confirmed ? 1 : 0;
}

PanelControl* addPanelControl(PanelHandle panel, const char* typeName, ControlDescriptor* descriptor,
                              const char* label) {
    std::string call = "addPanelControl ";
    call += typeName ? typeName : "(null)";
    for (std::int32_t v : descriptor->values) call += " " + std::to_string(v);
    call += std::string(" ") + (label ? label : "(null)");
    if (panel != &panelTag) call += " bad-panel";
    record(call);
    if (!host().script.panel.controlCreated) return nullptr;
    return &panelControl;
}

void setControlValue(PanelControl*, std::int32_t channel, ControlValue* value) {
    shownValue = value->intValue;
    record("setControlValue " + std::to_string(channel) + " type=" + std::to_string(value->typeCode) +
           " value=" + std::to_string(value->intValue));
}

void getControlValue(PanelControl*, std::int32_t channel, ControlValue* value) {
    const std::optional<std::int32_t>& slider = host().script.panel.sliderValue;
    value->intValue = slider ? *slider : shownValue;
    record("getControlValue " + std::to_string(channel) + " type=" + std::to_string(value->typeCode));
}

// File request side.
std::int32_t requestFile(std::int32_t kind, FileRequest* request) {
    StandInHost& h = host();
    bool buffersDistinct = request->nameBufferA && request->nameBufferB &&
                           request->fullNameBuffer && request->nameBufferA != request->nameBufferB &&
                           request->nameBufferB != request->fullNameBuffer &&
                           request->nameBufferA != request->fullNameBuffer;
    record("requestFile " + std::to_string(kind) + " type=" + std::to_string(request->requestType) +
           " caption=" + (request->caption ? request->caption : "(null)") +
           " filter=" + (request->typeFilter ? request->typeFilter : "(null)") +
           " length=" + std::to_string(request->bufferLength) +
           " callback=" + (request->pickCallback ? "set" : "null") +
           " buffers=" + (buffersDistinct ? "ok" : "bad") +
           " outcome=" + std::to_string(request->outcome));
    const FileScript& file = h.script.file;
    if (file.writesName && request->fullNameBuffer && request->bufferLength > 0) {
        std::size_t room = static_cast<std::size_t>(request->bufferLength);
        std::size_t length = std::min(file.fullName.size(), room);
        std::memcpy(request->fullNameBuffer, file.fullName.data(), length);
        if (length < room) request->fullNameBuffer[length] = '\0';
    }
    if (file.outcome) request->outcome = *file.outcome;
    return file.callResult;
}

// Mesh edit side.
const char* stateNote(void* state) { return state == &editStateTag ? "" : " bad-state"; }

PointId createPoint(void* state, const double* position) {
    StandInHost& h = host();
    std::size_t call = h.pointCalls++;
    if (h.logsEachElement) record("createPoint " + hexFloats(position, 3) + stateNote(state));
    if (h.script.services.nullPoints.count(call)) return nullptr;
    h.scene.points.push_back({position[0], position[1], position[2]});
    return asHandle(h.scene.points.size() - 1);
}

void* createPolygon(void* state, std::intptr_t polygonType, const void* reserved,
                    const char* surfaceName, std::int32_t count, const PointId* points) {
    StandInHost& h = host();
    std::string name = surfaceName ? surfaceName : "(null)";
    HostPolygon polygon{name, {}};
    polygon.points.reserve(count > 0 ? static_cast<std::size_t>(count) : 0);
    for (std::int32_t i = 0; i < count; ++i) {
        std::size_t index = fromHandle(points[i]);
        polygon.points.push_back(points[i] && index < h.scene.points.size() ? long(index) : -1L);
    }
    if (h.logsEachElement) {
        std::string call = "createPolygon " + name + " n=" + std::to_string(count) + stateNote(state);
        if (polygonType != 0 || reserved != nullptr) call += " unexpected-arguments";
        record(call);
    }
    h.scene.polygons.push_back(std::move(polygon));
    return asHandle(h.scene.polygons.size() - 1);
}

std::size_t polygonsAtEditStart = 0;

// Commits the edit: each new polygon surface name gets a surface if none bears it yet.
void finishEdit(void* state, void* reserved, void* more) {
    StandInHost& h = host();
    record(std::string("finishEdit") + stateNote(state) +
           (reserved || more ? " unexpected-arguments" : ""));
    ++h.meshEditsFinished;
    std::unordered_set<std::string> existing;
    for (const HostSurface& s : h.scene.surfaces)
        if (s.hasName) existing.insert(s.name);
    for (std::size_t i = polygonsAtEditStart; i < h.scene.polygons.size(); ++i) {
        const std::string& name = h.scene.polygons[i].surfaceName;
        if (existing.insert(name).second) h.addSurface(name);
    }
}

MeshEditOps meshEditOps;

MeshEditOps* beginMeshEdit(void* reserved, void* more, void* other) {
    StandInHost& h = host();
    record(std::string("beginMeshEdit") +
           (reserved || more || other ? " unexpected-arguments" : ""));
    if (!h.script.services.beginMeshEditSucceeds) return nullptr;
    ++h.meshEditsBegun;
    polygonsAtEditStart = h.scene.polygons.size();
    return &meshEditOps;
}

// Surface side.
SurfaceHandle firstSurface() {
    if (host().logsEachElement) record("firstSurface");
    return host().scene.surfaces.empty() ? nullptr : asHandle(0);
}

SurfaceHandle nextSurface(SurfaceHandle surface) {
    if (host().logsEachElement) record("nextSurface");
    std::size_t next = fromHandle(surface) + 1;
    return next < host().scene.surfaces.size() ? asHandle(next) : nullptr;
}

const char* surfaceName(SurfaceHandle surface) {
    if (host().logsEachElement) record("surfaceName");
    const HostSurface& s = host().scene.surfaces.at(fromHandle(surface));
    return s.hasName ? s.name.c_str() : nullptr;
}

void setSurfaceChannel(SurfaceHandle surface, const char* channel, const double* values) {
    HostSurface& s = host().scene.surfaces.at(fromHandle(surface));
    std::string channelName = channel ? channel : "(null)";
    std::size_t count = channelName == "BaseColor" ? 3 : 1;
    if (host().logsEachElement)
        record("setSurfaceChannel " + s.name + " " + channelName + " " + hexFloats(values, count));
    std::vector<double> stored(values, values + count);
    for (auto& entry : s.channels) {
        if (entry.first == channelName) {
            entry.second = stored;
            return;
        }
    }
    s.channels.emplace_back(channelName, stored);
}

// The service tables, built once; each run adjusts the entries its script removes.
PanelService panelService;
SurfaceService surfaceService;
CommandContext commandContext;

void setUpTables(const ServiceScript& services) {
    panelService.createPanel = createPanel;
    panelService.destroyPanel = destroyPanel;
    panelService.openPanel = openPanel;
    fillUnused(panelService.reserved3);
    panelService.addPanelControl = services.addPanelControlEntry ? addPanelControl : nullptr;

    panelControl.reserved0 = unusedEntry;
    panelControl.getControlValue = getControlValue;
    panelControl.setControlValue = setControlValue;

    fillUnused(commandContext.reserved0);
    commandContext.beginMeshEdit = services.beginMeshEditEntry ? beginMeshEdit : nullptr;

    meshEditOps.editState = &editStateTag;
    meshEditOps.reserved1 = unusedEntry;
    meshEditOps.finishEdit = services.finishEditEntry ? finishEdit : nullptr;
    fillUnused(meshEditOps.reserved3);
    meshEditOps.createPoint = services.createPointEntry ? createPoint : nullptr;
    fillUnused(meshEditOps.reserved11);
    meshEditOps.createPolygon = services.createPolygonEntry ? createPolygon : nullptr;

    surfaceService.reserved0 = unusedEntry;
    surfaceService.firstSurface = firstSurface;
    surfaceService.nextSurface = nextSurface;
    fillUnused(surfaceService.reserved3);
    surfaceService.surfaceName = surfaceName;
    fillUnused(surfaceService.reserved6);
    surfaceService.setSurfaceChannel = services.setSurfaceChannelEntry ? setSurfaceChannel : nullptr;
}

void* lookUpService(const char* name, void* reserved) {
    const ServiceScript& services = host().script.services;
    std::string service = name ? name : "(null)";
    record("lookup " + service + (reserved ? " reserved=set" : ""));
    if (service == "LWPanelServices 2") return services.panelService ? &panelService : nullptr;
    if (service == "Surface Functions 4") return services.surfaceService ? &surfaceService : nullptr;
    if (service == "File Request 2" && services.fileRequest) {
        RequestFile function = requestFile;
        void* asData = nullptr;
        std::memcpy(&asData, &function, sizeof asData);
        return asData;
    }
    return nullptr;
}

}  // namespace

const std::vector<double>* HostSurface::channel(const std::string& channelName) const {
    for (const auto& entry : channels)
        if (entry.first == channelName) return &entry.second;
    return nullptr;
}

std::string dumpScene(const HostScene& scene) {
    std::string text = "points " + std::to_string(scene.points.size()) + "\n";
    for (const auto& p : scene.points) text += hexFloats(p.data(), 3) + "\n";
    text += "polygons " + std::to_string(scene.polygons.size()) + "\n";
    for (const HostPolygon& polygon : scene.polygons) {
        text += "\"" + polygon.surfaceName + "\"";
        for (long index : polygon.points) text += " " + std::to_string(index);
        text += "\n";
    }
    text += "surfaces " + std::to_string(scene.surfaces.size()) + "\n";
    for (const HostSurface& surface : scene.surfaces) {
        text += surface.hasName ? "\"" + surface.name + "\"" : std::string("(null)");
        for (const auto& entry : surface.channels)
            text += " " + entry.first + " " + hexFloats(entry.second.data(), entry.second.size());
        text += "\n";
    }
    return text;
}

void StandInHost::addSurface(const std::string& name, bool hasName) {
    scene.surfaces.push_back(HostSurface{name, hasName, {}});
}

std::size_t StandInHost::countCalls(const std::string& prefix) const {
    std::size_t count = 0;
    for (const std::string& call : calls) count += call.compare(0, prefix.size(), prefix) == 0;
    return count;
}

std::int32_t StandInHost::run(ActivationEntry activation, std::int32_t version) {
    setUpTables(script.services);
    StandInHost* previous = activeHost;
    activeHost = this;
    std::int32_t result = activation(version, lookUpService,
                                     script.services.context ? &commandContext : nullptr, nullptr);
    activeHost = previous;
    return result;
}

std::unique_ptr<LoadedModule> LoadedModule::load(const std::string& path, std::string& error) {
    std::unique_ptr<LoadedModule> module(new LoadedModule());
    // a bare file name is the file here, not a library somewhere on the search path
    module->path = path.find('/') == std::string::npos ? "./" + path : path;
    module->library = dlopen(module->path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module->library == nullptr) {
        const char* reason = dlerror();
        error = "cannot load module " + path + ": " + (reason ? reason : "unknown reason");
        return nullptr;
    }
    module->descriptor = static_cast<const PluginDescriptor*>(dlsym(module->library, "_mod_descrip"));
    const PluginDescriptor* d = module->descriptor;
    if (d == nullptr) {
        error = path + " is not a plug-in module: it exports no _mod_descrip";
        return nullptr;
    }
    if (d->syncMagic != hostapi::syncMagic || d->interfaceVersion != hostapi::interfaceVersion ||
        d->machineWord != hostapi::machineWord || d->moduleStartup == nullptr ||
        d->serverList == nullptr) {
        error = path + ": the module descriptor does not match this host";
        return nullptr;
    }
    for (std::size_t i = 0; i < serverListBound; ++i) {
        const ServerEntry& server = d->serverList[i];
        if (!server.serverClass && !server.serverName && !server.activationEntry) break;
        if (server.serverClass && server.serverName && server.activationEntry &&
            std::strcmp(server.serverClass, "CommandSequence") == 0 &&
            std::strcmp(server.serverName, "kelto_outlines") == 0) {
            module->activationEntry = server.activationEntry;
            break;
        }
    }
    if (module->activationEntry == nullptr) {
        error = path + ": the module has no command server \"kelto_outlines\"";
        return nullptr;
    }
    module->token = d->moduleStartup();
    if (module->token == nullptr) {
        error = path + ": the module's startup failed";
        module->descriptor = nullptr;  // nothing to shut down
        return nullptr;
    }
    return module;
}

bool LoadedModule::unload() {
    if (library == nullptr) return true;
    if (token != nullptr && descriptor->moduleShutdown != nullptr) descriptor->moduleShutdown(token);
    token = nullptr;
    activationEntry = nullptr;
    bool closed = dlclose(library) == 0;
    library = nullptr;
    if (!closed) return false;
    void* still = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (still == nullptr) return true;
    dlclose(still);
    return false;
}

LoadedModule::~LoadedModule() { unload(); }

}  // namespace standin
