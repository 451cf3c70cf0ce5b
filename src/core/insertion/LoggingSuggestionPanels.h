#pragma once

#include "platform/NotchPanel.h"

namespace parlune {

// Dictionary proposals for a desktop without the panel view: each panel only writes a line when it
// is shown and when it is hidden.
class LoggingSuggestionPanels final : public ISuggestionPanelFactory {
public:
    std::unique_ptr<INotchPanel> makeSuggestionPanel(DictionarySuggestion content, NotchPanelStyle style) override;
};

}  // namespace parlune
