#include "linux/media/MprisScriptRunner.h"

#include "core/text/Text.h"
#include "linux/media/MprisPlayers.h"

#include <optional>
#include <string_view>

namespace parlune {
namespace {

enum class Action { readState, pause, play };

struct Statement {
    std::string application;
    Action action;
};

std::optional<Statement> parse(std::string_view source) {
    constexpr std::string_view prefix = "tell application \"";
    if (!source.starts_with(prefix)) return std::nullopt;
    source.remove_prefix(prefix.size());
    const auto quote = source.find('"');
    if (quote == std::string_view::npos || quote == 0) return std::nullopt;
    Statement statement{std::string(source.substr(0, quote)), Action::readState};
    const std::string_view rest = source.substr(quote + 1);
    if (rest == " to return player state as string") return statement;
    if (rest == " to pause") return Statement{statement.application, Action::pause};
    if (rest == " to play") return Statement{statement.application, Action::play};
    return std::nullopt;
}

ScriptResult failure(std::string error) { return ScriptResult{std::nullopt, std::move(error)}; }

SessionBus::Call playerCall(std::string_view busName, std::string interface, std::string method, GVariant* parameters,
                            std::string replyType) {
    SessionBus::Call call;
    call.destination = std::string(busName);
    call.objectPath = std::string(mpris::objectPath);
    call.interface = std::move(interface);
    call.method = std::move(method);
    call.parameters = parameters;
    call.replyType = std::move(replyType);
    call.timeout = MprisScriptRunner::callTimeout;
    return call;
}

}  // namespace

Task<ScriptResult> MprisScriptRunner::runScript(std::string source) {
    const std::optional<Statement> statement = parse(source);
    if (!statement) {
        co_return failure("not a player script (only 'tell application \"NAME\" to return player state as string', "
                          "'… to pause' and '… to play' can be run)");
    }
    const mpris::Player* player = mpris::playerForApplication(statement->application);
    if (player == nullptr) co_return failure("no MPRIS player is known for \"" + statement->application + "\"");
    if (statement->action == Action::readState) co_return co_await readPlaybackStatus(std::string(player->busName));

    const char* method = statement->action == Action::pause ? "Pause" : "Play";
    SessionBus::Reply reply =
        co_await bus_->call(playerCall(player->busName, std::string(mpris::playerInterface), method, nullptr, "()"));
    if (!reply.ok()) co_return failure(reply.error);
    co_return ScriptResult{};
}

// Reads every player property at once and takes PlaybackStatus only when it is text, so a player
// that publishes another property with the wrong type still answers. A player that refuses GetAll
// is asked for the one property.
Task<ScriptResult> MprisScriptRunner::readPlaybackStatus(std::string busName) {
    const std::string properties = "org.freedesktop.DBus.Properties";
    const std::string interface(mpris::playerInterface);
    std::optional<std::string> status;

    SessionBus::Reply all = co_await bus_->call(
        playerCall(busName, properties, "GetAll", g_variant_new("(s)", interface.c_str()), "(a{sv})"));
    std::string error = all.error;
    if (all.ok()) {
        GVariant* dictionary = g_variant_get_child_value(all.body.get(), 0);
        if (GVariant* value = g_variant_lookup_value(dictionary, "PlaybackStatus", G_VARIANT_TYPE_STRING)) {
            status = g_variant_get_string(value, nullptr);
            g_variant_unref(value);
        }
        g_variant_unref(dictionary);
    } else if (all.remoteError) {
        SessionBus::Reply one = co_await bus_->call(playerCall(
            busName, properties, "Get", g_variant_new("(ss)", interface.c_str(), "PlaybackStatus"), "(v)"));
        if (one.ok()) {
            GVariant* value = nullptr;
            g_variant_get(one.body.get(), "(v)", &value);
            if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) status = g_variant_get_string(value, nullptr);
            g_variant_unref(value);
        }
    }
    if (status) co_return ScriptResult{toLower(*status), std::nullopt};
    co_return failure(error.empty() ? "the player publishes no PlaybackStatus text" : error);
}

}  // namespace parlune
