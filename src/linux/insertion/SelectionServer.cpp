#include "linux/insertion/SelectionServer.h"

#include "core/log/Log.h"
#include "core/text/Text.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>

namespace parlune {
namespace {

std::string latin1ToUtf8(const std::string& bytes) {
    std::string result;
    for (unsigned char c : bytes) result += fromCodePoint(c);
    return result;
}

std::string utf8ToLatin1(const std::string& text) {
    std::string result;
    for (char32_t c : codePoints(text)) result += c < 0x100 ? static_cast<char>(c) : '?';
    return result;
}

}  // namespace

struct SelectionServer::Read {
    Completion<std::optional<std::string>> done;
    std::vector<XId> targets;  // still to try, in order
    XId target = 0;
    XId property = 0;
    bool incremental = false;
    std::string received;
    TimerHandle limit;
};

std::shared_ptr<SelectionServer> SelectionServer::create(std::shared_ptr<X11Connection> connection) {
    std::shared_ptr<SelectionServer> clipboard(new SelectionServer(std::move(connection)));
    if (clipboard->connection_) {
        clipboard->clipboard_ = clipboard->connection_->atom("CLIPBOARD");
        clipboard->handler_ = clipboard->connection_->addHandler(
            [weakSelf = std::weak_ptr<SelectionServer>(clipboard)](const XEvent& event) {
                if (auto self = weakSelf.lock()) self->onEvent(event);
            });
    }
    return clipboard;
}

SelectionServer::~SelectionServer() {
    if (!connection_) return;
    handOver();
    for (auto& [key, transfer] : transfers_) transfer.expiry.cancel();
    if (read_) read_->limit.cancel();
    connection_->removeHandler(handler_);
}

bool SelectionServer::isTextTarget(XId target) {
    return target == connection_->atom("UTF8_STRING") || target == XA_STRING || target == connection_->atom("TEXT") ||
           target == connection_->atom("text/plain;charset=utf-8") || target == connection_->atom("text/plain");
}

// ---- Reading what another application holds ---------------------------------------------------

Task<std::optional<std::string>> SelectionServer::readText() {
    if (!connection_ || !connection_->alive()) co_return std::nullopt;
    auto self = shared_from_this();
    // One read at a time: they share the receiving property.
    auto previous = std::exchange(lastRead_, std::make_shared<AsyncEvent>());
    auto mine = lastRead_;
    if (previous) co_await *previous;

    std::optional<std::string> text;
    Display* display = connection_->display();
    const Window owner = connection_->alive() ? XGetSelectionOwner(display, clipboard_) : None;
    if (owner != None && owner == connection_->window() && owned_) {
        text = content_;
    } else if (owner != None) {
        read_ = std::make_shared<Read>();
        read_->targets = {connection_->atom("UTF8_STRING"), XA_STRING};
        read_->property = connection_->atom("_PARLUNE_CLIPBOARD");
        auto read = read_;
        requestNextTarget();
        text = co_await read->done;
    }
    mine->resolve(Done{});
    if (lastRead_ == mine) lastRead_.reset();
    co_return text;
}

void SelectionServer::requestNextTarget() {
    if (read_->targets.empty()) {
        finishRead(std::nullopt);
        return;
    }
    read_->target = read_->targets.front();
    read_->targets.erase(read_->targets.begin());
    Display* display = connection_->display();
    XDeleteProperty(display, connection_->window(), read_->property);
    XConvertSelection(display, clipboard_, read_->target, read_->property, connection_->window(), CurrentTime);
    XFlush(display);
    armReadLimit();
    // A fast answer may already sit in Xlib's queue, where the descriptor no longer shows it.
    connection_->dispatchLater();
}

void SelectionServer::armReadLimit() {
    read_->limit.cancel();
    read_->limit = connection_->loop().postAfter(readLimit, [weakSelf = weak_from_this(), read = std::weak_ptr<Read>(read_)] {
        auto self = weakSelf.lock();
        if (self && self->read_ && self->read_ == read.lock()) {
            log::line("⚠️ Clipboard: the application holding the clipboard did not hand over its text in time");
            self->finishRead(std::nullopt);
        }
    });
}

void SelectionServer::finishRead(std::optional<std::string> text) {
    auto read = std::exchange(read_, nullptr);
    if (!read) return;
    read->limit.cancel();
    if (connection_->alive()) XDeleteProperty(connection_->display(), connection_->window(), read->property);
    connection_->dispatchLater();
    read->done.resolve(std::move(text));
}

// The reply to our request sits in `property` of our window (or, incrementally, a piece of it).
void SelectionServer::takeReply(XId property) {
    Display* display = connection_->display();
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, connection_->window(), property, 0, 0x1FFFFFFF, True, AnyPropertyType, &type,
                           &format, &count, &after, &data) != Success) {
        finishRead(std::nullopt);
        return;
    }
    std::string bytes;
    if (data != nullptr) {
        if (format == 8) bytes.assign(reinterpret_cast<const char*>(data), count);
        XFree(data);
    }
    if (!read_->incremental && type == connection_->atom("INCR")) {
        read_->incremental = true;  // pieces follow, each announced by a new value of the property
        armReadLimit();
        return;
    }
    if (type == None || format != 8) {
        if (!read_->incremental) {
            requestNextTarget();
        } else {
            finishRead(std::nullopt);
        }
        return;
    }
    read_->received += bytes;
    if (read_->incremental && !bytes.empty()) {
        armReadLimit();
        return;
    }
    std::string text = read_->target == static_cast<XId>(XA_STRING) ? latin1ToUtf8(read_->received) : read_->received;
    finishRead(std::move(text));
}

