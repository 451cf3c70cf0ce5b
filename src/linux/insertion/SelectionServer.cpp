#include "linux/insertion/SelectionServer.h"

#include "core/log/Log.h"
#include "core/text/Text.h"
#include "linux/insertion/X11Windows.h"

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
    std::shared_ptr<SelectionServer> server(new SelectionServer(std::move(connection)));
    server->window_ = x11::createHiddenWindow(*server->connection_);
    server->clipboard_ = server->atom("CLIPBOARD");
    server->events_ = server->connection_->addEventHandler([weakSelf = std::weak_ptr<SelectionServer>(server)](_XEvent& event) {
        if (auto self = weakSelf.lock()) self->onEvent(event);
    });
    return server;
}

SelectionServer::~SelectionServer() {
    for (auto& [key, transfer] : transfers_) transfer.expiry.cancel();
    if (read_) read_->limit.cancel();
    if (handOver_) handOver_->limit.cancel();
    if (connection_->isAlive()) XDestroyWindow(connection_->display(), window_);
}

SelectionServer::XId SelectionServer::atom(const char* name) {
    auto found = atoms_.find(name);
    if (found != atoms_.end()) return found->second;
    const XId value = x11::atom(*connection_, name);
    atoms_.emplace(name, value);
    return value;
}

bool SelectionServer::isTextTarget(XId target) {
    return target == atom("UTF8_STRING") || target == XA_STRING || target == atom("TEXT") ||
           target == atom("text/plain;charset=utf-8") || target == atom("text/plain");
}

bool SelectionServer::ownsClipboard() {
    return connection_->isAlive() && XGetSelectionOwner(connection_->display(), clipboard_) == window_;
}

// ---- Reading what another application holds ---------------------------------------------------

Task<std::optional<std::string>> SelectionServer::readText() {
    if (!connection_->isAlive()) co_return std::nullopt;
    auto self = shared_from_this();
    // One read at a time: they share the receiving property.
    auto previous = std::exchange(lastRead_, std::make_shared<AsyncEvent>());
    auto mine = lastRead_;
    if (previous) co_await *previous;

    std::optional<std::string> text;
    const Window owner = connection_->isAlive() ? XGetSelectionOwner(connection_->display(), clipboard_) : None;
    if (owner != None && owner == window_ && owned_) {
        text = content_;
    } else if (owner != None) {
        read_ = std::make_shared<Read>();
        read_->targets = {atom("UTF8_STRING"), XA_STRING};
        read_->property = atom("_PARLUNE_CLIPBOARD");
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
    XDeleteProperty(display, window_, read_->property);
    XConvertSelection(display, clipboard_, read_->target, read_->property, window_, CurrentTime);
    armReadLimit();
    // A fast answer may already sit in Xlib's queue, where the descriptor no longer shows it.
    connection_->flush();
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
    if (connection_->isAlive()) XDeleteProperty(connection_->display(), window_, read->property);
    connection_->flush();
    read->done.resolve(std::move(text));
}

// The reply to our request sits in `property` of our window (or, incrementally, a piece of it).
void SelectionServer::takeReply(XId property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(connection_->display(), window_, property, 0, 0x1FFFFFFF, True, AnyPropertyType, &type, &format,
                           &count, &after, &data) != Success) {
        finishRead(std::nullopt);
        return;
    }
    std::string bytes;
    if (data != nullptr) {
        if (format == 8) bytes.assign(reinterpret_cast<const char*>(data), count);
        XFree(data);
    }
    if (!read_->incremental && type == atom("INCR")) {
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
    std::string text = read_->target == XA_STRING ? latin1ToUtf8(read_->received) : read_->received;
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
    if (!connection_->isAlive()) {
        onSettled(OfferState::replaced);
        return 0;
    }
    const unsigned long time = x11::serverTime(*connection_, window_);
    content_ = std::move(text);
    transfers_.clear();
    handedOver_ = false;
    XSetSelectionOwner(connection_->display(), clipboard_, window_, time);
    owned_ = ownsClipboard();
    connection_->flush();
    if (!owned_) {
        log::line("⚠️ Clipboard: could not take the clipboard");
        onSettled(OfferState::replaced);
        return 0;
    }
    ownedSince_ = time;
    offer_ = ++lastOffer_;
    onSettled_ = std::move(onSettled);
    targetClient_ = x11::clientOf(*connection_, x11::activeWindow(*connection_));
    return offer_;
}

bool SelectionServer::putBack(std::uint64_t number, std::string text) {
    // Only the latest offer, while the clipboard is still ours.
    if (!owned_ || number == 0 || number != lastOffer_) return false;
    offer_ = 0;
    onSettled_ = nullptr;
    content_ = std::move(text);
    transfers_.clear();
    // Owning it again from the same moment tells clipboard watchers that the content changed; the
    // server ignores it when someone else has taken the clipboard since.
    XSetSelectionOwner(connection_->display(), clipboard_, window_, ownedSince_);
    owned_ = ownsClipboard();
    connection_->flush();
    return owned_;
}

void SelectionServer::fetched(XId requestor) {
    if (offer_ == 0) return;
    if (targetClient_ && x11::clientOf(*connection_, requestor) != targetClient_) return;  // e.g. a clipboard manager
    settle(OfferState::fetched);
}

std::size_t SelectionServer::chunkSize() {
    // A quarter of the largest request, in bytes.
    Display* display = connection_->display();
    return static_cast<std::size_t>(std::max({4096L, XExtendedMaxRequestSize(display), XMaxRequestSize(display)}));
}

void SelectionServer::expireTransferLater(XId requestor, XId property) {
    transfers_[{requestor, property}].expiry =
        connection_->loop().postAfter(transferLimit, [weakSelf = weak_from_this(), key = std::make_pair(requestor, property)] {
            if (auto self = weakSelf.lock()) self->transfers_.erase(key);
        });
}

void SelectionServer::serve(const _XEvent& event) {
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
    // A requestor window that is gone makes these requests fail; nothing was delivered then.
    const int error = connection_->checked([&] {
        if (request.selection != clipboard_ || !owned_ || !current) {
            XSendEvent(display, request.requestor, False, NoEventMask, &reply);
            return;
        }
        if (request.target == atom("TARGETS")) {
            const Atom targets[] = {atom("TARGETS"), atom("TIMESTAMP"), atom("UTF8_STRING"), XA_STRING, atom("TEXT"),
                                    atom("text/plain;charset=utf-8"), atom("text/plain")};
            XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(targets), std::size(targets));
            reply.xselection.property = property;
        } else if (request.target == atom("TIMESTAMP")) {
            const long time = static_cast<long>(ownedSince_);
            XChangeProperty(display, request.requestor, property, XA_INTEGER, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(&time), 1);
            reply.xselection.property = property;
        } else if (isTextTarget(request.target)) {
            Transfer transfer;
            transfer.data = request.target == XA_STRING ? utf8ToLatin1(content_) : content_;
            transfer.type = request.target == XA_STRING ? XA_STRING
                            : request.target == atom("TEXT") ? atom("UTF8_STRING")
                                                             : request.target;
            if (transfer.data.size() > chunkSize()) {
                // Too large for one request: announce the size, then send pieces as the requestor
                // deletes each one.
                const long size = static_cast<long>(transfer.data.size());
                XSelectInput(display, request.requestor, PropertyChangeMask);
                XChangeProperty(display, request.requestor, property, atom("INCR"), 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(&size), 1);
                transfer.countsAsFetch = true;
                transfers_[{request.requestor, property}] = std::move(transfer);
                expireTransferLater(request.requestor, property);
            } else {
                XChangeProperty(display, request.requestor, property, transfer.type, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(transfer.data.data()),
                                static_cast<int>(transfer.data.size()));
                countsAsFetch = true;
            }
            reply.xselection.property = property;
        }
        XSendEvent(display, request.requestor, False, NoEventMask, &reply);
    });
    if (error == 0 && countsAsFetch) fetched(request.requestor);
}

