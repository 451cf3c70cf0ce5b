#pragma once

#include "core/insertion/AutoDictionaryNotifier.h"
#include "core/insertion/DiffTracker.h"
#include "core/insertion/TextInjector.h"
#include "core/session/PlatformBundle.h"
#include "linux/insertion/AtspiAccessibility.h"
#include "linux/insertion/X11Clipboard.h"
#include "linux/hotkey/X11Connection.h"
#include "linux/spelling/HunspellSpellChecker.h"
#include "platform/FrontmostApplication.h"

#include <memory>

namespace parlune {

// The process of the window in front, from the X server.
AtspiAccessibility::FrontmostProcess frontmostProcessOf(const std::shared_ptr<X11Connection>& x11);

// The insertion workers of the Linux desktop: the text injector over AT-SPI, the X11 clipboard and
// XTest, the correction tracker on it, the dictionary proposals and the Hunspell checker. Without a
// display or an accessibility bus they still work, reading nothing and pasting nothing.
struct InsertionDesktop {
    std::shared_ptr<X11Connection> x11;  // none without a display
    std::shared_ptr<X11Clipboard> clipboard;
    std::shared_ptr<AtspiAccessibility> accessibility;
    std::shared_ptr<TextInjector> textInjector;
    std::shared_ptr<DiffTracker> diffTracker;
    std::shared_ptr<AutoDictionaryNotifier> autoDictionaryNotifier;
    std::shared_ptr<HunspellSpellChecker> spellChecker;

    struct Options {
        // The X connection of the main loop to use (shared with the keyboard); by default its own.
        std::shared_ptr<X11Connection> connection;
        // The application in front, for whether it is a terminal by its desktop entry; without it (and
        // for windows without a known entry) by the window class.
        std::shared_ptr<FrontmostApplicationSource> frontmostApplications;
        // Where proposals are shown; by default panels that only log.
        std::shared_ptr<ISuggestionPanelFactory> suggestionPanels;
    };
    static InsertionDesktop open(EventLoop& loop, Options options);
    static InsertionDesktop open(EventLoop& loop) { return open(loop, Options{}); }

    // Puts the workers into the bundle AppState is made from.
    void install(PlatformBundle& platform) const;
};

}  // namespace parlune
