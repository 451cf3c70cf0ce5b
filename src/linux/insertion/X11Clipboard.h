#pragma once

#include "linux/insertion/X11Connection.h"
#include "platform/Clipboard.h"

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace parlune {

// The CLIPBOARD selection, as plain text. Text we offer is served by us from the main loop for as
// long as we own the selection; an offer counts as fetched when the application that was in front
// when it was made has received the text (any application, where the server cannot tell clients
// apart). Large texts travel incrementally both ways. At destruction, text we still own is handed
// to a running clipboard manager.
class X11Clipboard final : public IClipboard, public std::enable_shared_from_this<X11Clipboard> {
public:
    static constexpr std::chrono::milliseconds readLimit{1000};       // without progress
    static constexpr std::chrono::milliseconds transferLimit{5000};   // an incremental send, without progress
    static constexpr std::chrono::milliseconds handOverLimit{2000};

    static std::shared_ptr<X11Clipboard> create(std::shared_ptr<X11Connection> connection);
    ~X11Clipboard() override;
    X11Clipboard(const X11Clipboard&) = delete;
    X11Clipboard& operator=(const X11Clipboard&) = delete;

    Task<std::optional<std::string>> readText() override;
    std::shared_ptr<ClipboardOffer> offerText(std::string text) override;
    bool putBack(const ClipboardOffer& offer, std::string text) override;

    // Hands text we own to the clipboard manager, if one runs, so it outlives this process.
    void handOver();

private:
    using XId = X11Connection::XId;
    struct Read;
    struct Transfer {
        std::string data;
        XId type = 0;
        std::size_t offset = 0;
        bool countsAsFetch = false;
        TimerHandle expiry;
    };

    explicit X11Clipboard(std::shared_ptr<X11Connection> connection) : connection_(std::move(connection)) {}
    void onEvent(const XEvent& event);
    void serve(const XEvent& event);
    void continueTransfer(XId requestor, XId property);
    void requestNextTarget();
    void takeReply(XId property);
    void finishRead(std::optional<std::string> text);
    void armReadLimit();
    void fetched(XId requestor);
    bool isTextTarget(XId target);

    std::shared_ptr<X11Connection> connection_;
    std::uint64_t handler_ = 0;
    XId clipboard_ = 0;

    // What we serve while we own the selection.
    bool owned_ = false;
    std::string content_;
    unsigned long ownedSince_ = 0;
    std::shared_ptr<ClipboardOffer> offer_;
    std::optional<XId> targetClient_;
    std::map<std::pair<XId, XId>, Transfer> transfers_;  // by requestor window and property

    std::shared_ptr<Read> read_;  // the read in progress
    std::shared_ptr<AsyncEvent> lastRead_;
    bool handOverDone_ = false;
};

}  // namespace parlune