void SelectionServer::continueTransfer(XId requestor, XId property) {
    auto found = transfers_.find({requestor, property});
    if (found == transfers_.end()) return;
    Transfer& transfer = found->second;
    transfer.expiry.cancel();
    const std::size_t length = std::min(chunkSize(), transfer.data.size() - transfer.offset);
    Display* display = connection_->display();
    const int error = connection_->checked([&] {
        XChangeProperty(display, requestor, property, transfer.type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(transfer.data.data() + transfer.offset), static_cast<int>(length));
        if (length == 0) XSelectInput(display, requestor, NoEventMask);
    });
    transfer.offset += length;
    if (error != 0 || length == 0) {
        // The empty piece ends the transfer.
        const bool counts = error == 0 && transfer.countsAsFetch;
        transfers_.erase(found);
        if (counts) fetched(requestor);
        return;
    }
    expireTransferLater(requestor, property);
}

void SelectionServer::onEvent(_XEvent& event) {
    switch (event.type) {
        case SelectionRequest:
            serve(event);
            break;
        case SelectionClear:
            if (event.xselectionclear.selection == clipboard_ && event.xselectionclear.window == window_) {
                owned_ = false;
                content_.clear();
                transfers_.clear();
                settle(OfferState::replaced);
            }
            break;
        case SelectionNotify:
            if (handOver_ && event.xselection.selection == atom("CLIPBOARD_MANAGER")) {
                auto finished = std::exchange(handOver_, std::nullopt);
                finished->limit.cancel();
                finished->done();
            } else if (read_ && event.xselection.requestor == window_ && event.xselection.selection == clipboard_ &&
                       event.xselection.target == read_->target) {
                if (event.xselection.property == None) {
                    requestNextTarget();
                } else {
                    takeReply(event.xselection.property);
                }
            }
            break;
        case PropertyNotify:
            if (event.xproperty.window == window_) {
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

void SelectionServer::handOver(std::function<void()> done) {
    if (handedOver_ || !owned_ || !connection_->isAlive()) {
        done();
        return;
    }
    handedOver_ = true;
    if (XGetSelectionOwner(connection_->display(), atom("CLIPBOARD_MANAGER")) == None) {
        log::line("⚠️ Clipboard: no clipboard manager runs; the clipboard text goes away with this process");
        done();
        return;
    }
    // The manager asks for our targets and our text (served as usual), then answers this request.
    XConvertSelection(connection_->display(), atom("CLIPBOARD_MANAGER"), atom("SAVE_TARGETS"), None, window_, CurrentTime);
    connection_->flush();
    handOver_ = HandOver{std::move(done), connection_->loop().postAfter(handOverLimit, [weakSelf = weak_from_this()] {
                             auto self = weakSelf.lock();
                             if (!self || !self->handOver_) return;
                             log::line("⚠️ Clipboard: the clipboard manager did not take the clipboard text in time");
                             std::exchange(self->handOver_, std::nullopt)->done();
                         })};
}

}  // namespace parlune
