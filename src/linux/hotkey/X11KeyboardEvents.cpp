#include "linux/hotkey/X11KeyboardEvents.h"

#include "core/log/Log.h"
#include "core/values/KeyNames.h"
#include "core/values/Values.h"
#include "linux/hotkey/X11Keys.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <optional>
#include <utility>
#include <vector>

namespace parlune {
namespace {

// Where Alt, Super and Num Lock sit in this server's modifier mapping, and the modifier bits each
// key code sets.
struct ModifierMap {
    unsigned altMask = Mod1Mask;
    unsigned superMask = Mod4Mask;
    unsigned numLockMask = 0;
    std::array<unsigned, 256> keyMask{};

    static ModifierMap read(Display* display) {
        ModifierMap map;
        XModifierKeymap* mapping = XGetModifierMapping(display);
        if (mapping == nullptr) return map;
        unsigned alt = 0;
        unsigned super = 0;
        for (int index = 0; index < 8; ++index) {
            const unsigned mask = 1u << index;
            for (int slot = 0; slot < mapping->max_keypermod; ++slot) {
                const KeyCode code = mapping->modifiermap[index * mapping->max_keypermod + slot];
                if (code == 0) continue;
                map.keyMask[code] |= mask;
                if (index < Mod1MapIndex) continue;  // Shift, Lock and Control are fixed
                const KeySym symbol = XkbKeycodeToKeysym(display, code, 0, 0);
                if (alt == 0 && (symbol == XK_Alt_L || symbol == XK_Alt_R)) alt = mask;
                if (super == 0 && (symbol == XK_Super_L || symbol == XK_Super_R)) super = mask;
                if (map.numLockMask == 0 && symbol == XK_Num_Lock) map.numLockMask = mask;
            }
        }
        XFreeModifiermap(mapping);
        if (alt != 0) map.altMask = alt;
        if (super != 0) map.superMask = super;
        return map;
    }

    std::uint64_t flags(unsigned state) const {
        std::uint64_t flags = 0;
        if ((state & ShiftMask) != 0) flags |= ModifierFlag::shift;
        if ((state & LockMask) != 0) flags |= ModifierFlag::capsLock;
        if ((state & ControlMask) != 0) flags |= ModifierFlag::control;
        if ((state & altMask) != 0) flags |= ModifierFlag::option;
        if ((state & superMask) != 0) flags |= ModifierFlag::command;
        return flags;
    }

    // None when a modifier has no X11 counterpart (Fn).
    std::optional<unsigned> state(std::uint64_t flags) const {
        if ((flags & ModifierFlag::function) != 0) return std::nullopt;
        unsigned state = 0;
        if ((flags & ModifierFlag::shift) != 0) state |= ShiftMask;
        if ((flags & ModifierFlag::control) != 0) state |= ControlMask;
        if ((flags & ModifierFlag::option) != 0) state |= altMask;
        if ((flags & ModifierFlag::command) != 0) state |= superMask;
        return state;
    }

    std::vector<unsigned> lockVariants() const {
        std::vector<unsigned> variants{0, LockMask};
        if (numLockMask != 0) {
            variants.push_back(numLockMask);
            variants.push_back(numLockMask | LockMask);
        }
        return variants;
    }
};

struct Listener {
    bool raw = false;  // XInput2 raw events; otherwise key grabs
    std::uint64_t mask = 0;
    EventTapCallback callback = nullptr;  // taps
    void* userInfo = nullptr;
    KeyboardEvents::Handler handler;  // monitors
    bool enabled = false;
    bool served = false;
    std::vector<std::pair<unsigned, unsigned>> grabs;  // key code, modifiers
    bool grabbed = false;
    std::uint16_t keyCode = 0;
    std::uint64_t modifierFlags = 0;
};

}  // namespace

class X11KeyboardEvents::Hub : public std::enable_shared_from_this<Hub> {
public:
    explicit Hub(std::shared_ptr<X11Connection> connection)
        : connection_(std::move(connection)), display_(connection_->display()) {
        modifiers_ = ModifierMap::read(display_);
        connection_->flush();
    }

    void start() {
        subscription_ = connection_->addEventHandler([weak = weak_from_this()](XEvent& event) {
            if (auto self = weak.lock()) self->onEvent(event);
        });
    }

