#pragma once
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/ServiceClient.h"
#include "app/TuningPage.h"
#include "led/LedBoardState.h"
#include "led/LedSettings.h"
#include "service/core/ServiceRequest.h"

namespace pyx {

// The window's changes to the cards when the service owns them: the page's choices become the
// service's typed requests, which the service checks against the cards and carries out. The
// keep-or-revert countdown runs there too, so a window that hangs or dies never leaves an
// unconfirmed tuning behind.
class ServiceChanges {
public:
    explicit ServiceChanges(ServiceClient& service) : service_(service) {}

    // What an Apply or a Reset came to.
    struct Outcome {
        bool done = false;          // the service carried it out; else `text` says why not
        std::string text;           // the result as the in-process Apply words it, or the refusal
        bool waitsForKeep = false;  // taken back unless Keep follows in time
    };

    // Apply's tuning half for the page's mode: the GPU shown, or every GPU when linked or when
    // none is shown. The service waits serviceWaitS for the keep answer.
    static ServiceRequest ApplyRequest(const TuningPage& page, int serviceWaitS);
    Outcome Apply(const TuningPage& page, int serviceWaitS);
    // The applied change stays, and the page's fan curve, when it has one, drives the fans it
    // went to from now on. Empty, or what did not go as asked.
    std::string Keep(const TuningPage& page);
    // The applied change is taken back now. Empty, or what the cards would not take back.
    std::string Revert();
    // A profile file's values onto the GPUs its sections name, checked there as an Apply's are;
    // kept only when Keep follows in time; `text` empty when every value was taken.
    // `confirmOverclock` is asked first where a clock offset in it is above zero; refused,
    // nothing is sent (done false, text empty).
    Outcome LoadProfile(const std::filesystem::path& file, int serviceWaitS,
                        const std::function<bool()>& confirmOverclock);
    // What the service reads of the cards (its fan curves and lighting included) written to the
    // user's file by this process, the user's own; the file is made before the cards are asked.
    struct Saved {
        int gpus = 0;
        std::string why;           // empty when saved
        bool fileProblem = false;  // the file could not be made or written (else the service failed)
    };
    Saved SaveProfile(const std::filesystem::path& file);
    // Reset's tuning half: the cards' defaults on the GPUs Apply would reach, kept at once.
    Outcome ResetTuning(const TuningPage& page);
    // Reset's lighting half: every GPU as the Reset button leaves it. Empty, or the refusal.
    std::string ResetLighting();

    // The lighting the page chose (as Led.txt keeps it) on the GPUs lit, as Apply's lighting
    // half lights them: each on its own target (index: the GPU; none: not lit). Several GPUs
    // on one target breathe in step (one request for all), else each is lit alone. A GPU whose
    // target's saved mode chooses nothing is left out.
    static std::vector<ServiceRequest> LightingRequests(const LedSettings& saved,
                                                        const std::vector<std::optional<LedTarget>>& targets);
    // Empty, or why the lighting was not shown or kept.
    std::string Light(const LedSettings& saved, const std::vector<std::optional<LedTarget>>& targets);

    // Whether the service keeps the effects running once the client that ordered them has gone
    // (the window closed); none when it does not say.
    std::optional<bool> KeepsLighting();
    // That choice changed, and kept by the service. Empty, or why it was not (or not kept).
    std::string KeepLighting(bool keep);

    // Each GPU's lighting controllers as the service's read-only probe finds them; empty when
    // the service does not answer.
    std::vector<LedBoardState> LedBoards();

private:
    // The answer; none after putting why into `why`.
    std::optional<nlohmann::json> Ask(const ServiceRequest& request, std::string& why);

    ServiceClient& service_;
};

}  // namespace pyx
