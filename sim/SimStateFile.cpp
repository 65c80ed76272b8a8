#include "sim/SimStateFile.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/SimStateFileCard.h"
#include "sim/SimStateFileTuning.h"

#ifdef _WIN32
#include <process.h>
#define PYX_GETPID _getpid
#else
#include <unistd.h>
#define PYX_GETPID getpid
#endif

namespace pyx::sim {

using nlohmann::json;

namespace {

constexpr const char* kFormatKey = "pyxtuneSimState";
constexpr int kFormatVersion = 1;

}  // namespace

SimStateFile::SimStateFile(SimLibrary& library, std::filesystem::path path)
    : library_(library), path_(std::move(path)) {}

namespace {

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

}  // namespace

json SimStateFile::Capture(SimLibrary& library) { return Document(library, CaptureCards(library)); }

void SimStateFile::Restore(const json& document, SimLibrary& library) {
    const json& format = StateField(document, kFormatKey, "state");
    if (!format.is_number_integer() || format.get<int>() != kFormatVersion)
        throw std::runtime_error(std::string("state.") + kFormatKey + ": this program reads version " +
                                 std::to_string(kFormatVersion) + ", the file has " + format.dump());
    const json& cards = StateField(document, "cards", "state");
    if (!cards.is_array()) throw std::runtime_error("state.cards: expected an array");
    if (cards.size() != library.CardCount())
        throw std::runtime_error("the state has " + std::to_string(cards.size()) + " card(s), the scenario " +
                                 std::to_string(library.CardCount()) + "; it was written for another scenario");
    // Everything is read and checked before the first card is touched.
    std::vector<SimCardState> states;
    for (size_t i = 0; i < cards.size(); ++i) {
        const std::string where = "state.cards[" + std::to_string(i) + "]";
        SimCardState state = SimCardState::FromJson(cards[i], where);
        if (const std::string why = state.Mismatch(library.Card(i)); !why.empty())
            throw std::runtime_error(where + " has " + why + "; it was written for another scenario");
        states.push_back(std::move(state));
    }
    for (size_t i = 0; i < states.size(); ++i) states[i].ApplyTo(library.Card(i));
}

std::shared_ptr<SimStateFile> SimStateFile::Attach(SimLibrary& library, const std::filesystem::path& path,
                                                   std::string& error) {
    const std::string name = path.string();
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            error = "PYXTUNE_SIM_STATE: " + name + ": cannot be opened";
            return nullptr;
        }
        std::ostringstream text;
        text << in.rdbuf();
        const std::string content = text.str();
        if (content.find_first_not_of(" \t\r\n") != std::string::npos) {
            try {
                Restore(json::parse(content), library);
            } catch (const std::exception& e) {
                error = "PYXTUNE_SIM_STATE: " + name + ": not a usable simulator state (" + e.what() +
                        "); remove the file to start from the scenario";
                return nullptr;
            }
        }
    }
    auto file = std::shared_ptr<SimStateFile>(new SimStateFile(library, path));
    if (!file->Save(error)) return nullptr;
    // The library keeps the file alive for as long as it can change.
    library.SetChangeListener([file] { file->SaveAfterChange(); });
    return file;
}

bool SimStateFile::Save(std::string& error) {
    std::lock_guard lock(saveMutex_);
    // Most writes a program sends set what the card holds already; seeing that on the cards'
    // own records spares building the whole text after every one of them.
    std::vector<SimCardState> cards = CaptureCards(library_);
    if (!lastWritten_.empty() && cards == lastCards_) return true;
    const std::string text = Document(library_, cards).dump(1) + "\n";
    if (text == lastWritten_) {
        lastCards_ = std::move(cards);
        return true;
    }
    std::filesystem::path temporary = path_;
    temporary += ".tmp" + std::to_string(PYX_GETPID());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) {
            out.close();
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            error = "PYXTUNE_SIM_STATE: " + path_.string() + ": cannot be written";
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path_, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        error = "PYXTUNE_SIM_STATE: " + path_.string() + ": cannot be replaced (" + ec.message() + ")";
        return false;
    }
    lastWritten_ = text;
    lastCards_ = std::move(cards);
    return true;
}

void SimStateFile::SaveAfterChange() {
    std::string error;
    if (Save(error)) return;
    // A change made by an operation cannot be refused any more; say once that it is not kept.
    std::lock_guard lock(saveMutex_);
    if (failureReported_) return;
    failureReported_ = true;
    std::cerr << error << "\n";
}

}  // namespace pyx::sim
