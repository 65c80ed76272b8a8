#pragma once
#include <atomic>
#include <cstdio>

namespace pyx {

#if defined(__GNUC__) || defined(__clang__)
#define PYX_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define PYX_PRINTF_FORMAT(fmt, args)
#endif

// Where the GPU layer's diagnostic listings go (clock-change outcomes, fan-cooler status, the
// clock-domain and VF-point listings, the over-voltage percent). The program's own writes them
// to standard output, as it always has; pyxtunectl, whose standard output is its data, hands
// the board table one that drops them or, with -v, writes them to standard error. Nothing
// process-wide changes, so one thread's listing never hides another's output.
class DiagnosticsSink {
public:
    // Standard output.
    DiagnosticsSink();
    // target: where the lines go; null drops them. The stream must outlive the sink.
    explicit DiagnosticsSink(std::FILE* target);
    DiagnosticsSink(const DiagnosticsSink&) = delete;
    DiagnosticsSink& operator=(const DiagnosticsSink&) = delete;

    // A whole listing may go elsewhere for a while (the VF command prints it as its data).
    void SendTo(std::FILE* target) { target_.store(target); }
    std::FILE* Target() const { return target_.load(); }

    // Text as printf formats it; the caller writes the line ends.
    void Print(const char* format, ...) PYX_PRINTF_FORMAT(2, 3);
    // Pushes what was printed out, at the end of each operation's lines.
    void Flush();

private:
    std::atomic<std::FILE*> target_;
};

}  // namespace pyx
