#include "app/ProfileSections.h"

#include "app/CIniText.h"

namespace pyx {

std::vector<ProfileSection> ProfileSections::Of(const CIni& ini) {
    std::vector<ProfileSection> sections;
    for (const CTreeNode* section = ini.Root()->child; section; section = section->next) {
        ProfileSection read{CIniText::ToUtf8(ini.TextOf(section)), {}};
        for (const CTreeNode* key = section->child; key; key = key->next)
            read.keys.emplace_back(CIniText::ToUtf8(ini.TextOf(key)), CIniText::ToUtf8(ini.TextOf(CIni::ValueOf(key))));
        sections.push_back(std::move(read));
    }
    return sections;
}

bool ProfileSections::Overclock(const std::vector<ProfileSection>& sections) {
    for (const ProfileSection& section : sections)
        for (const auto& [key, value] : section.keys)
            for (const char* clock : {"DyaGpuClock", "DyaMemClock", "GpuVF", "MemVF"})
                if (CIniText::EqualsIgnoreCase(CIniText::FromUtf8(key), CIniText::FromUtf8(clock)) &&
                    CIniText::ToInt32(CIniText::FromUtf8(value)) > 0)
                    return true;
    return false;
}

}  // namespace pyx
