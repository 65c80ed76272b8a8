#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

// A private folder per test for the settings files the reader and writer tests lay down.
class CIniTestFolder {
public:
  CIniTestFolder() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("pyx-cini-" + std::to_string(std::random_device{}()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~CIniTestFolder() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  CIniTestFolder(const CIniTestFolder&) = delete;
  CIniTestFolder& operator=(const CIniTestFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }

  std::filesystem::path WriteBytes(const std::string& name,
                                   const std::vector<std::byte>& bytes) const {
    const auto file = path_ / name;
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

private:
  std::filesystem::path path_;
};
