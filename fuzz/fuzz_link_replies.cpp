// The replies of the unit to each exchange: the first byte chooses the button (Compare instead of
// Read, the checks around a Write, whether the port refuses to open or vanishes when the replies
// run out), the rest is the script of replies. Any reply must end the exchange in bounded time with
// the editor in a sound state: a failed read, and any Compare, leaves the record, the module types
// and the image untouched, and every message has a text.
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "image/image.h"
#include "link/comms.h"
#include "link/unit_session.h"
#include "model/defaults.h"
#include "reply_port.h"

namespace {

class CheckingUi : public orv::LinkUi {
  public:
    int messages = 0;
    void ShowMessage(const std::string& text, const std::string& title, orv::MessageIcon) override {
        ORV_FUZZ_CHECK(!text.empty(), "a message without text");
        ORV_FUZZ_CHECK(!title.empty(), "a message without a title");
        ++messages;
    }
    void SetBusy(bool) override {}
    void SetProgress(int value, bool) override {
        ORV_FUZZ_CHECK(value >= 0 && value <= 100, "progress outside 0..100");
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orv;
    if (size < 1) return 0;
    const std::uint8_t choice = data[0];
    fuzz::ReplyPort port;
    port.replies = fuzz::SplitReplies(data + 1, size - 1);
    port.vanishWhenDone = (choice & 0x40) != 0;
    if ((choice & 0xB0) == 0xB0) port.failOpen = OpenFailure::kBusy;

    StartupState state = MakeStartupState();
    Image image{};
    BuildImage(state.rec, state.moduleTypes, image);
    const StartupState before = state;
    const Image imageBefore = image;
    Comms comms(port);
    CheckingUi ui;
    UnitSession session(state.rec, state.moduleTypes, image, comms, ui);

    const auto started = std::chrono::steady_clock::now();
    switch (choice & 0x07) {
        case 0:
            session.ConnectClick();
            break;
        case 1:
            session.AutoBaudClick();
            break;
        case 2:
            if (choice & 0x08) {
                session.CompareClick();
                ORV_FUZZ_CHECK(state.rec == before.rec && state.moduleTypes == before.moduleTypes &&
                                   image == imageBefore,
                               "comparing with the unit changed the editor");
                break;
            }
            session.ReadClick();
            if (session.LastOutcome() != ClickOutcome::kDone) {
                ORV_FUZZ_CHECK(state.rec == before.rec, "a failed read changed the record");
                ORV_FUZZ_CHECK(state.moduleTypes == before.moduleTypes,
                               "a failed read changed the module types");
                ORV_FUZZ_CHECK(image == imageBefore, "a failed read changed the image");
            }
            break;
        case 3:
            session.SetWriteChecks({(choice & 0x08) != 0, (choice & 0x10) != 0});
            session.WriteClick();
            break;
        case 4:
            session.MacWriteClick();
            break;
        case 5:
            session.CalibrateClick();
            break;
        case 6:
            session.SetConnectedState();
            session.TimerTick();
            session.TimerTick();
            break;
        case 7:
            session.MacIncrementClick();
            session.ResetClick();
            break;
    }
    ORV_FUZZ_CHECK(!comms.IsOpen(), "an exchange left the port open");
    ORV_FUZZ_CHECK(!session.ExchangeRunning(), "an exchange still counts as running");
    // Every wait ends at once here, so a slow run means the code is spinning on its own.
    ORV_FUZZ_CHECK(std::chrono::steady_clock::now() - started < std::chrono::seconds(5),
                   "an exchange ran for seconds without waiting for anything");
    return 0;
}
