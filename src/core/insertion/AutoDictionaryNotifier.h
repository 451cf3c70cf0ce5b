#pragma once

#include "core/runtime/EventLoop.h"
#include "core/runtime/Task.h"
#include "core/session/Workers.h"
#include "platform/NotchPanel.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace parlune {

// Shows a proposed dictionary word in a panel at the top of the screen and accepts it after four
// seconds unless the user rejects it, a new proposal replaces it, or a dictation starts.
class AutoDictionaryNotifier final : public IAutoDictionaryNotifier,
                                     public std::enable_shared_from_this<AutoDictionaryNotifier> {
public:
    static constexpr std::chrono::milliseconds autoAcceptDelay{4000};

    static std::shared_ptr<AutoDictionaryNotifier> create(EventLoop& loop, std::shared_ptr<ISuggestionPanelFactory> panels);
    ~AutoDictionaryNotifier() override;
    AutoDictionaryNotifier(const AutoDictionaryNotifier&) = delete;
    AutoDictionaryNotifier& operator=(const AutoDictionaryNotifier&) = delete;

    void suggest(const std::string& word, std::function<void()> onAccept) override;
    void dismiss() override;

    bool isProposing() const { return notch_ != nullptr; }
    static NotchPanelStyle panelStyle();

private:
    AutoDictionaryNotifier(EventLoop& loop, std::shared_ptr<ISuggestionPanelFactory> panels)
        : loop_(loop), panels_(std::move(panels)) {}
    static Task<void> runAutoAdd(std::weak_ptr<AutoDictionaryNotifier> weakSelf, std::string word,
                                 std::function<void()> onAccept);

    EventLoop& loop_;
    std::shared_ptr<ISuggestionPanelFactory> panels_;
    std::unique_ptr<INotchPanel> notch_;
    TaskHandle autoAddTask_;
};

}  // namespace parlune