    std::shared_ptr<Listener> addGrabTap(const EventTapOptions& options, EventTapCallback callback, void* userInfo) {
        const auto code = x11keys::xKeyCode(options.keyCode);
        if (!code || !connection_->isAlive()) return nullptr;
        auto listener = std::make_shared<Listener>();
        listener->mask = options.eventMask;
        listener->callback = callback;
        listener->userInfo = userInfo;
        listener->keyCode = options.keyCode;
        listener->modifierFlags = options.modifierFlags;
        if (options.modifierOnly) {
            // A modifier key on its own counts whatever else is held.
            listener->grabs.emplace_back(*code, AnyModifier);
        } else {
            const auto state = modifiers_.state(options.modifierFlags);
            if (!state) return nullptr;
            for (unsigned variant : modifiers_.lockVariants()) listener->grabs.emplace_back(*code, *state | variant);
        }
        if (!grab(*listener)) return nullptr;
        listeners_.push_back(listener);
        return listener;
    }

    std::shared_ptr<Listener> addRawListener(std::uint64_t mask, EventTapCallback callback, void* userInfo,
                                             KeyboardEvents::Handler handler) {
        if (!connection_->isAlive() || !connection_->hasXInput2()) return nullptr;
        auto listener = std::make_shared<Listener>();
        listener->raw = true;
        listener->mask = mask;
        listener->callback = callback;
        listener->userInfo = userInfo;
        listener->handler = std::move(handler);
        listeners_.push_back(listener);
        if (++rawListeners_ == 1) selectRawEvents(true);
        return listener;
    }

    void remove(const std::shared_ptr<Listener>& listener) {
        if (std::erase(listeners_, listener) == 0) return;
        if (listener->raw) {
            if (--rawListeners_ == 0) selectRawEvents(false);
        } else {
            ungrab(*listener);
        }
    }

    bool grab(Listener& listener) {
        if (listener.grabbed) return true;
        const Window root = DefaultRootWindow(display_);
        const int error = connection_->checked([&] {
            for (const auto& [code, modifiers] : listener.grabs) {
                XGrabKey(display_, static_cast<int>(code), modifiers, root, False, GrabModeAsync, GrabModeAsync);
            }
        });
        if (error != 0) {
            // Whatever part was granted goes back.
            connection_->checked([&] {
                for (const auto& [code, modifiers] : listener.grabs)
                    XUngrabKey(display_, static_cast<int>(code), modifiers, root);
            });
            char text[160] = {};
            if (connection_->isAlive()) XGetErrorText(display_, error, text, sizeof text);
            log::line("⚠️ The X11 key grab for " +
                      displayName(listener.keyCode, listener.modifierFlags, std::nullopt, std::nullopt) +
                      " was refused: " + text + " — another program holds that key");
            return false;
        }
        listener.grabbed = true;
        return true;
    }

    void ungrab(Listener& listener) {
        if (!listener.grabbed) return;
        listener.grabbed = false;
        connection_->checked([&] {
            const Window root = DefaultRootWindow(display_);
            for (const auto& [code, modifiers] : listener.grabs)
                XUngrabKey(display_, static_cast<int>(code), modifiers, root);
        });
    }

private:
    void onEvent(XEvent& event) {
        switch (event.type) {
        case KeyPress:
        case KeyRelease:
            onGrabbedKey(event.xkey);
            break;
        case MappingNotify:
            XRefreshKeyboardMapping(&event.xmapping);
            if (event.xmapping.request != MappingPointer) modifiers_ = ModifierMap::read(display_);
            break;
        case GenericEvent:
            if (event.xcookie.extension == connection_->xinputOpcode() && event.xcookie.data != nullptr &&
                (event.xcookie.evtype == XI_RawKeyPress || event.xcookie.evtype == XI_RawKeyRelease)) {
                const auto& raw = *static_cast<XIRawEvent*>(event.xcookie.data);
                if (raw.detail >= 0)
                    onRawKey(static_cast<unsigned>(raw.detail), event.xcookie.evtype == XI_RawKeyPress);
            }
            break;
        default:
            break;
        }
    }

    // A key event that came through a grab: its state is the one before the event.
    void onGrabbedKey(const XKeyEvent& key) {
        if (const auto macCode = x11keys::macKeyCode(key.keycode)) {
            const bool press = key.type == KeyPress;
            unsigned state = key.state;
            KeyEventType type = press ? KeyEventType::keyDown : KeyEventType::keyUp;
            if (isModifierKeyCode(*macCode)) {
                type = KeyEventType::flagsChanged;
                state = stateAfterModifierKey(key.keycode, press, state);
            }
            deliver(false, makeEvent(type, *macCode, key.keycode, state));
        }
        // While a grab of this connection is active the server sends it no raw events (it counts them
        // as delivered with the grab), so the keys that come through the grab stand in for them: all
        // but the press that started the grab, whose raw event came before it.
        if (activeGrabKey_ == 0) {
            if (key.type == KeyPress) activeGrabKey_ = key.keycode;
            return;
        }
        const bool press = key.type == KeyPress;
        if (!press && key.keycode == activeGrabKey_) activeGrabKey_ = 0;
        if (press && key.keycode < 256 && rawDown_.test(key.keycode)) return;  // auto-repeat
        onRawKey(key.keycode, press);
    }

