#include "core/session/HeadlessWorkers.h"

namespace parlune {

Task<void> HeadlessDictationManager::startRecording(std::vector<std::string>) {
    errorMessage_ = "Recording is not available without a desktop session";
    co_return;
}

Task<std::string> HeadlessDictationManager::stopRecording() { co_return std::string(); }

Task<void> HeadlessMediaController::pauseIfPlaying() { co_return; }

Task<std::string> PassThroughTextProcessor::processText(std::string text, ModelProvider, WritingStyle,
                                                        std::vector<std::string>, std::optional<std::string>) {
    co_return text;
}

}  // namespace parlune
