#include "core/insertion/TextInjector.h"

#include "core/text/Text.h"

namespace parlune {

std::shared_ptr<TextInjector> TextInjector::create(EventLoop& loop, Services services) {
    return std::shared_ptr<TextInjector>(new TextInjector(loop, std::move(services)));
}

std::shared_ptr<AccessibleElement> TextInjector::getFocusedElement() {
    return services_.accessibility->focusedElement();
}

std::optional<std::string> TextInjector::readText(const AccessibleElement& element) {
    return services_.accessibility->value(element);
}

std::optional<std::string> TextInjector::readPrecedingText() {
    auto element = getFocusedElement();
    if (!element) return std::nullopt;
    auto value = readText(*element);
    if (!value) return std::nullopt;
    return textBefore(*value, services_.accessibility->insertionPoint(*element));
}

std::optional<std::string> TextInjector::textBefore(const std::string& value, std::optional<std::int64_t> location) {
    if (value.empty()) return std::nullopt;
    if (!location || *location < 0) return value;
    if (*location == 0) return std::nullopt;
    const std::u16string units = toUtf16(value);
    if (static_cast<std::uint64_t>(*location) > units.size()) return value;
    return fromUtf16(std::u16string_view(units).substr(0, static_cast<std::size_t>(*location)));
}

void TextInjector::injectTextViaPasteboard(const std::string& text) {
    if (text.empty()) return;
    spawn(loop_, insert(text));
}

Task<void> TextInjector::insert(std::string text) {
    if (text.empty()) co_return;
    auto self = shared_from_this();  // kept alive until the clipboard is settled

    auto previous = std::exchange(lastInsertion_, std::make_shared<AsyncEvent>());
    auto mine = lastInsertion_;
    if (previous) co_await *previous;

    std::optional<std::string> saved = co_await services_.clipboard->readText();
    auto offer = services_.clipboard->offerText(text);

    co_await waitForModifiersUp();
    const bool terminal = services_.terminalDetector && services_.terminalDetector->frontmostIsTerminalEmulator();
    services_.keyboard->sendPaste(terminal ? PasteChord::controlShiftV : PasteChord::controlV);

    co_await waitUntilSettled(offer);
    if (saved) services_.clipboard->putBack(*offer, std::move(*saved));

    mine->resolve(Done{});
    if (lastInsertion_ == mine) lastInsertion_.reset();
}

Task<void> TextInjector::waitForModifiersUp() {
    const TimePoint deadline = loop_.now() + modifierWaitLimit;
    while (services_.keyboard->modifiersHeld() && loop_.now() < deadline) {
        co_await sleepFor(modifierPollInterval);
    }
}

Task<void> TextInjector::waitUntilSettled(const std::shared_ptr<ClipboardOffer>& offer) {
    AsyncEvent settled;
    offer->onSettled([settled]() mutable { settled.resolve(Done{}); });
    const TimerHandle limit = loop_.postAfter(putBackLimit, [settled]() mutable { settled.resolve(Done{}); });
    co_await settled;
    limit.cancel();
    offer->onSettled([] {});
}

}  // namespace parlune
