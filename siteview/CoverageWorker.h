#pragma once
// CoverageWorker: computes coverage layers on a thread of its own, so that
// the pen never waits for an interpolation. The hand-off (newest request
// wins, layers of a collection or plan left behind are dropped, shutdown
// waits for the request in hand) is analysis::LatestRequestWorker, which
// knows no Qt and runs under ThreadSanitizer in the tests. Each finished
// layer comes back on the worker object's thread through LayerReady.
//
// The thread starts with the first request and stops (after the request
// in hand) when the worker is destroyed.

#include <QObject>
#include <memory>

#include "analysis/LatestRequestWorker.h"
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
    std::unique_ptr<ICoverageSource> source_;
    analysis::LatestRequestWorker<CoverageRequest, CoverageLayer> handoff_;
};

}  // namespace quorl
