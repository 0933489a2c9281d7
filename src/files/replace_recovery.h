// What happens to a save when the system's replace call fails half way. On Windows the call can
// fail after it has already moved the old file away; deleting the new contents then would leave
// nothing. The decision is kept apart from the system calls so that it can be tried without a
// file system that fails on cue.
#pragma once

#include <functional>
#include <string>

namespace orv {

// The replace call's failures that have moved the old file away: it no longer has its name
// (1176), or it has another one (1177). The new contents are still in the temporary file.
inline constexpr unsigned long kUnableToMoveReplacement = 1176;
inline constexpr unsigned long kUnableToMoveReplacement2 = 1177;

enum class ReplaceRecovery {
    kFailed,          // the target still holds its old contents; the temporary file is deleted
    kMovedIntoPlace,  // the temporary file took the target's name: the save went through
    kKeptTemporary,   // the old file is gone and the new one could not take its name: it is kept
};

struct ReplaceSteps {
    std::function<bool()> targetExists;   // whether the target's name still holds a file
    std::function<bool()> moveIntoPlace;  // the temporary file to the target's name; true if done
    std::function<void()> dropTemporary;  // deletes the temporary file
};

// The temporary file is deleted only while the target still holds the old contents; otherwise it
// is moved into place, and kept where it is when that fails too.
ReplaceRecovery RecoverFailedReplace(unsigned long code, const ReplaceSteps& steps);

// Why a save failed when its new contents were kept in the temporary file, naming that file.
std::string KeptTemporaryReason(const std::string& reason, const std::string& temporaryPath);

}  // namespace orv
