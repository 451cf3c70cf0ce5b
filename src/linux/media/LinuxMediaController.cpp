#include "linux/media/LinuxMediaController.h"

#include "linux/media/ChildProcessRunner.h"
#include "linux/media/DataFolderResources.h"
#include "linux/media/MprisRunningApplications.h"
#include "linux/media/MprisScriptRunner.h"
#include "linux/media/SessionBus.h"

namespace parlune {

std::shared_ptr<MediaController> makeLinuxMediaController(EventLoop& loop, std::shared_ptr<BundleResources> resources) {
    auto bus = std::make_shared<SessionBus>(loop);
    MediaController::Services services;
    services.loop = &loop;
    services.runningApplications = std::make_shared<MprisRunningApplications>(bus);
    services.scriptRunner = std::make_shared<MprisScriptRunner>(bus);
    services.processRunner = std::make_shared<ChildProcessRunner>(loop);
    services.resources = resources ? std::move(resources) : DataFolderResources::forThisProgram();
    return MediaController::create(std::move(services));
}

}  // namespace parlune
