#include "sim/SimStateFile.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <span>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/FileReplacement.h"
#include "sim/SimStateFileCard.h"
#include "sim/SimStateFileTuning.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace pyx::sim {

using nlohmann::json;
namespace fs = std::filesystem;

namespace {

constexpr const char* kFormatKey = "pyxtuneSimState";
constexpr int kFormatVersion = 1;

std::string Named(const fs::path& path) { return "PYXTUNE_SIM_STATE: " + path.string() + ": "; }

std::vector<SimCardState> CaptureCards(SimLibrary& library) {
    std::vector<SimCardState> cards;
    for (size_t i = 0; i < library.CardCount(); ++i) cards.push_back(SimCardState::Capture(library.Card(i)));
    return cards;
}

json Document(const SimLibrary& library, const std::vector<SimCardState>& states) {
    json cards = json::array();
    for (const SimCardState& state : states) cards.push_back(state.ToJson());
    return {{kFormatKey, kFormatVersion}, {"scenario", library.scenarioName}, {"cards", cards}};
}

// Every card's state in the document, each checked against its card before any is used.
std::vector<SimCardState> StatesIn(const json& document, SimLibrary& library) {
    const json& format = StateField(document, kFormatKey, "state");
    if (!format.is_number_integer() || format.get<int>() != kFormatVersion)
        throw std::runtime_error(std::string("state.") + kFormatKey + ": this program reads version " +
                                 std::to_string(kFormatVersion) + ", the file has " + format.dump());
    const json& cards = StateField(document, "cards", "state");
    if (!cards.is_array()) throw std::runtime_error("state.cards: expected an array");
    if (cards.size() != library.CardCount())
        throw std::runtime_error("the state has " + std::to_string(cards.size()) + " card(s), the scenario " +
                                 std::to_string(library.CardCount()) + "; it was written for another scenario");
    std::vector<SimCardState> states;
    for (size_t i = 0; i < cards.size(); ++i) {
        const std::string where = "state.cards[" + std::to_string(i) + "]";
        SimCardState state = SimCardState::FromJson(cards[i], where);
        if (const std::string why = state.Mismatch(library.Card(i)); !why.empty())
            throw std::runtime_error(where + " has " + why + "; it was written for another scenario");
        states.push_back(std::move(state));
    }
    return states;
}

bool Blank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

// The file's whole text; a missing file reads as empty. False with `why` set otherwise.
bool ReadText(const fs::path& path, std::string& text, std::string& why) {
    text.clear();
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) return true;
    // A pipe or a device at the name would hold the program or feed it without end.
    if (ec || status.type() != fs::file_type::regular) {
        why = ec ? "cannot be opened (" + ec.message() + ")" : "is not a plain file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    if (in) all << in.rdbuf();
    if (!in || in.bad()) {
        why = "cannot be opened";
        return false;
    }
    text = all.str();
    return true;
}

// What tells one version of the file from the next: each write is a new file (a rename), so
// its identity changes along with its time and size.
std::string StampOf(const fs::path& path) {
#ifdef _WIN32
    std::error_code ec;
    const auto time = fs::last_write_time(path, ec);
    if (ec) return {};
    const auto size = fs::file_size(path, ec);
    return std::to_string(time.time_since_epoch().count()) + "/" + std::to_string(ec ? 0 : size);
#else
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {};
    char text[160];
    std::snprintf(text, sizeof text, "%llu/%llu/%lld/%lld.%09ld/%lld.%09ld",
                  static_cast<unsigned long long>(info.st_dev), static_cast<unsigned long long>(info.st_ino),
                  static_cast<long long>(info.st_size), static_cast<long long>(info.st_mtim.tv_sec),
                  info.st_mtim.tv_nsec, static_cast<long long>(info.st_ctim.tv_sec), info.st_ctim.tv_nsec);
    return text;
#endif
}

}  // namespace

SimStateFile::SimStateFile(SimLibrary& library, fs::path path, std::unique_ptr<FileLock> lock)
    : library_(library), path_(std::move(path)), lock_(std::move(lock)) {}

fs::path SimStateFile::LockPathFor(const fs::path& path) {
    fs::path lock = path;
    lock += ".lock";
    return lock;
}

json SimStateFile::Capture(SimLibrary& library) { return Document(library, CaptureCards(library)); }

void SimStateFile::Restore(const json& document, SimLibrary& library) {
    // Everything is read and checked before the first card is touched.
    const std::vector<SimCardState> states = StatesIn(document, library);
    for (size_t i = 0; i < states.size(); ++i) states[i].ApplyTo(library.Card(i));
}

