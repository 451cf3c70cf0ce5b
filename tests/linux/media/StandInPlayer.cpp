#include "StandInPlayer.h"

#include <stdexcept>

namespace parlune::testing {
namespace {

constexpr const char* objectPath = "/org/mpris/MediaPlayer2";
constexpr const char* playerInterface = "org.mpris.MediaPlayer2.Player";

}  // namespace

StandInPlayer::StandInPlayer(const std::string& busAddress, Options options)
    : options_(std::move(options)), status_(options_.playbackStatus) {
    GError* error = nullptr;
    const auto flags = static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                         G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
    connection_ = g_dbus_connection_new_for_address_sync(busAddress.c_str(), flags, nullptr, nullptr, &error);
    if (connection_ == nullptr) {
        const std::string message = error->message;
        g_error_free(error);
        throw std::runtime_error("stand-in player cannot connect: " + message);
    }
    filterId_ = g_dbus_connection_add_filter(connection_, &StandInPlayer::filter, this, nullptr);
    constexpr guint32 doNotQueue = 4;
    GVariant* reply = g_dbus_connection_call_sync(
        connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", options_.busName.c_str(), doNotQueue), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE,
        5000, nullptr, &error);
    guint32 result = 0;
    if (reply != nullptr) {
        g_variant_get(reply, "(u)", &result);
        g_variant_unref(reply);
    } else {
        g_error_free(error);
    }
    if (result != 1) {
        disconnect();
        throw std::runtime_error("stand-in player could not own " + options_.busName);
    }
}

StandInPlayer::~StandInPlayer() { disconnect(); }

void StandInPlayer::disconnect() {
    if (connection_ == nullptr) return;
    // Closing first: the filter runs on the connection's thread, which handles the close after any
    // message it is filtering, so none runs once the close has returned.
    g_dbus_connection_close_sync(connection_, nullptr, nullptr);
    g_dbus_connection_remove_filter(connection_, filterId_);
    g_object_unref(connection_);
    connection_ = nullptr;
}

std::string StandInPlayer::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

void StandInPlayer::setStatus(std::string status) {
    std::lock_guard lock(mutex_);
    status_ = std::move(status);
}

std::vector<std::string> StandInPlayer::controlCalls() const {
    std::lock_guard lock(mutex_);
    return controlCalls_;
}

GDBusMessage* StandInPlayer::filter(GDBusConnection* connection, GDBusMessage* message, gboolean incoming, gpointer self) {
    if (!incoming || g_dbus_message_get_message_type(message) != G_DBUS_MESSAGE_TYPE_METHOD_CALL ||
        g_strcmp0(g_dbus_message_get_path(message), objectPath) != 0) {
        return message;
    }
    if (GDBusMessage* reply = static_cast<StandInPlayer*>(self)->answer(message)) {
        g_dbus_connection_send_message(connection, reply, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr, nullptr);
        g_object_unref(reply);
    }
    g_object_unref(message);
    return nullptr;
}

GDBusMessage* StandInPlayer::answer(GDBusMessage* call) {
    const std::string interface = g_dbus_message_get_interface(call) != nullptr ? g_dbus_message_get_interface(call) : "";
    const std::string member = g_dbus_message_get_member(call) != nullptr ? g_dbus_message_get_member(call) : "";
    std::lock_guard lock(mutex_);

    if (interface == playerInterface) {
        controlCalls_.push_back(member);
        if (!options_.answers) return nullptr;
        if (member == "Play") {
            status_ = "Playing";
        } else if (member == "Pause") {
            if (status_ == "Playing") status_ = "Paused";
        } else if (member == "PlayPause") {
            status_ = status_ == "Playing" ? "Paused" : "Playing";
        } else if (member == "Stop") {
            status_ = "Stopped";
        } else {
            return g_dbus_message_new_method_error(call, "org.freedesktop.DBus.Error.UnknownMethod", "no such method");
        }
        return g_dbus_message_new_method_reply(call);
    }
    if (!options_.answers) return nullptr;
    if (interface == "org.freedesktop.DBus.Properties" && member == "GetAll") {
        if (options_.refusesGetAll) {
            return g_dbus_message_new_method_error(call, "org.freedesktop.DBus.Error.Failed", "GetAll is broken here");
        }
        GVariantBuilder properties;
        g_variant_builder_init(&properties, G_VARIANT_TYPE("a{sv}"));
        g_variant_builder_add(&properties, "{sv}", "PlaybackStatus", g_variant_new_string(status_.c_str()));
        g_variant_builder_add(&properties, "{sv}", "Rate", g_variant_new_double(1.0));
        g_variant_builder_add(&properties, "{sv}", "Position",
                              options_.wrongPositionType ? g_variant_new_string("83000000")
                                                         : g_variant_new_int64(83000000));
        g_variant_builder_add(&properties, "{sv}", "CanPause", g_variant_new_boolean(TRUE));
        GDBusMessage* reply = g_dbus_message_new_method_reply(call);
        g_dbus_message_set_body(reply, g_variant_new("(a{sv})", &properties));
        return reply;
    }
    if (interface == "org.freedesktop.DBus.Properties" && member == "Get") {
        const gchar* property = nullptr;
        GVariant* body = g_dbus_message_get_body(call);
        if (body != nullptr && g_variant_is_of_type(body, G_VARIANT_TYPE("(ss)"))) g_variant_get_child(body, 1, "&s", &property);
        if (g_strcmp0(property, "PlaybackStatus") != 0) {
            return g_dbus_message_new_method_error(call, "org.freedesktop.DBus.Error.UnknownProperty", "no such property");
        }
        GDBusMessage* reply = g_dbus_message_new_method_reply(call);
        g_dbus_message_set_body(reply, g_variant_new("(v)", g_variant_new_string(status_.c_str())));
        return reply;
    }
    return g_dbus_message_new_method_error(call, "org.freedesktop.DBus.Error.UnknownMethod", "no such method");
}

}  // namespace parlune::testing
