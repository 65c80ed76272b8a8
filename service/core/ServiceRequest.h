#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pyx {

// The protocol both ends speak; a client of another version is told to restart the service
// rather than being half understood.
// 2: the vf listing, the profile's values and the lighting. 3: the lighting's reset and the
// profile's text. 4: the service's own settings.
inline constexpr int kServiceProtocolVersion = 4;
// Longest request line the service reads; a settings file of this program is a few KiB, and
// nothing a client sends comes near this.
inline constexpr std::size_t kMaxRequestBytes = 64 * 1024;

// The operations a client may ask of the card owner. None of them is a raw library call or
// an I2C transaction: each is one of the program's own operations, checked in the service.
enum class RequestKind : uint8_t {
    Hello,    // versions, and what each GPU can do
    List,     // the cards as `pyxtunectl list` shows them
    Monitor,  // one reading of a GPU's clocks, temperature, fan and load
    FanShow,  // who drives each fan of one GPU, or of all, and at what level
    FanAuto,  // every fan of one GPU, or of all, back to the card's own control
    Apply,    // a tuning mode onto one GPU or all; kept only when the same client says Keep
    Keep,     // the change this client applied stays (and is what the service puts back)
    Revert,   // the change this client applied is taken back now
    FanCurveSet,   // one GPU's fan, or every GPU's, follows a curve from now on (and at every start)
    FanCurveShow,  // the curve each GPU follows, with its temperature and level now
    History,       // the samples the owner kept of one GPU or of all, since a time
    VfList,        // one GPU's clock-client domains and VF points with their offsets
    ApplyProfile,  // a profile's values onto the GPUs its sections name; kept as Apply's changes are
    Lighting,      // one GPU's lighting as the LED page sets it; the owner runs the effects it animates
    LightingReset, // every GPU's lighting as the Reset button leaves it
    ProfileRead,   // what a profile save writes, as the cards hold it now; the client writes the file
    ServiceSettingsShow,  // the service's own choices (whether it keeps the lighting running)
    ServiceSettingsSet,   // one of them changed, and kept for the next start
};

enum class ApplyModeName : uint8_t { Extreme, Performance, Common, Custom };

// Seconds a change waits for its keep answer before it is taken back.
inline constexpr int kDefaultRevertAfterS = 15;
inline constexpr int kMinRevertAfterS = 5;
inline constexpr int kMaxRevertAfterS = 60;

// Custom's values as the client sends them; the VF offsets default to the clock offsets.
struct RequestedCustom {
    int64_t coreMHz = 0, memMHz = 0, powerPercent = 0, fan = 0;
    std::optional<int64_t> gpuVfMHz, memVfMHz;
};

// How long a request refused by the policy may wait for the system's authority (an
// administrator typing a password); a client waits that long for such answers.
inline constexpr int kAuthorityWaitS = 120;

// Who may ask for what: reading is every local user's; lighting and tuning change the card.
enum class AccessClass : uint8_t { Read, Lighting, Tuning };

AccessClass AccessOf(RequestKind kind);
std::string_view RequestName(RequestKind kind);

// A profile as the client read it from the user's file: each section's name ("Gpu1") with its
// keys and values as text, in the file's order. The owner reads them as it reads its own file.
struct ProfileSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys;
};
// What a profile may hold: far more than this program writes (a section per GPU, a dozen keys).
inline constexpr std::size_t kMaxProfileSections = 16;
inline constexpr std::size_t kMaxProfileKeys = 64;
inline constexpr std::size_t kMaxProfileText = 256;

// One request, parsed and checked for its shape (not yet against the cards).
struct ServiceRequest {
    RequestKind kind = RequestKind::Hello;
    int clientVersion = 0;      // Hello
    std::optional<int> gpu;     // Monitor, VfList: required; FanShow, FanAuto, History: none for every GPU; Apply: none for GPU 0
    // Apply:
    ApplyModeName mode = ApplyModeName::Common;
    bool allGpus = false;
    std::optional<RequestedCustom> custom;  // exactly for Custom
    int revertAfterS = kDefaultRevertAfterS;
    // FanCurveSet: the points as "40:30,50:35,..." (checked against the cards by the owner) and
    // whether the card's own control takes over below the first point.
    std::string curvePoints;
    bool autoBelow = false;
    // History: the first time wanted, milliseconds since 1970-01-01 UTC; none for all kept.
    std::optional<int64_t> sinceMs;
    // ApplyProfile (revertAfterS as for Apply):
    std::vector<ProfileSection> profile;
    // Lighting (gpu: none for GPU 0; allGpus: every GPU, breathing in step), by the names
    // pyxtunectl led takes; checked by the owner:
    std::string ledTarget, ledMode;
    std::optional<std::string> ledColour;  // RRGGBB
    std::optional<int64_t> ledPeriodS;
    // ServiceSettingsSet: whether the effects the program animates run on after the client that
    // ordered them has gone (the window closed).
    std::optional<bool> keepLighting;
};

// Longest curve text a client may send: eight points of two numbers each, with room to spare.
inline constexpr std::size_t kMaxCurvePointsText = 200;

std::string_view ApplyModeText(ApplyModeName mode);  // "extreme"

// Why a request got no answer but an error.
enum class ServiceError : uint8_t {
    BadRequest,       // not JSON, not an object, a wrong or missing field
    TooLarge,         // longer than kMaxRequestBytes
    UnknownOperation,
    OutOfRange,       // a value the cards do not have (a GPU index)
    Denied,           // the peer may not ask for this class of operation
    VersionMismatch,
    Hardware,         // the card refused
    Busy,             // another client's change waits for its keep answer
};

std::string_view ServiceErrorName(ServiceError error);
// The error a reply names; none for a name this version does not know.
std::optional<ServiceError> ServiceErrorFromName(std::string_view name);

}  // namespace pyx
