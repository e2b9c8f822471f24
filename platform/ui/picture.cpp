// Pictures loaded from files.
#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QSaveFile>

#include "platform/ui/internal.h"

namespace vb {

using namespace detail;

StdPicture::StdPicture() : image_(std::make_unique<QImage>()) {}
StdPicture::StdPicture(const QImage& image) : image_(std::make_unique<QImage>(image)) {}
StdPicture::~StdPicture() = default;

int StdPicture::WidthPixels() const { return image_->width(); }
int StdPicture::HeightPixels() const { return image_->height(); }
bool StdPicture::IsEmpty() const { return image_->isNull(); }
const QImage& StdPicture::image() const { return *image_; }

std::vector<uint8_t> StdPicture::PersistBytes() const {
    if (image_->isNull()) return {};
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image_->save(&buffer, "PNG")) RaiseError(errTypeMismatch);
    return std::vector<uint8_t>(png.begin(), png.end());
}

namespace {
// No bytes stand for an empty picture; bytes that are no image are refused.
const bool kPictureRegistered = [] {
    RegisterPersistableClass("Picture", [](const std::vector<uint8_t>& bytes) -> ObjectRef {
        if (bytes.empty()) return std::make_shared<StdPicture>();
        QImage img;
        if (!img.loadFromData(bytes.data(), static_cast<int>(std::min<size_t>(bytes.size(), INT32_MAX)), "PNG"))
            return nullptr;
        return std::make_shared<StdPicture>(img);
    });
    return true;
}();
}  // namespace

PictureRef LoadPicture(const std::string& fileName) {
    if (fileName.empty()) return std::make_shared<StdPicture>();
    QString path = Q(fileName);
    QFileInfo info(path);
    if (!info.exists() || !info.isFile()) throw VbError(53, "File not found");
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    QImage img = reader.read();
    if (img.isNull()) throw VbError(481, "Invalid picture");
    return std::make_shared<StdPicture>(img);
}

void SavePicture(const PictureRef& picture, const std::string& fileName) {
    if (!picture || picture->IsEmpty()) throw VbError(380, "Invalid property value");
    QSaveFile file(Q(fileName));
    if (!file.open(QIODevice::WriteOnly)) throw VbError(75, "Path/File access error");
    if (!picture->image().save(&file, "BMP") || !file.commit()) throw VbError(57, "Device I/O error");
}

}  // namespace vb
