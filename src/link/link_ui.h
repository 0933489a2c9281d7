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
};

// A LinkUi that ignores everything (background checks that show nothing).
class SilentLinkUi : public LinkUi {
  public:
    void ShowMessage(const std::string&, const std::string&, MessageIcon) override {}
    void SetBusy(bool) override {}
    void SetProgress(int, bool) override {}
};

}  // namespace orv
