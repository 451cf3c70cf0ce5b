#pragma once

#include "linux/hotkey/X11Connection.h"
#include "platform/Clipboard.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace parlune {

// Owner and reader of the CLIPBOARD selection, as plain text, on the loop that serves its X
// connection. Text we offer is served for as long as we own the selection; an offer counts as
// fetched when the application that was in front when it was made has received the text (any
// application, where the X server cannot tell clients apart). Large texts travel incrementally
// both ways.
class SelectionServer final : public std::enable_shared_from_this<SelectionServer> {
public:
    using OfferState = ClipboardOffer::State;
    using XId = unsigned long;

    static constexpr std::chrono::milliseconds readLimit{1000};      // without progress
    static constexpr std::chrono::milliseconds transferLimit{5000};  // an incremental send, without progress
    static constexpr std::chrono::milliseconds handOverLimit{2000};

    static std::shared_ptr<SelectionServer> create(std::shared_ptr<X11Connection> connection);
    ~SelectionServer();
    SelectionServer(const SelectionServer&) = delete;
    SelectionServer& operator=(const SelectionServer&) = delete;

    // The plain text on the clipboard; none when it holds none or it does not come in time.
    Task<std::optional<std::string>> readText();
    // Takes the clipboard with `text`; `onSettled` hears once that the application in front has
    // fetched it or that someone else took the clipboard. Returns the offer's number, 0 when the
    // clipboard could not be taken (`onSettled` has then heard `replaced`).
    std::uint64_t offerText(std::string text, std::function<void(OfferState)> onSettled);
    // Serves `text` instead of the text of offer `number`, unless the clipboard changed hands since.
    bool putBack(std::uint64_t number, std::string text);
    // Hands text we own to the clipboard manager, if one runs, so that it outlives this process;
    // `done` runs once the manager has taken it, or at once or after the time limit when it cannot.
    void handOver(std::function<void()> done);

private:
    struct Read;
    struct Transfer {
        std::string data;
        XId type = 0;
        std::size_t offset = 0;
        bool countsAsFetch = false;
        TimerHandle expiry;
    };

    explicit SelectionServer(std::shared_ptr<X11Connection> connection) : connection_(std::move(connection)) {}
    XId atom(const char* name);
    void settle(OfferState state);
    void onEvent(_XEvent& event);
    void serve(const _XEvent& event);
    void continueTransfer(XId requestor, XId property);
    void expireTransferLater(XId requestor, XId property);
    std::size_t chunkSize();
    void requestNextTarget();
    void takeReply(XId property);
    void finishRead(std::optional<std::string> text);
    void armReadLimit();
    void fetched(XId requestor);
    bool isTextTarget(XId target);
    bool ownsClipboard();

    std::shared_ptr<X11Connection> connection_;
    Subscription events_;
    XId window_ = 0;
    XId clipboard_ = 0;
    std::map<std::string, XId> atoms_;

    // What we serve while we own the selection.
    bool owned_ = false;
    std::string content_;
    unsigned long ownedSince_ = 0;
    std::uint64_t offer_ = 0;  // the offer still waiting to be settled, 0 for none
    std::uint64_t lastOffer_ = 0;
    std::function<void(OfferState)> onSettled_;
    std::optional<XId> targetClient_;
    std::map<std::pair<XId, XId>, Transfer> transfers_;  // by requestor window and property

    std::shared_ptr<Read> read_;  // the read in progress
    std::shared_ptr<AsyncEvent> lastRead_;

    struct HandOver {
        std::function<void()> done;
        TimerHandle limit;
    };
    std::optional<HandOver> handOver_;
    bool handedOver_ = false;
};

}  // namespace parlune
