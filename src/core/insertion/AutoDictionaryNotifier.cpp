#include "core/insertion/AutoDictionaryNotifier.h"

#include "core/log/Log.h"

namespace parlune {

std::shared_ptr<AutoDictionaryNotifier> AutoDictionaryNotifier::create(EventLoop& loop,
                                                                       std::shared_ptr<ISuggestionPanelFactory> panels) {
    return std::shared_ptr<AutoDictionaryNotifier>(new AutoDictionaryNotifier(loop, std::move(panels)));
}

AutoDictionaryNotifier::~AutoDictionaryNotifier() { autoAddTask_.cancel(); }

NotchPanelStyle AutoDictionaryNotifier::panelStyle() {
    NotchPanelStyle style;
    style.keepVisibleWhileHovered = false;
    style.curveX1 = 0.16;
    style.curveY1 = 1.0;
    style.curveX2 = 0.3;
    style.curveY2 = 1.0;
    style.animationDuration = std::chrono::milliseconds(550);
    return style;
}

void AutoDictionaryNotifier::suggest(const std::string& word, std::function<void()> onAccept) {
    dismiss();
    std::weak_ptr<AutoDictionaryNotifier> weakSelf = weak_from_this();
    DictionarySuggestion content{word, autoAcceptDelay, [weakSelf, word] {
                                     log::line("📖 AutoDictionary: '" + word + "' rejected by user");
                                     if (auto self = weakSelf.lock()) self->dismiss();
                                 }};
    notch_ = panels_->makeSuggestionPanel(std::move(content), panelStyle());
    notch_->show(std::chrono::milliseconds(0));
    log::line("📖 AutoDictionary: suggesting '" + word + "' (auto-adds in 4s)");
    autoAddTask_ = spawn(loop_, runAutoAdd(weakSelf, word, std::move(onAccept)));
}

Task<void> AutoDictionaryNotifier::runAutoAdd(std::weak_ptr<AutoDictionaryNotifier> weakSelf, std::string word,
                                              std::function<void()> onAccept) {
    const TaskContext task = co_await thisTask();
    if (!co_await sleepFor(autoAcceptDelay) || task.isCancelled()) co_return;
    onAccept();
    log::line("📖 AutoDictionary: auto-added '" + word + "' to dictionary");
    if (auto self = weakSelf.lock()) self->dismiss();
}

void AutoDictionaryNotifier::dismiss() {
    autoAddTask_.cancel();
    autoAddTask_ = TaskHandle();
    if (!notch_) return;
    // The panel may be running the trash button's callback right now: it goes away on a later job.
    std::shared_ptr<INotchPanel> notch = std::move(notch_);
    notch->hide();
    loop_.post([notch] {});
}

}  // namespace parlune
