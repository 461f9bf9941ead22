#pragma once
// The sample blog's pictures (served with --pictures): real GIF, PNG and JPEG bytes, and the
// pictures that cannot be had. Every address under /_sample/pictures/ and /<user>/blog/pic/, on
// any host, answers live (the archive holds them only at the blog's picture hosts below):
//
//   gone.png        404 with the HTML error page
//   page.jpg        200, but an HTML page sent as text/html
//   huge.png        200, image/png, k_huge_picture_bytes long (made as it is sent)
//   NAME.gif        200, image/gif, sample_gif()    (any other name, by its extension)
//   NAME.png        200, image/png, sample_png()
//   NAME.jpg        200, image/jpeg, sample_jpeg()
//
// Which post shows which picture is in SampleBlog::picture_content.

#include <array>
#include <cstddef>
#include <string_view>

namespace sample_blog {

// Where the blog's pictures really were, and so the only hosts the archive captured them on.
inline constexpr std::array<std::string_view, 3> k_picture_hosts = {
    "hi.baidu.com", "hiphotos.baidu.com", "img.baidu.com"};

// 4 x 3 pixels.
std::string_view sample_gif();
// 5 x 2 pixels.
std::string_view sample_png();
// 3 x 3 pixels.
std::string_view sample_jpeg();

// Past the program's 20 MiB limit for a picture.
inline constexpr std::size_t k_huge_picture_bytes = std::size_t{21} * 1024 * 1024;

// The pictures as post bodies write them. The shared one is shown by posts 1 and 2 of every
// blog; the photo's address has no scheme, the dot's is relative to the post's address.
inline constexpr std::u16string_view k_shared_picture =
    u"http://hiphotos.baidu.com/_sample/pictures/shared.gif";
inline constexpr std::u16string_view k_photo_picture =
    u"//img.baidu.com/_sample/pictures/photo.jpg";
inline constexpr std::u16string_view k_dot_picture = u"../../../_sample/pictures/dot.png";
inline constexpr std::u16string_view k_missing_picture = u"/_sample/pictures/gone.png";
inline constexpr std::u16string_view k_html_picture = u"/_sample/pictures/page.jpg";
inline constexpr std::u16string_view k_huge_picture =
    u"http://hiphotos.baidu.com/_sample/pictures/huge.png";
// Shown by post 6, relative to the blog's host: "/<user>/blog/pic/" + this.
inline constexpr std::u16string_view k_relative_picture_name = u"rel.gif";

} // namespace sample_blog
