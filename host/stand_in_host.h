// A stand-in for the modelling host: loads a module as the host does, serves the host records
// from a script, keeps the scene the module builds and records every call the module makes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "plugin/host_api.h"

namespace standin {

// A module loaded with dlopen whose descriptor and server passed the host's checks.
class LoadedModule {
public:
    // Null on failure, with the reason in `error`.
    static std::unique_ptr<LoadedModule> load(const std::string& path, std::string& error);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    ActivationEntry activation() const { return activationEntry; }
    // Calls the shutdown function and closes the library; false when it stays mapped.
    bool unload();

private:
    LoadedModule() = default;
    std::string path;
    void* library = nullptr;
    const PluginDescriptor* descriptor = nullptr;
    void* token = nullptr;
    ActivationEntry activationEntry = nullptr;
};

// What the file request does: its call result and outcome, and the bytes it writes as the
// full name (a NUL follows when they leave room for it).
struct FileScript {
    std::int32_t callResult = 1;
    std::optional<std::int32_t> outcome = 1;  // unset: outcome left as the module passed it
    bool writesName = true;                   // false: the buffer is left as it is
    std::string fullName;
};

struct PanelScript {
    bool created = true;
    bool confirmed = true;
    bool controlCreated = true;
    std::optional<std::int32_t> sliderValue;  // what the slider reads back; unset: as shown
};

// Which services and entries exist, and which host results come back null.
struct ServiceScript {
    bool panelService = true;
    bool surfaceService = true;
    bool fileRequest = true;
    bool addPanelControlEntry = true;
    bool context = true;
    bool beginMeshEditEntry = true;
    bool beginMeshEditSucceeds = true;
    bool finishEditEntry = true;
    bool createPointEntry = true;
    bool createPolygonEntry = true;
    bool setSurfaceChannelEntry = true;
    std::set<std::size_t> nullPoints;  // createPoint calls (counted from 0) that return null
};

struct HostScript {
    FileScript file;
    PanelScript panel;
    ServiceScript services;
};

struct HostPolygon {
    std::string surfaceName;
    std::vector<long> points;  // scene point indices; -1 for an id the host never gave out
};

struct HostSurface {
    std::string name;
    bool hasName = true;  // false: surfaceName answers null
    std::vector<std::pair<std::string, std::vector<double>>> channels;  // in first-set order

    const std::vector<double>* channel(const std::string& channelName) const;
};

struct HostScene {
    std::vector<std::array<double, 3>> points;
    std::vector<HostPolygon> polygons;
    std::vector<HostSurface> surfaces;  // in creation order
};

// Canonical text of a scene: points, polygons and surface channels, floats in "%a".
std::string dumpScene(const HostScene& scene);

class StandInHost {
public:
    HostScript script;
    HostScene scene;
    std::vector<std::string> calls;  // every call the module made, in order
    // false: the calls made for each point, polygon or surface act without a log entry each
    // (large imports)
    bool logsEachElement = true;
    int meshEditsBegun = 0;
    int meshEditsFinished = 0;
    int panelsCreated = 0;
    int panelsDestroyed = 0;
    std::size_t pointCalls = 0;  // createPoint calls so far

    // Adds a surface that exists before the import.
    void addSurface(const std::string& name, bool hasName = true);
    // Runs the command once; calls and counters accumulate across runs.
    std::int32_t run(ActivationEntry activation, std::int32_t version = 3);
    std::int32_t run(LoadedModule& module, std::int32_t version = 3) {
        return run(module.activation(), version);
    }
    std::size_t countCalls(const std::string& prefix) const;
};

}  // namespace standin