std::shared_ptr<SimStateFile> SimStateFile::Attach(SimLibrary& library, const fs::path& path, std::string& error) {
    std::string why;
    auto lock = FileLock::Open(LockPathFor(path), why);
    if (!lock) {
        error = Named(path) + "cannot be written (its lock file " + LockPathFor(path).string() + ": " + why + ")";
        return nullptr;
    }
    auto file = std::shared_ptr<SimStateFile>(new SimStateFile(library, path, std::move(lock)));
    {
        std::lock_guard guard(file->mutex_);
        if (!file->lock_->Lock(FileLockMode::Exclusive)) {
            error = Named(path) + "its lock file " + LockPathFor(path).string() + " cannot be locked";
            return nullptr;
        }
        std::string text;
        bool ok = ReadText(path, text, why);
        if (!ok) {
            error = Named(path) + why;
        } else if (!Blank(text)) {
            try {
                Restore(json::parse(text), library);
            } catch (const std::exception& e) {
                error = Named(path) + "not a usable simulator state (" + e.what() +
                        "); remove the file to start from the scenario";
                ok = false;
            }
        }
        // Written once whole, so the file is known to be writable before anything is changed.
        ok = ok && file->Save(error);
        file->lock_->Unlock();
        if (!ok) return nullptr;
    }
    // The library keeps the file alive for as long as it can change.
    library.SetOperationListener([file](bool changesCard) { return file->BeforeOperation(changesCard); },
                                 [file] { file->AfterChange(); });
    return file;
}

bool SimStateFile::BeforeOperation(bool changesCard) {
    std::string error;
    if (!changesCard) {
        // A read needs the file only when another program has written it since.
        const std::string stamp = StampOf(path_);
        {
            std::lock_guard guard(stampMutex_);
            if (stamp == stamp_) return false;
        }
        std::lock_guard guard(mutex_);
        const bool locked = lock_->Lock(FileLockMode::Shared);
        if (!Reload(error)) Report(error);
        if (locked) lock_->Unlock();
        return false;
    }
    // Held until AfterChange, on this thread.
    mutex_.lock();
    fileLocked_ = lock_->Lock(FileLockMode::Exclusive);
    if (!fileLocked_)
        Report(Named(path_) + "its lock file cannot be locked; a change another program makes meanwhile may be lost");
    if (!Reload(error)) Report(error);
    return true;
}

void SimStateFile::AfterChange() {
    std::string error;
    // A change made by an operation cannot be refused any more; if it cannot be kept, say so.
    if (!Save(error)) Report(error);
    if (fileLocked_) lock_->Unlock();
    fileLocked_ = false;
    mutex_.unlock();
}

bool SimStateFile::Reload(std::string& error) {
    std::string text;
    std::string why;
    if (!ReadText(path_, text, why)) {
        error = Named(path_) + why;
        return false;
    }
    if (text == lastText_) {
        RememberStamp();
        return true;
    }
    if (Blank(text)) {
        // Emptied or removed by someone: the cards stay, and the next change writes them whole.
        lastText_.clear();
        RememberStamp();
        return true;
    }
    std::vector<SimCardState> states;
    try {
        states = StatesIn(json::parse(text), library_);
    } catch (const std::exception& e) {
        error = Named(path_) + "not a usable simulator state (" + e.what() +
                "); the cards go on as they are and the next change writes them whole";
        lastText_.clear();
        RememberStamp();
        return false;
    }
    // Only the cards another program changed are touched: a model reacts to a restore of its
    // registers as to a write.
    for (size_t i = 0; i < states.size(); ++i)
        if (!(states[i] == SimCardState::Capture(library_.Card(i)))) states[i].ApplyTo(library_.Card(i));
    lastText_ = std::move(text);
    lastCards_ = CaptureCards(library_);
    RememberStamp();
    return true;
}

bool SimStateFile::Save(std::string& error) {
    // Most writes a program sends set what the card holds already; seeing that on the cards'
    // own records spares building the whole text after every one of them.
    std::vector<SimCardState> cards = CaptureCards(library_);
    if (!lastText_.empty() && cards == lastCards_) return true;
    const std::string text = Document(library_, cards).dump(1) + "\n";
    if (text == lastText_) {
        lastCards_ = std::move(cards);
        return true;
    }
    // A new file of its own beside the old one, never opened through a name someone else
    // could have put there first.
    const auto replacement = FileReplacement::Begin(path_);
    if (!replacement || !replacement->Commit(std::as_bytes(std::span(text.data(), text.size())))) {
        error = Named(path_) + "cannot be written";
        return false;
    }
    lastText_ = text;
    lastCards_ = std::move(cards);
    RememberStamp();
    return true;
}

void SimStateFile::RememberStamp() {
    std::string stamp = StampOf(path_);
    std::lock_guard guard(stampMutex_);
    stamp_ = std::move(stamp);
}

void SimStateFile::Report(const std::string& error) {
    std::lock_guard guard(reportMutex_);
    if (error == lastReport_) return;
    lastReport_ = error;
    std::cerr << error << "\n";
}

}  // namespace pyx::sim
