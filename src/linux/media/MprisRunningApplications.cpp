#include "linux/media/MprisRunningApplications.h"

#include "linux/media/MprisPlayers.h"

namespace parlune {

Task<bool> MprisRunningApplications::isAppRunning(std::string bundleID) {
    const mpris::Player* player = mpris::playerForBundle(bundleID);
    if (player == nullptr) co_return false;
    SessionBus::Call call;
    call.destination = "org.freedesktop.DBus";
    call.objectPath = "/org/freedesktop/DBus";
    call.interface = "org.freedesktop.DBus";
    call.method = "NameHasOwner";
    call.parameters = g_variant_new("(s)", std::string(player->busName).c_str());
    call.replyType = "(b)";
    SessionBus::Reply reply = co_await bus_->call(std::move(call));
    if (!reply.ok()) co_return false;
    gboolean owned = FALSE;
    g_variant_get(reply.body.get(), "(b)", &owned);
    co_return owned != FALSE;
}

}  // namespace parlune
