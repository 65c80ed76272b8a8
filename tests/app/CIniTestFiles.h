#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/TempFolder.h"

// A private folder per test for the settings files the reader and writer tests lay down.
class CIniTestFolder : public pyx::test::TempFolder {
public:
  CIniTestFolder() : TempFolder("pyx-cini-") {}

  std::filesystem::path WriteBytes(const std::string& name,
                                   const std::vector<std::byte>& bytes) const {
    const auto file = Path() / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return file;
  }

  // The text as UTF-16LE, with no byte-order mark unless the text starts with one.
  std::filesystem::path WriteText(const std::string& name, std::u16string_view text) const {
    return WriteBytes(name, Utf16Le(text));
  }

  static std::vector<std::byte> Utf16Le(std::u16string_view text) {
    std::vector<std::byte> bytes;
    for (const char16_t u : text) {
      bytes.push_back(static_cast<std::byte>(u & 0xFF));
      bytes.push_back(static_cast<std::byte>(u >> 8));
    }
    return bytes;
  }

  static std::vector<std::byte> ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::byte> bytes(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) bytes[i] = static_cast<std::byte>(raw[i]);
    return bytes;
  }
};
