#pragma once
// One thread that computes requests where the newest one wins: the request
// in hand runs to its end, and of those that came meanwhile only the newest
// is computed next. Each request names its context (which collection and
// plan it is about); a result is handed on only while no later request has
// moved to another context, so a map of the collection just closed never
// reaches the view. Stopping waits for the request in hand and drops its
// result and any request still waiting.
//
// The deliver callback runs on the worker thread with the worker's lock
// held: it must only post the result on (a queued call), never call back
// into the worker.
//
//   LatestRequestWorker<Request, Result> worker(compute, deliver);
//   worker.Request(request, context);   // from any thread, never blocks on a compute

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace quorl::analysis {

template <class RequestType, class ResultType>
class LatestRequestWorker {
public:
    using Compute = std::function<ResultType(const RequestType&)>;
    using Deliver = std::function<void(ResultType&&)>;

    LatestRequestWorker(Compute compute, Deliver deliver)
        : compute_(std::move(compute)), deliver_(std::move(deliver)) {}
    ~LatestRequestWorker() { Stop(); }
    LatestRequestWorker(const LatestRequestWorker&) = delete;
    LatestRequestWorker& operator=(const LatestRequestWorker&) = delete;

    // Replaces any request still waiting. The thread starts with the first.
    void Request(RequestType request, std::uint64_t context) {
        {
            std::lock_guard lock(mutex_);
            if (stop_) return;
            pending_ = std::move(request);
            context_ = context;
            if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
        }
        wake_.notify_one();
    }

    // After it returns nothing more is computed or delivered.
    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
            pending_.reset();
        }
        wake_.notify_one();
        if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
    }

    // For a long compute that would rather give up early.
    bool StopRequested() {
        std::lock_guard lock(mutex_);
        return stop_;
    }

private:
    void Run() {
        for (;;) {
            RequestType request;
            std::uint64_t context = 0;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return stop_ || pending_.has_value(); });
                if (stop_) return;
                request = std::move(*pending_);
                pending_.reset();
                context = context_;
            }
            std::optional<ResultType> result;
            try {
                result = compute_(request);
            } catch (const std::exception&) {
                // Out of memory for a huge plan, say: no result, the caller goes on.
            }
            std::lock_guard lock(mutex_);
            if (stop_) return;
            if (result && context == context_) deliver_(std::move(*result));
        }
    }

    Compute compute_;
    Deliver deliver_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<RequestType> pending_;
    std::uint64_t context_ = 0;  // of the newest request
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace quorl::analysis
