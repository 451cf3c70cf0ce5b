#include "linux/insertion/AtspiAccessibility.h"

#include "core/log/Log.h"
#include "core/text/Text.h"

#include <atspi/atspi.h>

#include <cstdlib>
#include <unistd.h>
#include <mutex>

namespace parlune {
namespace {

struct AtspiElement final : AccessibleElement {
    explicit AtspiElement(AtspiAccessible* adopted) : object(adopted) {}
    ~AtspiElement() override { g_object_unref(object); }
    AtspiElement(const AtspiElement&) = delete;
    AtspiElement& operator=(const AtspiElement&) = delete;
    AtspiAccessible* object;
};

// Owns a GObject reference (or nothing).
template <class T>
struct Ref {
    explicit Ref(T* adopted = nullptr) : object(adopted) {}
    ~Ref() {
        if (object != nullptr) g_object_unref(object);
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    explicit operator bool() const { return object != nullptr; }
    T* object;
};

// Collects a call's error; a failed call counts as unreadable.
struct Error {
    ~Error() {
        if (error != nullptr) g_error_free(error);
    }
    GError** out() { return &error; }
    bool failed() const { return error != nullptr; }
    GError* error = nullptr;
};

std::optional<std::string> takeString(gchar* text) {
    if (text == nullptr) return std::nullopt;
    std::string result(text);
    g_free(text);
    return result;
}

// Signals arrive on the accessibility bus whether we want them or not; dispatching them keeps
// the connection's queue short. Never from inside a dispatch of the same context (a GUI loop).
void drainBusMessages() {
    if (g_main_depth() > 0) return;
    for (int i = 0; i < 1000 && g_main_context_pending(nullptr); ++i) g_main_context_iteration(nullptr, FALSE);
}

bool hasState(AtspiAccessible* object, AtspiStateType state) {
    Ref<AtspiStateSet> states(atspi_accessible_get_state_set(object));
    return states && atspi_state_set_contains(states.object, state);
}

AtspiAccessible* childAt(AtspiAccessible* object, int index) {
    Error error;
    AtspiAccessible* child = atspi_accessible_get_child_at_index(object, index, error.out());
    if (error.failed() && child != nullptr) {
        g_object_unref(child);
        return nullptr;
    }
    return child;
}

int childCount(AtspiAccessible* object) {
    Error error;
    const int count = atspi_accessible_get_child_count(object, error.out());
    return error.failed() ? 0 : count;
}

// Depth-first search for the focused object below `object`, skipping what is not showing.
AtspiAccessible* findFocused(AtspiAccessible* object, int& budget) {
    if (--budget < 0) return nullptr;
    Ref<AtspiStateSet> states(atspi_accessible_get_state_set(object));
    if (!states) return nullptr;
    if (atspi_state_set_contains(states.object, ATSPI_STATE_FOCUSED)) return static_cast<AtspiAccessible*>(g_object_ref(object));
    if (!atspi_state_set_contains(states.object, ATSPI_STATE_SHOWING) ||
        atspi_state_set_contains(states.object, ATSPI_STATE_MANAGES_DESCENDANTS) ||
        atspi_state_set_contains(states.object, ATSPI_STATE_DEFUNCT)) {
        return nullptr;
    }
    const int count = childCount(object);
    for (int i = 0; i < count && budget > 0; ++i) {
        Ref<AtspiAccessible> child(childAt(object, i));
        if (!child) continue;
        if (AtspiAccessible* found = findFocused(child.object, budget)) return found;
    }
    return nullptr;
}

// The Text interface of a field whose text may be read (not a password field).
AtspiText* readableText(const AccessibleElement& element) {
    AtspiAccessible* object = static_cast<const AtspiElement&>(element).object;
    Error error;
    if (atspi_accessible_get_role(object, error.out()) == ATSPI_ROLE_PASSWORD_TEXT || error.failed()) return nullptr;
    return atspi_accessible_get_text_iface(object);
}

std::optional<std::string> textRange(AtspiText* text, int start, int end) {
    Error error;
    auto result = takeString(atspi_text_get_text(text, start, end, error.out()));
    if (error.failed()) return std::nullopt;
    return result;
}

}  // namespace

std::shared_ptr<AtspiAccessibility> AtspiAccessibility::create(FrontmostProcess frontmostProcess) {
    static std::once_flag initialised;
    static bool available = false;
    std::call_once(initialised, [] {
        const char* display = std::getenv("DISPLAY");
        const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        // Without either, the library has no way to find the accessibility bus.
        if ((display == nullptr || *display == '\0') && (bus == nullptr || *bus == '\0')) return;
        atspi_init();
        atspi_set_timeout(replyTimeoutMs, replyTimeoutMs * 2);
        available = atspi_get_a11y_bus() != nullptr;
    });
    if (!available) log::line("⚠️ Accessibility: the AT-SPI bus cannot be reached; focused fields cannot be read");
    return std::shared_ptr<AtspiAccessibility>(new AtspiAccessibility(available, std::move(frontmostProcess)));
}

std::shared_ptr<AccessibleElement> AtspiAccessibility::focusedElement() {
    if (!available_) return nullptr;
    drainBusMessages();
    Ref<AtspiAccessible> desktop(atspi_get_desktop(0));
    if (!desktop) return nullptr;
    int budget = maxVisitedObjects;
    const std::optional<long> frontmost = frontmostProcess_ ? frontmostProcess_() : std::nullopt;
    // Toolkits update their states at their own pace: while the focus moves, two applications may
    // both claim it. The one whose window is in front wins, then windows marked active, then any.
    enum class Pass { frontmostApplication, activeWindows, showingWindows };
    for (Pass pass : {Pass::frontmostApplication, Pass::activeWindows, Pass::showingWindows}) {
        if (pass == Pass::frontmostApplication && !frontmost) continue;
        const int applications = childCount(desktop.object);
        for (int a = 0; a < applications && budget > 0; ++a) {
            Ref<AtspiAccessible> application(childAt(desktop.object, a));
            if (!application) continue;
            Error error;
            const long pid = atspi_accessible_get_process_id(application.object, error.out());
            // Our own windows would have to answer these blocking calls themselves, on this thread.
            if (error.failed() || pid == static_cast<long>(::getpid())) continue;
            if (pass == Pass::frontmostApplication && pid != *frontmost) continue;
            const int windows = childCount(application.object);
            for (int w = 0; w < windows && budget > 0; ++w) {
                Ref<AtspiAccessible> window(childAt(application.object, w));
                if (!window) continue;
                const bool active = hasState(window.object, ATSPI_STATE_ACTIVE);
                if ((pass == Pass::activeWindows && !active) || (pass == Pass::showingWindows && active)) continue;
                if (AtspiAccessible* found = findFocused(window.object, budget)) return std::make_shared<AtspiElement>(found);
            }
        }
    }
    return nullptr;
}

std::optional<std::string> AtspiAccessibility::value(const AccessibleElement& element) {
    if (!available_) return std::nullopt;
    drainBusMessages();
    Ref<AtspiText> text(readableText(element));
    if (!text) return std::nullopt;
    Error error;
    const int count = atspi_text_get_character_count(text.object, error.out());
    if (error.failed() || count < 0) return std::nullopt;
    return textRange(text.object, 0, count);
}

std::optional<std::int64_t> AtspiAccessibility::insertionPoint(const AccessibleElement& element) {
    if (!available_) return std::nullopt;
    Ref<AtspiText> text(readableText(element));
    if (!text) return std::nullopt;
    Error countError;
    const int count = atspi_text_get_character_count(text.object, countError.out());
    if (countError.failed()) return std::nullopt;

    int offset = 0;
    Error selectionError;
    const int selections = atspi_text_get_n_selections(text.object, selectionError.out());
    if (selectionError.failed()) return std::nullopt;
    if (selections > 0) {
        Error rangeError;
        AtspiRange* range = atspi_text_get_selection(text.object, 0, rangeError.out());
        if (rangeError.failed() || range == nullptr) {
            g_free(range);
            return std::nullopt;
        }
        offset = std::min(range->start_offset, range->end_offset);
        g_free(range);
    } else {
        Error caretError;
        offset = atspi_text_get_caret_offset(text.object, caretError.out());
        if (caretError.failed()) return std::nullopt;
    }
    if (offset <= 0) return offset;
    if (offset > count) {
        auto whole = textRange(text.object, 0, count);
        if (!whole) return std::nullopt;
        return static_cast<std::int64_t>(utf16Length(*whole)) + (offset - count);
    }
    auto before = textRange(text.object, 0, offset);
    if (!before) return std::nullopt;
    return static_cast<std::int64_t>(utf16Length(*before));
}

std::optional<std::string> AtspiAccessibility::applicationName(const AccessibleElement& element) {
    if (!available_) return std::nullopt;
    Error error;
    Ref<AtspiAccessible> application(
        atspi_accessible_get_application(static_cast<const AtspiElement&>(element).object, error.out()));
    if (error.failed() || !application) return std::nullopt;
    Error nameError;
    auto name = takeString(atspi_accessible_get_name(application.object, nameError.out()));
    if (nameError.failed()) return std::nullopt;
    return name;
}

}  // namespace parlune
