#pragma once

#include "platform/NotchPanel.h"
#include "ui/indicator/SuggestionPanel.h"

#include <memory>

namespace parlune {

// The auto-dictionary's proposal panels on this desktop: each one a fresh notch panel with the
// word, the countdown ring and the trash button.
class QtSuggestionPanels final : public ISuggestionPanelFactory {
public:
    explicit QtSuggestionPanels(std::shared_ptr<SuggestionPanel> panels) : panels_(std::move(panels)) {}
    std::unique_ptr<INotchPanel> makeSuggestionPanel(DictionarySuggestion content, NotchPanelStyle style) override;

private:
    std::shared_ptr<SuggestionPanel> panels_;
};

}  // namespace parlune
