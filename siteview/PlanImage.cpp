#include "siteview/PlanImage.h"

#include <fcntl.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "common/ByteOrder.h"
#include "common/RegularFile.h"

namespace quorl {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kBitsOffsetField = 10;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

QImage Fail(PlanImageFailure& failure, int errorNumber, const std::string& detail) {
    failure.errorNumber = errorNumber;
    failure.detail = detail;
    return QImage();
}

}  // namespace

QImage ReadPlanImage(const std::string& path, PlanImageFailure& failure) {
    // Never waits on a FIFO left where the plan image belongs.
    const int fd = OpenRegularFile(path, O_RDONLY);
    std::unique_ptr<std::FILE, FileCloser> file(fd >= 0 ? ::fdopen(fd, "rb") : nullptr);
    if (!file) {
        const int why = errno;
        if (fd >= 0) ::close(fd);
        return Fail(failure, why, "cannot open the plan image " + path);
    }
    if (std::fseek(file.get(), 0, SEEK_END) != 0) return Fail(failure, errno, "cannot read the plan image " + path);
    const long end = std::ftell(file.get());
    if (end < 0) return Fail(failure, errno, "cannot read the plan image " + path);
    const auto size = static_cast<std::uint64_t>(end);
    if (size > kMaxPlanImageFileBytes) return Fail(failure, EFBIG, "the plan image " + path + " is too large");
    if (size < kFileHeaderSize) return Fail(failure, EINVAL, "the plan image " + path + " is not a bitmap file");
    std::rewind(file.get());

    QByteArray bytes(static_cast<qsizetype>(size), Qt::Uninitialized);
    errno = 0;
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != size) {
        const int error = errno != 0 ? errno : EIO;
        return Fail(failure, error, "cannot read the plan image " + path);
    }
    file.reset();

    const auto* raw = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    if (raw[0] != 'B' || raw[1] != 'M' || ReadLe32(raw + kBitsOffsetField) >= size)
        return Fail(failure, EINVAL, "the plan image " + path + " is not a bitmap file");

    QImage image;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "bmp");
        reader.setAllocationLimit(kMaxPlanImageMegabytes);
        image = reader.read();
        if (image.isNull())
            return Fail(failure, EINVAL,
                        "the plan image " + path + " cannot be shown: " + reader.errorString().toStdString());
    }
    bytes.clear();
    if (image.format() != QImage::Format_RGB32) image.convertTo(QImage::Format_RGB32);
    if (image.isNull()) return Fail(failure, ENOMEM, "no memory for the plan image " + path);
    return image;
}

}  // namespace quorl
