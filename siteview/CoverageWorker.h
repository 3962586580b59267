#pragma once
// CoverageWorker: computes coverage layers on a thread of its own, so that
// the pen never waits for an interpolation. Requests replace each other:
// one being computed runs to its end, and of those that came meanwhile
// only the newest is computed next. Each finished layer comes back on the
// worker object's thread through LayerReady.
//
// The thread starts with the first request and stops (after the request
// in hand) when the worker is destroyed.

#include <QObject>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "siteview/CoverageLayer.h"
#include "siteview/CoverageSource.h"

namespace quorl {

class CoverageWorker : public QObject {
    Q_OBJECT
public:
    explicit CoverageWorker(std::unique_ptr<ICoverageSource> source, QObject* parent = nullptr);
    ~CoverageWorker() override;

    void Request(CoverageRequest request);

signals:
    void LayerReady(const quorl::CoverageLayer& layer);

private:
    void Run();

    std::unique_ptr<ICoverageSource> source_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<CoverageRequest> pending_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace quorl
