#include "tools/AreaMask.h"

#include <QImage>
#include <QImageReader>
#include <sys/stat.h>

#include <cerrno>

#include "common/UserMessages.h"

namespace quorl::tools {

namespace {

std::string SizeText(QSize size) { return std::to_string(size.width()) + " x " + std::to_string(size.height()); }

}  // namespace

bool LoadAreaMask(const std::string& path, LoadedSurvey& loaded, std::string& error) {
    // A FIFO or a device would keep the reader waiting, or reading, for ever.
    struct stat file {};
    if (::stat(path.c_str(), &file) != 0) {
        error = "cannot read the area mask " + path + ": " + SystemErrorText(errno);
        return false;
    }
    if (!S_ISREG(file.st_mode)) {
        error = "the area mask " + path + " is no file: --area takes a picture of the plan's size";
        return false;
    }
    QImageReader reader(QString::fromStdString(path));
    const QSize plan = loaded.planImage.size();
    // The size from the header: a picture of any other size is refused before it costs memory.
    const QSize size = reader.size();
    if (!reader.canRead() || !size.isValid()) {
        error = "cannot read the area mask " + path + ": " +
                (reader.errorString().isEmpty() ? std::string("not a picture") : reader.errorString().toStdString());
        return false;
    }
    if (size != plan) {
        error = "the area mask " + path + " is " + SizeText(size) + " pixels and the plan of " + loaded.plan.name +
                " is " + SizeText(plan) + ": --area takes a mask of the plan's size, in plan pixels";
        return false;
    }
    QImage image;
    if (!reader.read(&image) || image.size() != plan) {
        error = "cannot read the area mask " + path + ": " + reader.errorString().toStdString();
        return false;
    }
    image = image.convertToFormat(QImage::Format_ARGB32);
    analysis::PlanMask mask;
    mask.width = image.width();
    mask.height = image.height();
    mask.counts.resize(static_cast<std::size_t>(mask.width) * static_cast<std::size_t>(mask.height));
    std::size_t inside = 0;
    for (int y = 0; y < mask.height; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        std::uint8_t* out = mask.counts.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(mask.width);
        for (int x = 0; x < mask.width; ++x) {
            // Light and opaque counts; dark or transparent does not.
            out[x] = qAlpha(line[x]) >= 128 && qGray(line[x]) >= 128 ? 1 : 0;
            inside += out[x];
        }
    }
    if (inside == 0) {
        error = "the area mask " + path + " leaves nothing of the plan to count: white counts, black does not";
        return false;
    }
    loaded.area = std::move(mask);
    loaded.areaName = path;
    return true;
}

}  // namespace quorl::tools
