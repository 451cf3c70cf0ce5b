#include "linux/insertion/X11Clipboard.h"

#include "core/log/Log.h"
#include "linux/insertion/SelectionServer.h"
#include "linux/runtime/StdLoop.h"

#include <future>
#include <thread>

namespace parlune {
namespace {

// An offer with the number the selection server gave it.
struct NumberedOffer final : ClipboardOffer {
    std::uint64_t number = 0;
};

}  // namespace

struct X11Clipboard::Worker {
    StdLoop loop;
    std::shared_ptr<SelectionServer> server;  // lives on the worker thread
    std::thread thread;

    // Runs `call` with the server on the worker thread and waits (bounded) for its result.
    template <class Result>
    std::optional<Result> run(std::function<Result(SelectionServer&)> call, std::chrono::milliseconds limit = callLimit) {
        auto promise = std::make_shared<std::promise<Result>>();
        auto future = promise->get_future();
        loop.post([this, call = std::move(call), promise] { promise->set_value(call(*server)); });
        if (future.wait_for(limit) != std::future_status::ready) {
            log::line("⚠️ Clipboard: the clipboard thread did not answer in time");
            return std::nullopt;
        }
        return future.get();
    }
};

std::shared_ptr<X11Clipboard> X11Clipboard::open(EventLoop& loop, bool hasDisplay) {
    std::shared_ptr<X11Clipboard> clipboard(new X11Clipboard(loop));
    if (!hasDisplay) return clipboard;
    auto worker = std::make_shared<Worker>();
    auto started = std::make_shared<std::promise<bool>>();
    auto ready = started->get_future();
    worker->thread = std::thread([raw = worker.get(), started] {
        if (auto connection = X11Connection::open(raw->loop)) raw->server = SelectionServer::create(std::move(connection));
        started->set_value(raw->server != nullptr);
        if (raw->server) raw->loop.run();
        raw->server.reset();
    });
    if (ready.get()) {
        clipboard->worker_ = std::move(worker);
    } else {
        worker->thread.join();
    }
    return clipboard;
}

X11Clipboard::~X11Clipboard() {
    if (!worker_) return;
    handOver();
    worker_->loop.quit();
    worker_->thread.join();
}

Task<std::optional<std::string>> X11Clipboard::readText() {
    if (!worker_) co_return std::nullopt;
    Completion<std::optional<std::string>> result;
    EventLoop* main = &loop_;
    Worker* worker = worker_.get();
    worker->loop.post([worker, result, main] {
        spawn(worker->loop,
              [](std::shared_ptr<SelectionServer> server, Completion<std::optional<std::string>> done, EventLoop* back) -> Task<void> {
                  auto text = co_await server->readText();
                  back->post([done, text]() mutable { done.resolve(text); });
              }(worker->server, result, main));
    });
    co_return co_await result;
}

std::shared_ptr<ClipboardOffer> X11Clipboard::offerText(std::string text) {
    auto offer = std::make_shared<NumberedOffer>();
    if (!worker_) {
        offer->settle(ClipboardOffer::State::replaced);
        return offer;
    }
    std::weak_ptr<NumberedOffer> weakOffer = offer;
    EventLoop* main = &loop_;
    auto number = worker_->run<std::uint64_t>([text = std::move(text), weakOffer, main](SelectionServer& server) mutable {
        return server.offerText(std::move(text), [weakOffer, main](ClipboardOffer::State state) {
            main->post([weakOffer, state] {
                if (auto settled = weakOffer.lock()) settled->settle(state);
            });
        });
    });
    offer->number = number.value_or(0);
    if (offer->number == 0) offer->settle(ClipboardOffer::State::replaced);
    return offer;
}

bool X11Clipboard::putBack(const ClipboardOffer& offer, std::string text) {
    const auto& numbered = static_cast<const NumberedOffer&>(offer);
    if (!worker_ || numbered.number == 0 || offer.state() == ClipboardOffer::State::replaced) return false;
    return worker_
        ->run<bool>([number = numbered.number, text = std::move(text)](SelectionServer& server) mutable {
            return server.putBack(number, std::move(text));
        })
        .value_or(false);
}

void X11Clipboard::handOver() {
    if (!worker_) return;
    auto handedOver = std::make_shared<std::promise<void>>();
    auto future = handedOver->get_future();
    worker_->loop.post([worker = worker_.get(), handedOver] { worker->server->handOver([handedOver] { handedOver->set_value(); }); });
    future.wait_for(SelectionServer::handOverLimit + std::chrono::seconds(1));
}

}  // namespace parlune