    // A raw key event: the modifier state is kept from the raw events themselves.
    void onRawKey(unsigned code, bool press) {
        if (code >= 256) return;
        rawDown_.set(code, press);
        const auto macCode = x11keys::macKeyCode(code);
        if (!macCode) return;
        if ((modifiers_.keyMask[code] & LockMask) != 0) capsLocked_ = capsLockIsOn();
        unsigned state = capsLocked_ ? LockMask : 0;
        for (unsigned held = 0; held < 256; ++held) {
            if (rawDown_.test(held)) state |= modifiers_.keyMask[held] & ~static_cast<unsigned>(LockMask);
        }
        const KeyEventType type = isModifierKeyCode(*macCode) ? KeyEventType::flagsChanged
                                  : press                     ? KeyEventType::keyDown
                                                              : KeyEventType::keyUp;
        deliver(true, makeEvent(type, *macCode, code, state));
    }

    void deliver(bool raw, const KeyEvent& event) {
        const auto listeners = listeners_;  // callbacks may add or remove listeners
        for (const auto& listener : listeners) {
            if (listener->raw != raw || (listener->mask & eventMaskOf(event.type)) == 0) continue;
            if (listener->callback != nullptr) {
                // A grabbed event is gone from the applications whatever the decision: X11 has no way
                // to hand a grabbed key back to the focused window.
                if (listener->enabled && listener->served) listener->callback(event.type, event, listener->userInfo);
            } else if (listener->handler) {
                listener->handler(event);
            }
        }
    }

    unsigned stateAfterModifierKey(unsigned code, bool press, unsigned state) {
        unsigned own = modifiers_.keyMask[code];
        if ((own & LockMask) != 0) {
            state = (state & ~static_cast<unsigned>(LockMask)) | (capsLockIsOn() ? LockMask : 0u);
            own &= ~static_cast<unsigned>(LockMask);
        }
        if (press) return state | own;
        state &= ~own;
        // The twin on the other side may still hold the modifier.
        if (own != 0 && anotherKeyHolds(own, code)) state |= own;
        return state;
    }

    bool anotherKeyHolds(unsigned mask, unsigned except) {
        char keys[32] = {};
        XQueryKeymap(display_, keys);
        connection_->flush();
        for (unsigned code = 8; code < 256; ++code) {
            const bool down = ((static_cast<unsigned char>(keys[code / 8]) >> (code % 8)) & 1u) != 0;
            if (down && code != except && (modifiers_.keyMask[code] & mask) != 0) return true;
        }
        return false;
    }

    bool capsLockIsOn() {
        XkbStateRec state{};
        const bool on = XkbGetState(display_, XkbUseCoreKbd, &state) == Success && (state.locked_mods & LockMask) != 0;
        connection_->flush();
        return on;
    }

    KeyEvent makeEvent(KeyEventType type, std::uint16_t macCode, unsigned code, unsigned state) const {
        KeyEvent event;
        event.type = type;
        event.keyCode = macCode;
        event.flags = modifiers_.flags(state);
        if (type == KeyEventType::flagsChanged) return event;  // modifier keys produce no text
        if (const auto unit = x11keys::fixedCodeUnit(macCode)) {
            event.text[0] = *unit;
            event.textLength = 1;
            return event;
        }
        const KeySym symbol =
            XkbKeycodeToKeysym(display_, static_cast<KeyCode>(code), 0, (state & ShiftMask) != 0 ? 1 : 0);
        if (const auto character = x11keys::keysymCharacter(symbol)) {
            if (*character < 0x10000) {
                event.text[0] = static_cast<std::uint16_t>(*character);
                event.textLength = 1;
            } else {
                event.text[0] = static_cast<std::uint16_t>(0xD800 + ((*character - 0x10000) >> 10));
                event.text[1] = static_cast<std::uint16_t>(0xDC00 + ((*character - 0x10000) & 0x3FF));
                event.textLength = 2;
            }
        }
        return event;
    }

