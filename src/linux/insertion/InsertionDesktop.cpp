#include "linux/insertion/InsertionDesktop.h"

#include "core/insertion/LoggingSuggestionPanels.h"
#include "linux/insertion/X11Windows.h"
#include "linux/insertion/XTestSyntheticKeyboard.h"

namespace parlune {

AtspiAccessibility::FrontmostProcess frontmostProcessOf(const std::shared_ptr<X11Connection>& x11) {
    if (!x11) return {};
    return [weakX11 = std::weak_ptr<X11Connection>(x11)]() -> std::optional<long> {
        auto connection = weakX11.lock();
        return connection ? x11::processOf(*connection, x11::activeWindow(*connection)) : std::nullopt;
    };
}

InsertionDesktop InsertionDesktop::open(EventLoop& loop, Options options) {
    InsertionDesktop desktop;
    desktop.x11 = options.connection ? options.connection : x11::openForInsertion(loop);
    desktop.clipboard = X11Clipboard::open(loop, desktop.x11 != nullptr);
    desktop.accessibility = AtspiAccessibility::create(frontmostProcessOf(desktop.x11));
    auto keyboard = std::make_shared<XTestSyntheticKeyboard>(desktop.x11);
    auto terminals = std::make_shared<FrontmostTerminalDetector>(options.frontmostApplications,
                                                                  std::make_shared<WindowClassTerminalDetector>(desktop.x11));
    desktop.textInjector = TextInjector::create(loop, {desktop.accessibility, desktop.clipboard, keyboard, terminals});
    desktop.diffTracker = DiffTracker::create(loop, desktop.textInjector);
    auto panels = options.suggestionPanels ? options.suggestionPanels : std::make_shared<LoggingSuggestionPanels>();
    desktop.autoDictionaryNotifier = AutoDictionaryNotifier::create(loop, panels);
    desktop.spellChecker = std::make_shared<HunspellSpellChecker>();
    return desktop;
}

void InsertionDesktop::install(PlatformBundle& platform) const {
    platform.textInjector = textInjector;
    platform.diffTracker = diffTracker;
    platform.autoDictionaryNotifier = autoDictionaryNotifier;
    platform.spellChecker = spellChecker;
}

}  // namespace parlune
