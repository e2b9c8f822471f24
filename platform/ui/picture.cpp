// Pictures loaded from files.
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
