#include "linux/media/SessionBus.h"

#include "core/log/Log.h"

#include <gio/gio.h>

#include <atomic>
#include <thread>

namespace parlune {

struct SessionBus::Shared {
    EventLoop* loop = nullptr;
    std::string address;
    GMainContext* context = nullptr;
    GCancellable* cancellable = nullptr;
    std::atomic<bool> stopping{false};
    std::thread thread;
    // Touched on the bus thread only.
    GDBusConnection* connection = nullptr;
    int callsInFlight = 0;
    bool reportedUnavailable = false;
};

namespace {

struct Request {
    SessionBus::Shared* shared = nullptr;
    SessionBus::Call call;
    Completion<SessionBus::Reply> done;

    ~Request() {
        if (call.parameters != nullptr) g_variant_unref(call.parameters);
    }
};

// Owns a request until the bus thread takes it; frees it if the thread never does.
struct Handover {
    std::unique_ptr<Request> request;
};

void deliver(std::unique_ptr<Request> request, SessionBus::Reply reply) {
    request->shared->loop->post([done = request->done, reply = std::move(reply)]() mutable { done.resolve(std::move(reply)); });
}

bool ensureConnection(SessionBus::Shared& shared, std::string& error) {
    if (shared.connection != nullptr && !g_dbus_connection_is_closed(shared.connection)) return true;
    if (shared.connection != nullptr) {
        g_object_unref(shared.connection);
        shared.connection = nullptr;
    }
    GError* failure = nullptr;
    std::string address = shared.address;
    if (address.empty()) {
        if (gchar* found = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, shared.cancellable, &failure)) {
            address = found;
            g_free(found);
        }
    }
    if (!address.empty()) {
        const auto flags = static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
        shared.connection =
            g_dbus_connection_new_for_address_sync(address.c_str(), flags, nullptr, shared.cancellable, &failure);
    }
    if (shared.connection != nullptr) {
        shared.reportedUnavailable = false;
        return true;
    }
    error = std::string("the session bus cannot be reached: ") + (failure != nullptr ? failure->message : "no address");
    if (failure != nullptr) g_error_free(failure);
    if (!shared.reportedUnavailable) {
        shared.reportedUnavailable = true;
        shared.loop->post([error] { log::line("⚠️ D-Bus: " + error); });
    }
    return false;
}

void onReply(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<Request> request(static_cast<Request*>(data));
    --request->shared->callsInFlight;
    GError* failure = nullptr;
    GVariant* body = g_dbus_connection_call_finish(reinterpret_cast<GDBusConnection*>(source), result, &failure);
    SessionBus::Reply reply;
    if (body != nullptr) {
        reply.body = std::shared_ptr<GVariant>(body, g_variant_unref);
    } else {
        reply.error = failure != nullptr ? failure->message : "no reply";
        reply.remoteError = failure != nullptr && g_dbus_error_is_remote_error(failure);
        if (failure != nullptr) g_error_free(failure);
    }
    deliver(std::move(request), std::move(reply));
}

gboolean startCall(gpointer data) {
    std::unique_ptr<Request> request = std::move(static_cast<Handover*>(data)->request);
    SessionBus::Shared& shared = *request->shared;
    std::string error;
    if (shared.stopping.load()) {
        deliver(std::move(request), {nullptr, "the session bus connection was closed"});
    } else if (!ensureConnection(shared, error)) {
        deliver(std::move(request), {nullptr, error});
    } else {
        ++shared.callsInFlight;
        Request* pending = request.release();
        const SessionBus::Call& call = pending->call;
        g_dbus_connection_call(shared.connection, call.destination.c_str(), call.objectPath.c_str(),
                               call.interface.c_str(), call.method.c_str(), call.parameters,
                               call.replyType.empty() ? nullptr : G_VARIANT_TYPE(call.replyType.c_str()),
                               G_DBUS_CALL_FLAGS_NO_AUTO_START, static_cast<gint>(call.timeout.count()),
                               shared.cancellable, &onReply, pending);
    }
    return G_SOURCE_REMOVE;
}

void deleteHandover(gpointer data) { delete static_cast<Handover*>(data); }

void serve(SessionBus::Shared& shared) {
    g_main_context_push_thread_default(shared.context);
    while (!(shared.stopping.load() && shared.callsInFlight == 0)) g_main_context_iteration(shared.context, TRUE);
    if (shared.connection != nullptr) {
        g_dbus_connection_close_sync(shared.connection, nullptr, nullptr);
        g_object_unref(shared.connection);
        shared.connection = nullptr;
    }
    g_main_context_pop_thread_default(shared.context);
}

}  // namespace

SessionBus::SessionBus(EventLoop& loop, std::string address) : shared_(std::make_shared<Shared>()) {
    shared_->loop = &loop;
    shared_->address = std::move(address);
    shared_->context = g_main_context_new();
    shared_->cancellable = g_cancellable_new();
    shared_->thread = std::thread([shared = shared_.get()] { serve(*shared); });
}

SessionBus::~SessionBus() {
    // Calls in flight end as cancelled (their waiters get an error); then the thread stops.
    shared_->stopping.store(true);
    g_cancellable_cancel(shared_->cancellable);
    g_main_context_wakeup(shared_->context);
    shared_->thread.join();
    g_main_context_unref(shared_->context);  // frees requests the thread never took
    g_object_unref(shared_->cancellable);
}

Task<SessionBus::Reply> SessionBus::call(Call call) {
    Completion<Reply> done;
    const Duration bound = call.timeout + std::chrono::seconds(1);
    auto request = std::make_unique<Request>();
    request->shared = shared_.get();
    request->call = std::move(call);
    if (request->call.parameters != nullptr) g_variant_ref_sink(request->call.parameters);
    request->done = done;
    g_main_context_invoke_full(shared_->context, G_PRIORITY_DEFAULT, &startCall, new Handover{std::move(request)},
                               &deleteHandover);
    // The bus thread answers within the call's timeout; this bound only matters when the thread
    // itself is stuck (a session bus that accepts the connection but never talks).
    TimerHandle guard = shared_->loop->postAfter(bound, [done]() mutable {
        done.resolve({nullptr, "no answer from the session bus"});
    });
    Reply reply = co_await done;
    guard.cancel();
    co_return reply;
}

}  // namespace parlune
