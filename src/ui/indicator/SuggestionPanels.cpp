#include "ui/indicator/SuggestionPanels.h"

namespace parlune {
namespace {

class ShownSuggestion final : public INotchPanel {
public:
    ShownSuggestion(std::shared_ptr<SuggestionPanel> panels, DictionarySuggestion content)
        : panels_(std::move(panels)), content_(std::move(content)) {}

    // The panel stays until hidden, whatever the duration: the countdown is the notifier's.
    void show(std::chrono::milliseconds) override {
        if (shown_) return;
        const double seconds = std::chrono::duration<double>(content_.duration).count();
        panels_->show(content_.word, seconds, content_.onTrash);
        shown_ = panels_->current();
    }
    // Hides this proposal only: a newer one on screen stays.
    void hide() override {
        if (shown_ && panels_->current() == shown_) panels_->hide();
        shown_ = nullptr;
    }

private:
    std::shared_ptr<SuggestionPanel> panels_;
    DictionarySuggestion content_;
    QPointer<NotchPanel> shown_;
};

}  // namespace

std::unique_ptr<INotchPanel> QtSuggestionPanels::makeSuggestionPanel(DictionarySuggestion content, NotchPanelStyle) {
    return std::make_unique<ShownSuggestion>(panels_, std::move(content));
}

}  // namespace parlune
