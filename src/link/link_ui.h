// How an exchange with the unit talks to the user. The window shows real message boxes and the
// progress bar, the CLI prints, tests record. Calls come from the thread running the exchange.
#pragma once

#include <string>

namespace orv {

enum class MessageIcon { kNone, kCritical, kInformation, kWarning };

class LinkUi {
  public:
    virtual ~LinkUi() = default;
    // A modal message with an OK button; returns once the user has seen it.
    virtual void ShowMessage(const std::string& text, const std::string& title,
                             MessageIcon icon) = 0;
    // The "BUSY" label shown or hidden.
    virtual void SetBusy(bool busy) = 0;
    // The transfer progress bar: value 0..100, shown or hidden.
    virtual void SetProgress(int value, bool visible) = 0;

    // A transfer of several steps (a Write with its backup and read-back) says which one runs:
    // its name ("Backup", "Write", "Verify", "Read"), its place among them (1-based) and how many
    // blocks it moves; then BlockDone after each block of it (how many are done). Whoever shows
    // a single bar per step may ignore both.
    virtual void BeginPhase(const std::string& name, int index, int count, int blocks) {
        (void)name, (void)index, (void)count, (void)blocks;
    }
    virtual void BlockDone(int done) { (void)done; }
    // True once the user asked to stop (Cancel, Escape, closing the window). Only exchanges that
    // change nothing on the unit (a Read, Compare, the read-back after a Write, the backup before
    // it) look at it, and end at the next block; a Write runs to its end.
    virtual bool StopRequested() const { return false; }
};

// A LinkUi that ignores everything (background checks that show nothing).
class SilentLinkUi : public LinkUi {
  public:
    void ShowMessage(const std::string&, const std::string&, MessageIcon) override {}
    void SetBusy(bool) override {}
    void SetProgress(int, bool) override {}
};

}  // namespace orv
