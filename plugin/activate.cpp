// The command: file request, options panel, tolerance, then reading and building.
#include "plugin/activate.h"

#include <cmath>
#include <cstring>

#include "plugin/mesh_output.h"
#include "svg/parse_context.h"

namespace {

constexpr std::int32_t requiredVersion = 3;
constexpr std::int32_t initialDetail = 10;
constexpr std::int32_t loadRequest = 1;
constexpr std::int32_t requestKind = 3;
constexpr std::int32_t openFlags = 3;
constexpr std::int32_t valueChannel = 4;
constexpr std::size_t nameBufferSize = hostapi::nameBufferLength;

// Module-wide state: kept while the module stays loaded, reset by loading it again.
std::int32_t bezierDetail = initialDetail;
ControlValue detailValue = {hostapi::integerControl, 0, {}};
FileRequest fileRequest = {};
char nameBufferA[nameBufferSize];
char nameBufferB[nameBufferSize];
char fullNameBuffer[nameBufferSize];

struct HostServices {
    PanelService* panels;
    SurfaceService* surfaces;
    RequestFile requestFile;
};

// The file request arrives as a data pointer from the lookup; it is a function.
RequestFile asRequestFile(void* service) noexcept {
    RequestFile function = nullptr;
    std::memcpy(&function, &service, sizeof function);
    return function;
}

HostServices lookUpServices(ServiceLookup lookup) noexcept {
    HostServices services = {};
    if (lookup == nullptr) return services;
    services.panels = static_cast<PanelService*>(lookup("LWPanelServices 2", nullptr));
    services.surfaces = static_cast<SurfaceService*>(lookup("Surface Functions 4", nullptr));
    services.requestFile = asRequestFile(lookup("File Request 2", nullptr));
    return services;
}

// Asks the host for a file; false when the host reports a failed request.
bool requestFileName(RequestFile requestFile) noexcept {
    fileRequest.requestType = loadRequest;
    fileRequest.caption = "Load svg";
    fileRequest.typeFilter = "";
    fileRequest.nameBufferA = nameBufferA;
    fileRequest.nameBufferB = nameBufferB;
    fileRequest.fullNameBuffer = fullNameBuffer;
    fileRequest.bufferLength = hostapi::nameBufferLength;
    fileRequest.pickCallback = nullptr;
    std::int32_t callResult = requestFile(requestKind, &fileRequest);
    return !(callResult != 0 && fileRequest.outcome < 0);
}

// Copies the chosen name whole; a buffer without its NUL gives the empty name.
void copyChosenName(char (&chosenFile)[nameBufferSize]) noexcept {
    chosenFile[0] = '\0';
    const void* end = std::memchr(fullNameBuffer, '\0', nameBufferSize);
    if (end == nullptr) return;
    std::size_t length = static_cast<std::size_t>(static_cast<const char*>(end) - fullNameBuffer);
    std::memcpy(chosenFile, fullNameBuffer, length + 1);
}

// Shows the panel with the remembered detail; true when the user confirms it.
bool askForDetail(PanelService& panels, PanelHandle panel) noexcept {
    ControlDescriptor descriptor = {{15, 100, 1, 1000}};
    PanelControl* control = nullptr;
    if (panels.addPanelControl != nullptr)
        control = panels.addPanelControl(panel, "SliderControl", &descriptor, "Bezier Detail");
    if (control != nullptr && control->setControlValue != nullptr) {
        detailValue.intValue = bezierDetail;
        control->setControlValue(control, valueChannel, &detailValue);
    }
    if (panels.openPanel == nullptr || panels.openPanel(panel, openFlags) == 0) return false;
    if (control != nullptr && control->getControlValue != nullptr) {
        control->getControlValue(control, valueChannel, &detailValue);
        bezierDetail = detailValue.intValue;
    }
    return true;
}

void destroyPanel(PanelService& panels, PanelHandle panel) noexcept {
    if (panels.destroyPanel != nullptr) panels.destroyPanel(panel);
}

// Flattening tolerance from the slider: one over the detail, 1 for a detail of 0. A host
// that hands back a negative detail gets that of its size: curves would flatten alike either
// way, but circles take no segment count from a negative tolerance and would be lost.
float toleranceFor(std::int32_t detail) noexcept {
    if (detail == 0) return 1.0f;
    return static_cast<float>(1.0 / static_cast<double>(std::fabs(static_cast<float>(detail))));
}

}  // namespace

extern "C" POLYIN_HOST_ENTRY std::int32_t activateImport(std::int32_t version,
                                                         ServiceLookup lookup,
                                                         CommandContext* context, void*) noexcept {
    if (version != requiredVersion) return 1;
    HostServices services = lookUpServices(lookup);
    if (services.requestFile == nullptr) return 0;
    if (!requestFileName(services.requestFile)) return 0;
    char chosenFile[nameBufferSize];
    copyChosenName(chosenFile);

    if (services.panels == nullptr || services.panels->createPanel == nullptr) return 2;
    PanelService& panels = *services.panels;
    PanelHandle panel = panels.createPanel("Import SVG outlines", nullptr);
    if (panel == nullptr) return 2;
    bool confirmed = askForDetail(panels, panel);
    if (!confirmed) {
        destroyPanel(panels, panel);
        return 0;
    }
    float tolerance = toleranceFor(bezierDetail);
    destroyPanel(panels, panel);

    PathList list = chosenFile[0] != '\0' ? parseSvgFile(chosenFile, tolerance) : nullptr;
    buildHostMesh(list, context, services.surfaces);  // takes the list
    return 0;
}
