#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pyx {

// The protocol both ends speak; a client of another version is told to restart the service
// rather than being half understood.
inline constexpr int kServiceProtocolVersion = 1;
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
};

// Who may ask for what: reading is every local user's; lighting and tuning change the card.
enum class AccessClass : uint8_t { Read, Lighting, Tuning };

AccessClass AccessOf(RequestKind kind);
std::string_view RequestName(RequestKind kind);

// One request, parsed and checked for its shape (not yet against the cards).
struct ServiceRequest {
    RequestKind kind = RequestKind::Hello;
    int clientVersion = 0;      // Hello
    std::optional<int> gpu;     // Monitor: required; FanShow, FanAuto: none for every GPU
};

// Why a request got no answer but an error.
enum class ServiceError : uint8_t {
    BadRequest,       // not JSON, not an object, a wrong or missing field
    TooLarge,         // longer than kMaxRequestBytes
    UnknownOperation,
    OutOfRange,       // a value the cards do not have (a GPU index)
    Denied,           // the peer may not ask for this class of operation
    VersionMismatch,
    Hardware,         // the card refused
};

std::string_view ServiceErrorName(ServiceError error);
// The error a reply names; none for a name this version does not know.
std::optional<ServiceError> ServiceErrorFromName(std::string_view name);

}  // namespace pyx
