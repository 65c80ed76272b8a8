#include "gpu/DiagnosticsSink.h"

#include <cstdarg>

namespace pyx {

DiagnosticsSink::DiagnosticsSink() : target_(stdout) {}

DiagnosticsSink::DiagnosticsSink(std::FILE* target) : target_(target) {}

void DiagnosticsSink::Print(const char* format, ...) {
    std::FILE* target = target_.load();
    if (target == nullptr) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(target, format, args);
    va_end(args);
}

void DiagnosticsSink::Flush() {
    if (std::FILE* target = target_.load()) std::fflush(target);
}

}  // namespace pyx
