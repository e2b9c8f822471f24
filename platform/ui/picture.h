// Pictures: images loaded from files (LoadPicture) or taken from a picture
// box (Image).  A picture is a runtime object, so a Variant can hold it.
#pragma once

#include <memory>
#include <string>

#include "platform/runtime/propertybag.h"
#include "platform/runtime/variant.h"

class QImage;

namespace vb {

// A picture stores itself in a property bag (as PNG bytes), so the network's
// collection file keeps the pictures its nodes hold.
class StdPicture : public Object, public Persistable {
public:
    StdPicture();
    explicit StdPicture(const QImage& image);
    ~StdPicture() override;
    std::string TypeName() const override { return "Picture"; }

    // Size in pixels; an empty picture is 0 by 0.
    int WidthPixels() const;
    int HeightPixels() const;
    bool IsEmpty() const;

    std::string PersistClassName() const override { return "Picture"; }
    std::vector<uint8_t> PersistBytes() const override;

    // Platform use.
    const QImage& image() const;

private:
    std::unique_ptr<QImage> image_;
};

using PictureRef = std::shared_ptr<StdPicture>;

// Loads an image file (bmp, dib, jpg, gif, ico, png).  An empty file name
// gives an empty picture; a missing file raises 53 ("File not found"), a file
// that is no readable image raises 481 ("Invalid picture").
PictureRef LoadPicture(const std::string& fileName = {});

// Writes a picture as a .bmp file (written to a temporary file and renamed).
void SavePicture(const PictureRef& picture, const std::string& fileName);

}  // namespace vb
