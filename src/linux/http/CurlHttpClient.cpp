#include "linux/http/CurlHttpClient.h"

#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace parlune {

class CurlHttpClient::Worker {
public:
    using Deliver = std::function<void(HttpResult)>;  // called on the worker thread

    Worker();
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    std::uint64_t submit(HttpRequest request, Deliver deliver);
    void abort(std::uint64_t id);
    std::size_t active() const { return active_.load(); }

private:
    struct Transfer {
        std::uint64_t id = 0;
        HttpRequest request;
        Deliver deliver;
        CURL* easy = nullptr;
        curl_slist* headers = nullptr;
        std::string body;
        bool tooLarge = false;
        char errorBuffer[CURL_ERROR_SIZE] = {};

        ~Transfer() {
            if (easy != nullptr) curl_easy_cleanup(easy);
            curl_slist_free_all(headers);
        }
    };

    void run();
    void start(std::unique_ptr<Transfer> transfer);
    void finish(std::uint64_t id, HttpResult result);
    void finishDone(CURLMsg& message);
    static std::size_t write(char* data, std::size_t size, std::size_t count, void* user);

    CURLM* multi_ = nullptr;
    std::mutex mutex_;
    std::vector<std::unique_ptr<Transfer>> incoming_;
    std::vector<std::uint64_t> aborts_;
    bool stopping_ = false;
    std::uint64_t nextId_ = 1;
    std::atomic<std::size_t> active_{0};
    std::map<std::uint64_t, std::unique_ptr<Transfer>> running_;  // worker thread only
    std::thread thread_;
};

namespace {

bool hasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

}  // namespace

CurlHttpClient::Worker::Worker() {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    multi_ = curl_multi_init();
    thread_ = std::thread([this] { run(); });
}

CurlHttpClient::Worker::~Worker() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    curl_multi_wakeup(multi_);
    thread_.join();
    curl_multi_cleanup(multi_);
}

std::uint64_t CurlHttpClient::Worker::submit(HttpRequest request, Deliver deliver) {
    auto transfer = std::make_unique<Transfer>();
    transfer->request = std::move(request);
    transfer->deliver = std::move(deliver);
    std::uint64_t id = 0;
    {
        std::lock_guard lock(mutex_);
        id = transfer->id = nextId_++;
        incoming_.push_back(std::move(transfer));
        ++active_;
    }
    curl_multi_wakeup(multi_);
    return id;
}

void CurlHttpClient::Worker::abort(std::uint64_t id) {
    {
        std::lock_guard lock(mutex_);
        aborts_.push_back(id);
    }
    curl_multi_wakeup(multi_);
}

void CurlHttpClient::Worker::run() {
    for (;;) {
        std::vector<std::unique_ptr<Transfer>> incoming;
        std::vector<std::uint64_t> aborts;
        bool stopping = false;
        {
            std::lock_guard lock(mutex_);
            incoming.swap(incoming_);
            aborts.swap(aborts_);
            stopping = stopping_;
        }
        for (auto& transfer : incoming) start(std::move(transfer));
        for (const auto id : aborts) finish(id, HttpResult::failure(httpCancelledDescription));
        if (stopping) {
            while (!running_.empty()) finish(running_.begin()->first, HttpResult::failure("the HTTP client was shut down"));
            return;
        }
        int running = 0;
        curl_multi_perform(multi_, &running);
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
            if (message->msg == CURLMSG_DONE) finishDone(*message);
        }
        curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
    }
}

void CurlHttpClient::Worker::start(std::unique_ptr<Transfer> transfer) {
    const HttpRequest& request = transfer->request;
    for (const auto& [name, value] : request.headers) {
        if (hasLineBreak(name) || hasLineBreak(value) || name.empty()) {
            const auto id = transfer->id;
            running_.emplace(id, std::move(transfer));
            finish(id, HttpResult::failure("the request has a malformed header"));
            return;
        }
    }
    CURL* easy = transfer->easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(request.timeout).count()));
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->errorBuffer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Worker::write);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer.get());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, transfer.get());

    for (const auto& [name, value] : request.headers) {
        transfer->headers = curl_slist_append(transfer->headers, (name + ": " + value).c_str());
    }
    // No "Expect: 100-continue" round trip before a larger body.
    transfer->headers = curl_slist_append(transfer->headers, "Expect:");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer->headers);

    if (request.method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (request.method != "GET" || !request.body.empty()) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.data());
        if (request.method != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    }

    const auto id = transfer->id;
    running_.emplace(id, std::move(transfer));
    curl_multi_add_handle(multi_, easy);
}

std::size_t CurlHttpClient::Worker::write(char* data, std::size_t size, std::size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (transfer.body.size() + bytes > maxResponseBytes) {
        transfer.tooLarge = true;
        return 0;  // ends the transfer with a write error
    }
    transfer.body.append(data, bytes);
    return bytes;
}

void CurlHttpClient::Worker::finishDone(CURLMsg& message) {
    Transfer* transfer = nullptr;
    curl_easy_getinfo(message.easy_handle, CURLINFO_PRIVATE, &transfer);
    const CURLcode code = message.data.result;
    if (code == CURLE_OK) {
        long status = 0;
        curl_easy_getinfo(transfer->easy, CURLINFO_RESPONSE_CODE, &status);
        finish(transfer->id, HttpResult::response(static_cast<int>(status), std::move(transfer->body)));
    } else if (transfer->tooLarge) {
        finish(transfer->id,
               HttpResult::failure("the response is larger than " + std::to_string(maxResponseBytes) + " bytes"));
    } else {
        std::string description = transfer->errorBuffer[0] != '\0' ? transfer->errorBuffer : curl_easy_strerror(code);
        finish(transfer->id, HttpResult::failure(std::move(description)));
    }
}

// Drops the transfer (if it is still there) and hands its result over: exactly once per transfer.
void CurlHttpClient::Worker::finish(std::uint64_t id, HttpResult result) {
    const auto found = running_.find(id);
    if (found == running_.end()) return;
    std::unique_ptr<Transfer> transfer = std::move(found->second);
    running_.erase(found);
    if (transfer->easy != nullptr) curl_multi_remove_handle(multi_, transfer->easy);
    Deliver deliver = std::move(transfer->deliver);
    transfer.reset();
    --active_;
    deliver(std::move(result));
}

CurlHttpClient::CurlHttpClient(EventLoop& loop) : loop_(loop), worker_(std::make_shared<Worker>()) {}

CurlHttpClient::~CurlHttpClient() = default;

std::size_t CurlHttpClient::activeTransfers() const { return worker_->active(); }

Task<HttpResult> CurlHttpClient::send(HttpRequest request) {
    const TaskContext task = co_await thisTask();
    if (task.isCancelled()) co_return HttpResult::failure(httpCancelledDescription);
    Completion<HttpResult> done;
    EventLoop* loop = &loop_;
    const std::uint64_t id = worker_->submit(std::move(request), [loop, done](HttpResult result) {
        loop->post([done, result = std::move(result)]() mutable { done.resolve(std::move(result)); });
    });
    std::uint64_t registration = 0;
    if (task.cancel) {
        registration = task.cancel->onCancel([worker = worker_, id] { worker->abort(id); });
    }
    HttpResult result = co_await done;
    if (task.cancel) task.cancel->removeOnCancel(registration);
    co_return result;
}

}  // namespace parlune
