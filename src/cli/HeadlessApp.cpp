#include "cli/HeadlessApp.h"

#include "core/log/Log.h"
#include "linux/platform/HeadlessPlatform.h"

namespace parlune::cli {

HeadlessApp::HeadlessApp() {
    log::setStream(log::Stream::standardError);
    app = AppState::create(makeHeadlessPlatform(loop));
}

}  // namespace parlune::cli