// ---- Owning and serving ------------------------------------------------------------------------

void SelectionServer::settle(OfferState state) {
    if (offer_ == 0) return;
    offer_ = 0;
    if (auto onSettled = std::exchange(onSettled_, nullptr)) onSettled(state);
}

std::uint64_t SelectionServer::offerText(std::string text, std::function<void(OfferState)> onSettled) {
    settle(OfferState::replaced);  // an earlier offer still waiting is over
    if (!connection_ || !connection_->alive()) {
        onSettled(OfferState::replaced);
        return 0;
    }
    Display* display = connection_->display();
    const unsigned long time = connection_->serverTime();
    content_ = std::move(text);
    transfers_.clear();
    XSetSelectionOwner(display, clipboard_, connection_->window(), time);
    owned_ = connection_->alive() && XGetSelectionOwner(display, clipboard_) == connection_->window();
    if (!owned_) {
        log::line("⚠️ Clipboard: could not take the clipboard");
        onSettled(OfferState::replaced);
        return 0;
    }
    ownedSince_ = time;
    offer_ = ++lastOffer_;
    onSettled_ = std::move(onSettled);
    targetClient_ = connection_->clientOf(connection_->activeWindow());
    connection_->dispatchLater();
    return offer_;
}

bool SelectionServer::putBack(std::uint64_t number, std::string text) {
    // Only the latest offer, while the clipboard is still ours.
    if (!connection_ || !owned_ || number == 0 || number != lastOffer_) return false;
    offer_ = 0;
    onSettled_ = nullptr;
    content_ = std::move(text);
    transfers_.clear();
    // Owning it again from the same moment tells clipboard watchers that the content changed; the
    // server ignores it when someone else has taken the clipboard since.
    Display* display = connection_->display();
    XSetSelectionOwner(display, clipboard_, connection_->window(), ownedSince_);
    owned_ = connection_->alive() && XGetSelectionOwner(display, clipboard_) == connection_->window();
    connection_->dispatchLater();
    return owned_;
}

void SelectionServer::fetched(XId requestor) {
    if (offer_ == 0) return;
    if (targetClient_ && connection_->clientOf(requestor) != targetClient_) return;  // e.g. a clipboard manager
    settle(OfferState::fetched);
}

void SelectionServer::serve(const XEvent& event) {
    const XSelectionRequestEvent& request = event.xselectionrequest;
    Display* display = connection_->display();
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = display;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.property = None;
    reply.xselection.time = request.time;

    const XId property = request.property != None ? request.property : request.target;
    const bool current = request.time == CurrentTime || request.time >= ownedSince_;
    bool countsAsFetch = false;
    if (request.selection == clipboard_ && owned_ && current) {
        if (request.target == connection_->atom("TARGETS")) {
            const Atom targets[] = {
                static_cast<Atom>(connection_->atom("TARGETS")), static_cast<Atom>(connection_->atom("TIMESTAMP")),
                static_cast<Atom>(connection_->atom("UTF8_STRING")), XA_STRING, static_cast<Atom>(connection_->atom("TEXT")),
                static_cast<Atom>(connection_->atom("text/plain;charset=utf-8")), static_cast<Atom>(connection_->atom("text/plain")),
            };
            XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(targets), std::size(targets));
            reply.xselection.property = property;
        } else if (request.target == connection_->atom("TIMESTAMP")) {
            const long time = static_cast<long>(ownedSince_);
            XChangeProperty(display, request.requestor, property, XA_INTEGER, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(&time), 1);
            reply.xselection.property = property;
        } else if (isTextTarget(request.target)) {
            Transfer transfer;
            transfer.data = request.target == XA_STRING ? utf8ToLatin1(content_) : content_;
            transfer.type = request.target == XA_STRING ? XA_STRING
                            : (request.target == connection_->atom("TEXT") ? connection_->atom("UTF8_STRING") : request.target);
            const long maxRequest = std::max(XExtendedMaxRequestSize(display), XMaxRequestSize(display));
            const std::size_t chunk = static_cast<std::size_t>(std::max(4096L, maxRequest));  // a quarter of the limit in bytes
            if (transfer.data.size() > chunk) {
                const long size = static_cast<long>(transfer.data.size());
                XSelectInput(display, request.requestor, PropertyChangeMask);
                XChangeProperty(display, request.requestor, property, connection_->atom("INCR"), 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(&size), 1);
                transfer.countsAsFetch = true;
                transfer.expiry = connection_->loop().postAfter(
                    transferLimit, [weakSelf = weak_from_this(), key = std::make_pair(request.requestor, property)] {
                        if (auto self = weakSelf.lock()) self->transfers_.erase(key);
                    });
                transfers_[{request.requestor, property}] = std::move(transfer);
            } else {
                XChangeProperty(display, request.requestor, property, transfer.type, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(transfer.data.data()),
                                static_cast<int>(transfer.data.size()));
                countsAsFetch = true;
            }
            reply.xselection.property = property;
        }
    }
    XSendEvent(display, request.requestor, False, NoEventMask, &reply);
    // A requestor window that is gone makes these fail; nothing was delivered then.
    if (connection_->sync() && countsAsFetch) fetched(request.requestor);
}

