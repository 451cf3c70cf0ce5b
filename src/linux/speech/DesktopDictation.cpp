#include "linux/speech/DesktopDictation.h"

#include "linux/speech/PocketSphinxRecognizer.h"
#include "linux/speech/PulseAudioEngine.h"

namespace parlune {

std::shared_ptr<DictationManager> makeDesktopDictationManager(EventLoop& loop) {
    return DictationManager::create(loop, std::make_shared<PocketSphinxRecognizer>(), std::make_shared<PulseAudioEngine>(),
                                    std::make_shared<PulseMicrophonePermission>());
}

}  // namespace parlune
