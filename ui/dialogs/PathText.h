#pragma once

#include <QString>

#include <filesystem>

// Paths cross between Qt and the standard library as UTF-16, which both convert to and from
// the system's own encoding, so no name is mangled on the way.
inline QString PathToQString(const std::filesystem::path& path)
{
    return QString::fromStdU16String(path.u16string());
}

inline std::filesystem::path QStringToPath(const QString& text)
{
    return std::filesystem::path(text.toStdU16String());
}