void SelectionServer::continueTransfer(XId requestor, XId property) {
    auto found = transfers_.find({requestor, property});
    if (found == transfers_.end()) return;
    Transfer& transfer = found->second;
    Display* display = connection_->display();
    const long maxRequest = std::max(XExtendedMaxRequestSize(display), XMaxRequestSize(display));
    const std::size_t chunk = static_cast<std::size_t>(std::max(4096L, maxRequest));
    const std::size_t length = std::min(chunk, transfer.data.size() - transfer.offset);
    XChangeProperty(display, requestor, property, transfer.type, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(transfer.data.data() + transfer.offset), static_cast<int>(length));
    transfer.offset += length;
    transfer.expiry.cancel();
    if (length == 0) {
        // The empty piece ends the transfer.
        const bool counts = transfer.countsAsFetch;
        transfers_.erase(found);
        XSelectInput(display, requestor, NoEventMask);
        if (connection_->sync() && counts) fetched(requestor);
        return;
    }
    transfer.expiry = connection_->loop().postAfter(transferLimit, [weakSelf = weak_from_this(), key = std::make_pair(requestor, property)] {
        if (auto self = weakSelf.lock()) self->transfers_.erase(key);
    });
    if (!connection_->sync()) transfers_.erase({requestor, property});
}

void SelectionServer::onEvent(const XEvent& event) {
    switch (event.type) {
        case SelectionRequest:
            serve(event);
            break;
        case SelectionClear:
            if (event.xselectionclear.selection == clipboard_ && event.xselectionclear.window == connection_->window()) {
                owned_ = false;
                content_.clear();
                transfers_.clear();
                settle(OfferState::replaced);
            }
            break;
        case SelectionNotify:
            if (read_ && event.xselection.requestor == connection_->window() && event.xselection.selection == clipboard_ &&
                event.xselection.target == read_->target) {
                if (event.xselection.property == None) {
                    requestNextTarget();
                } else {
                    takeReply(event.xselection.property);
                }
            }
            break;
        case PropertyNotify:
            if (event.xproperty.window == connection_->window()) {
                if (read_ && read_->incremental && event.xproperty.atom == read_->property &&
                    event.xproperty.state == PropertyNewValue) {
                    takeReply(read_->property);
                }
            } else if (event.xproperty.state == PropertyDelete) {
                continueTransfer(event.xproperty.window, event.xproperty.atom);
            }
            break;
        default:
            break;
    }
}

// ---- Leaving ---------------------------------------------------------------------------------

void SelectionServer::handOver() {
    if (handOverDone_ || !owned_ || !connection_->alive()) return;
    handOverDone_ = true;
    Display* display = connection_->display();
    const Atom manager = static_cast<Atom>(connection_->atom("CLIPBOARD_MANAGER"));
    const Atom saveTargets = static_cast<Atom>(connection_->atom("SAVE_TARGETS"));
    if (XGetSelectionOwner(display, manager) == None) {
        log::line("⚠️ Clipboard: no clipboard manager runs; the clipboard text goes away with this process");
        return;
    }
    // This may run inside the destructor, where the usual handler no longer reaches us: serve
    // through one that does, for the time of the hand-over.
    bool saved = false;
    connection_->removeHandler(handler_);
    const auto handler = connection_->addHandler([&](const XEvent& event) {
        if (event.type == SelectionNotify && event.xselection.selection == manager && event.xselection.target == saveTargets) {
            saved = true;
        } else {
            onEvent(event);
        }
    });
    XConvertSelection(display, manager, saveTargets, None, connection_->window(), CurrentTime);
    XFlush(display);
    if (!connection_->serveUntil([&] { return saved; }, handOverLimit)) {
        log::line("⚠️ Clipboard: the clipboard manager did not take the clipboard text in time");
    }
    connection_->removeHandler(handler);
    handler_ = connection_->addHandler([weakSelf = weak_from_this()](const XEvent& event) {
        if (auto self = weakSelf.lock()) self->onEvent(event);
    });
}

}  // namespace parlune
