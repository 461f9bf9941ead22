#include "offline/picture.h"

#include "platform/text.h"

#include <glib.h>

#include <array>
#include <memory>

namespace offline {
namespace {

struct RasterType {
    std::string_view mime;
    std::string_view extension;
};

constexpr std::array<RasterType, 5> raster_types{{{"image/png", ".png"},
                                                  {"image/jpeg", ".jpg"},
                                                  {"image/gif", ".gif"},
                                                  {"image/webp", ".webp"},
                                                  {"image/bmp", ".bmp"}}};

// "Image/JPEG; charset=x" -> "image/jpeg".
std::string essence_of(std::string_view content_type) {
    std::string type;
    for (const char c : content_type.substr(0, content_type.find(';'))) {
        if (c != ' ' && c != '\t') {
            type += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
    }
    return type;
}

// The first bytes of each raster format.
bool looks_raster(std::string_view bytes) {
    const auto starts = [&](std::string_view magic) {
        return bytes.substr(0, magic.size()) == magic;
    };
    return starts("\x89PNG\r\n\x1a\n") || starts("\xFF\xD8\xFF") || starts("GIF87a") ||
           starts("GIF89a") || starts("BM") ||
           (starts("RIFF") && bytes.size() >= 12 && bytes.substr(8, 4) == "WEBP");
}

struct ChecksumDeleter {
    void operator()(GChecksum* checksum) const { g_checksum_free(checksum); }
};

} // namespace

PictureCheck CheckPicture(std::string_view content_type, std::string_view bytes) {
    const std::string type = essence_of(content_type);
    if (bytes.size() > max_picture_bytes) {
        return {{}, u"超过 20 MB"};
    }
    for (const RasterType& raster : raster_types) {
        if (raster.mime == type) {
            if (!looks_raster(bytes)) {
                return {{}, u"内容不是图片"};
            }
            return {std::string(raster.extension), {}};
        }
    }
    return {{}, u"不是可保存的图片类型：" + platform::utf8_to_utf16(type)};
}

std::string PictureHash(std::string_view address) {
    const std::unique_ptr<GChecksum, ChecksumDeleter> checksum(g_checksum_new(G_CHECKSUM_SHA256));
    g_checksum_update(checksum.get(), reinterpret_cast<const guchar*>(address.data()),
                      static_cast<gssize>(address.size()));
    return g_checksum_get_string(checksum.get());
}

std::string PictureFileName(std::string_view address, std::string_view extension) {
    return PictureHash(address) + std::string(extension);
}

} // namespace offline
