#pragma once

#include "core/speech/DictationManager.h"

#include <memory>

namespace parlune {

// The desktop's dictation manager: the sound server's default microphone and the US-English
// recogniser, whose model starts loading at once.
std::shared_ptr<DictationManager> makeDesktopDictationManager(EventLoop& loop);

}  // namespace parlune
