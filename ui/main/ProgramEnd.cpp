#include "ui/main/ProgramEnd.h"

namespace pyx {

std::string DescribeEndRefusals(const TuningReport& report) {
    std::string text;
    for (const TuningWriteResult& r : report.Refusals())
        text += "pyxtune: at exit GPU " + std::to_string(r.gpu) + " refused " + DescribeWrite(r) + ": " +
                StatusInWords(r.status) + "\n";
    return text;
}

void EndProgram(AppCore& core, std::FILE* errors) {
    const std::string refused = DescribeEndRefusals(core.End());
    if (refused.empty() || errors == nullptr) return;
    std::fputs(refused.c_str(), errors);
    std::fflush(errors);
}

}  // namespace pyx
