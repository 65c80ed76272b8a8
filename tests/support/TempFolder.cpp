#include "tests/support/TempFolder.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

namespace pyx::test {

namespace fs = std::filesystem;

void RemoveFolder(const fs::path& folder) {
    std::error_code error;
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, error);
    for (int attempt = 0; attempt < 40; ++attempt) {
        error.clear();
        fs::remove_all(folder, error);
        if (!error) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    throw fs::filesystem_error("cannot remove the test folder", folder, error);
}

TempFolder::TempFolder(const std::string& prefix) {
    // The random part keeps test programs running side by side apart (a process id would
    // need a call of each system's own); the counter, the folders of one program.
    static std::atomic<int> counter{0};
    static const unsigned run = std::random_device{}();
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = fs::temp_directory_path() /
            (prefix + std::to_string(run) + "-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    RemoveFolder(path_);
    fs::create_directories(path_);
}

TempFolder::~TempFolder() {
    try {
        RemoveFolder(path_);
    } catch (const fs::filesystem_error& e) {
        // Something still holds a file in it: a handle the code under test left open.
        ADD_FAILURE() << e.what();
    }
}

fs::path TempFolder::Write(const std::string& name, const std::string& text) const {
    const fs::path file = path_ / name;
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    return file;
}

fs::path TempFolder::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const fs::path file = path_ / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file;
}

}  // namespace pyx::test
