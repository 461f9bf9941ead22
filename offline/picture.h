#pragma once
// Which downloaded pictures the copy keeps, and the file name each gets. Only raster pictures
// are kept: an SVG can carry script. The name depends on the address alone, so a later save
// finds a picture it already has.

#include <cstddef>
#include <string>
#include <string_view>

namespace offline {

// Pictures larger than this are not kept.
constexpr std::size_t max_picture_bytes = 20 * 1024 * 1024;

struct PictureCheck {
    std::string extension;  // ".png", ".jpg", ".gif", ".webp" or ".bmp"; empty when refused
    std::u16string refusal; // why it was refused, for the index
};

// The extension for a downloaded picture, from its declared Content-Type (parameters and case
// ignored), when that is a raster type and the bytes start like a raster picture.
PictureCheck CheckPicture(std::string_view content_type, std::string_view bytes);

// Lower-case hex SHA-256 of the resolved absolute address.
std::string PictureHash(std::string_view address);

// PictureHash(address) + extension.
std::string PictureFileName(std::string_view address, std::string_view extension);

} // namespace offline
