#pragma once

#include "platform/Clipboard.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace parlune {

class EventLoop;

// The CLIPBOARD selection of the X server, as plain text, for the main loop. The selection is
// owned and served from a thread with its own X connection, so that it is served while the main
// loop is busy, and also when a window of this very process fetches it and blocks the main loop
// while it waits. What the thread learns (the text was fetched, someone else took the clipboard)
// reaches the main loop as posted jobs. At destruction, text still owned is handed to a running
// clipboard manager, so that it outlives the process.
class X11Clipboard final : public IClipboard {
public:
    static constexpr std::chrono::milliseconds callLimit{3000};

    // Starts the clipboard thread when `hasDisplay`; otherwise nothing is read and no text is taken.
    static std::shared_ptr<X11Clipboard> open(EventLoop& loop, bool hasDisplay);
    ~X11Clipboard() override;
    X11Clipboard(const X11Clipboard&) = delete;
    X11Clipboard& operator=(const X11Clipboard&) = delete;

    Task<std::optional<std::string>> readText() override;
    std::shared_ptr<ClipboardOffer> offerText(std::string text) override;
    bool putBack(const ClipboardOffer& offer, std::string text) override;

    // Hands the text we own to the clipboard manager now (at most once).
    void handOver();

private:
    struct Worker;
    explicit X11Clipboard(EventLoop& loop) : loop_(loop) {}

    EventLoop& loop_;
    std::shared_ptr<Worker> worker_;  // none without a display
};

}  // namespace parlune
