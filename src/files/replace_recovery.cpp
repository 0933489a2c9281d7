#include "files/replace_recovery.h"

namespace orv {

ReplaceRecovery RecoverFailedReplace(unsigned long code, const ReplaceSteps& steps) {
    const bool movedAway = code == kUnableToMoveReplacement || code == kUnableToMoveReplacement2 ||
                           !steps.targetExists();
    if (!movedAway) {
        steps.dropTemporary();
        return ReplaceRecovery::kFailed;
    }
    return steps.moveIntoPlace() ? ReplaceRecovery::kMovedIntoPlace
                                 : ReplaceRecovery::kKeptTemporary;
}

std::string KeptTemporaryReason(const std::string& reason, const std::string& temporaryPath) {
    return "the old file was moved away and the new contents could not take its name (" + reason +
           "); they are kept in " + temporaryPath + ": rename that file to the name you chose";
}

}  // namespace orv