    void selectRawEvents(bool on) {
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        if (on) {
            XISetMask(bits, XI_RawKeyPress);
            XISetMask(bits, XI_RawKeyRelease);
        }
        XIEventMask mask;
        mask.deviceid = XIAllMasterDevices;
        mask.mask_len = sizeof bits;
        mask.mask = bits;
        XISelectEvents(display_, DefaultRootWindow(display_), &mask, 1);
        if (on) {
            char keys[32] = {};
            XQueryKeymap(display_, keys);
            for (unsigned code = 0; code < 256; ++code) {
                rawDown_.set(code, ((static_cast<unsigned char>(keys[code / 8]) >> (code % 8)) & 1u) != 0);
            }
            capsLocked_ = capsLockIsOn();
        }
        connection_->flush();
    }

    std::shared_ptr<X11Connection> connection_;
    Display* display_;
    Subscription subscription_;
    ModifierMap modifiers_;
    std::vector<std::shared_ptr<Listener>> listeners_;
    int rawListeners_ = 0;
    std::bitset<256> rawDown_;
    bool capsLocked_ = false;
    unsigned activeGrabKey_ = 0;  // the key whose press started an active grab of ours
};

namespace {

class HubTap final : public EventTap {
public:
    HubTap(std::shared_ptr<X11KeyboardEvents::Hub> hub, std::shared_ptr<Listener> listener)
        : hub_(std::move(hub)), listener_(std::move(listener)) {}
    ~HubTap() override { hub_->remove(listener_); }

    void setEnabled(bool enabled) override {
        listener_->enabled = enabled;
        if (listener_->raw) return;
        // A disabled grab tap gives its key back to the applications.
        if (enabled) {
            hub_->grab(*listener_);
        } else {
            hub_->ungrab(*listener_);
        }
    }
    const std::shared_ptr<Listener>& listener() const { return listener_; }

private:
    std::shared_ptr<X11KeyboardEvents::Hub> hub_;
    std::shared_ptr<Listener> listener_;
};

class HubSource final : public RunLoopSource {
public:
    explicit HubSource(std::shared_ptr<Listener> listener) : listener_(std::move(listener)) {
        listener_->served = true;
    }
    ~HubSource() override { listener_->served = false; }

private:
    std::shared_ptr<Listener> listener_;
};

class HubMonitor final : public EventMonitor {
public:
    HubMonitor(std::shared_ptr<X11KeyboardEvents::Hub> hub, std::shared_ptr<Listener> listener)
        : hub_(std::move(hub)), listener_(std::move(listener)) {}
    ~HubMonitor() override { hub_->remove(listener_); }

private:
    std::shared_ptr<X11KeyboardEvents::Hub> hub_;
    std::shared_ptr<Listener> listener_;
};

}  // namespace

X11KeyboardEvents::X11KeyboardEvents(std::shared_ptr<X11Connection> connection) : connection_(std::move(connection)) {
    if (connection_) {
        hub_ = std::make_shared<Hub>(connection_);
        hub_->start();
    }
}

X11KeyboardEvents::~X11KeyboardEvents() = default;

std::unique_ptr<EventTap> X11KeyboardEvents::createEventTap(const EventTapOptions& options, EventTapCallback callback,
                                                            void* userInfo) {
    if (!hub_) return nullptr;
    auto listener = options.listenOnly ? hub_->addRawListener(options.eventMask, callback, userInfo, {})
                                       : hub_->addGrabTap(options, callback, userInfo);
    if (!listener) return nullptr;
    return std::make_unique<HubTap>(hub_, std::move(listener));
}

std::unique_ptr<RunLoopSource> X11KeyboardEvents::addToMainLoop(EventTap& tap) {
    auto* ours = dynamic_cast<HubTap*>(&tap);
    if (ours == nullptr) return nullptr;
    return std::make_unique<HubSource>(ours->listener());
}

std::unique_ptr<EventMonitor> X11KeyboardEvents::addGlobalMonitor(std::uint64_t mask, Handler handler) {
    if (!hub_) return nullptr;
    auto listener = hub_->addRawListener(mask, nullptr, nullptr, std::move(handler));
    if (!listener) return nullptr;
    return std::make_unique<HubMonitor>(hub_, std::move(listener));
}

std::unique_ptr<EventMonitor> X11KeyboardEvents::addLocalMonitor(std::uint64_t, Handler) { return nullptr; }

bool X11KeyboardEvents::canSee(std::uint16_t keyCode, std::uint64_t modifierFlags) const {
    return x11keys::xKeyCode(keyCode).has_value() && (modifierFlags & ModifierFlag::function) == 0;
}

}  // namespace parlune
