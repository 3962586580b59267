#include "siteview/CoverageWorker.h"

#include <exception>

namespace quorl {

CoverageWorker::CoverageWorker(std::unique_ptr<ICoverageSource> source, QObject* parent)
    : QObject(parent),
      source_(std::move(source)),
      handoff_(
          [this](const CoverageRequest& request) {
              CoverageLayer layer;
              try {
                  layer = source_->Compute(request);
              } catch (const std::exception&) {
                  // Out of memory for a huge plan, say: an empty layer, the view goes on.
                  layer = CoverageLayer{};
              }
              layer.generation = request.generation;
              return layer;
          },
          [this](CoverageLayer&& layer) {
              QMetaObject::invokeMethod(
                  this, [this, layer = std::move(layer)] { emit LayerReady(layer); }, Qt::QueuedConnection);
          }) {}

// Layers posted but not yet delivered go with this object.
CoverageWorker::~CoverageWorker() { handoff_.Stop(); }

void CoverageWorker::Request(CoverageRequest request) {
    const std::uint64_t context = request.context;
    handoff_.Request(std::move(request), context);
}

}  // namespace quorl
