#include "siteview/CoverageWorker.h"

#include <exception>

namespace quorl {

CoverageWorker::CoverageWorker(std::unique_ptr<ICoverageSource> source, QObject* parent)
    : QObject(parent), source_(std::move(source)) {}

CoverageWorker::~CoverageWorker() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
    // Layers posted but not yet delivered go with this object.
}

void CoverageWorker::Request(CoverageRequest request) {
    {
        std::lock_guard lock(mutex_);
        pending_ = std::move(request);
    }
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    wake_.notify_one();
}

void CoverageWorker::Run() {
    for (;;) {
        CoverageRequest request;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || pending_.has_value(); });
            if (stop_) return;
            request = std::move(*pending_);
            pending_.reset();
        }
        CoverageLayer layer;
        try {
            layer = source_->Compute(request);
        } catch (const std::exception&) {
            // Out of memory for a huge plan, say: no layer, the view goes on.
            layer = CoverageLayer{};
        }
        layer.generation = request.generation;
        QMetaObject::invokeMethod(
            this, [this, layer = std::move(layer)] { emit LayerReady(layer); }, Qt::QueuedConnection);
    }
}

}  // namespace quorl
