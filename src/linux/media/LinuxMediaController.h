#pragma once

#include "core/media/MediaController.h"

#include <memory>

namespace parlune {

// The media controller on the Linux desktop: players over MPRIS on the session bus, the shipped
// now-playing adapter run as a child process, found among `resources` (by default the program's data
// folders). Build one per application; the loop must outlive it.
std::shared_ptr<MediaController> makeLinuxMediaController(EventLoop& loop,
                                                          std::shared_ptr<BundleResources> resources = nullptr);

}  // namespace parlune
