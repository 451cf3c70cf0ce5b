#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace parlune {

// How a notch panel looks and moves.
struct NotchPanelStyle {
    bool keepVisibleWhileHovered = false;
    // The show and hide animation: a cubic timing curve through (x1, y1) and (x2, y2).
    double curveX1 = 0.16, curveY1 = 1.0, curveX2 = 0.3, curveY2 = 1.0;
    std::chrono::milliseconds animationDuration{550};
};

// A panel at the top centre of the main screen, shaped around the camera housing where there is one.
class INotchPanel {
public:
    virtual ~INotchPanel() = default;
    // Shows the panel for `duration`; zero keeps it until hide(). Showing a visible panel does nothing.
    virtual void show(std::chrono::milliseconds duration) = 0;
    // Animates the panel out; nothing when it is not shown.
    virtual void hide() = 0;
};

// What the dictionary proposal shows: the word, a countdown ring and a trash button.
struct DictionarySuggestion {
    std::string word;
    std::chrono::milliseconds duration{4000};  // the ring's countdown
    std::function<void()> onTrash;              // the user rejected the word
};

// Makes the panels of dictionary proposals; each proposal gets a fresh one.
class ISuggestionPanelFactory {
public:
    virtual ~ISuggestionPanelFactory() = default;
    virtual std::unique_ptr<INotchPanel> makeSuggestionPanel(DictionarySuggestion content, NotchPanelStyle style) = 0;
};

}  // namespace parlune
