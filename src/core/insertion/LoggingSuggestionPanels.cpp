#include "core/insertion/LoggingSuggestionPanels.h"

#include "core/log/Log.h"

namespace parlune {
namespace {

class LoggingPanel final : public INotchPanel {
public:
    explicit LoggingPanel(DictionarySuggestion content) : content_(std::move(content)) {}
    void show(std::chrono::milliseconds) override {
        if (shown_) return;
        shown_ = true;
        log::line("📖 Suggestion panel: showing '" + content_.word + "'");
    }
    void hide() override {
        if (!shown_) return;
        shown_ = false;
        log::line("📖 Suggestion panel: hidden");
    }

private:
    DictionarySuggestion content_;
    bool shown_ = false;
};

}  // namespace

std::unique_ptr<INotchPanel> LoggingSuggestionPanels::makeSuggestionPanel(DictionarySuggestion content, NotchPanelStyle) {
    return std::make_unique<LoggingPanel>(std::move(content));
}

}  // namespace parlune
