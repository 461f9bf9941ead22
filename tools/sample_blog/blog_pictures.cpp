#include "tools/sample_blog/blog_pictures.h"
#include "tools/sample_blog/blog_model.h"

#include "platform/text.h"

#include <string>

namespace sample_blog {

using namespace std::string_view_literals;

// Drawn for this service with ImageMagick: plain colour fills, metadata stripped.
std::string_view sample_gif() {
    return "\x47\x49\x46\x38\x39\x61\x04\x00\x03\x00\xF0\x00\x00\xFF\x00\x00\x00\x00\x00\x21\xF9"
           "\x04"
           "\x00\x00\x00\x00\x00\x2C\x00\x00\x00\x00\x04\x00\x03\x00\x00\x02\x03\x84\x8F\x56\x00\x3B"sv;
}

std::string_view sample_png() {
    return "\x89\x50\x4E\x47\x0D\x0A\x1A\x0A\x00\x00\x00\x0D\x49\x48\x44\x52\x00\x00\x00\x05\x00"
           "\x00"
           "\x00\x02\x01\x03\x00\x00\x00\xAA\xA4\x84\x1E\x00\x00\x00\x03\x50\x4C\x54\x45\x20\x60"
           "\xC0"
           "\x61\xAE\xD2\x2D\x00\x00\x00\x0C\x49\x44\x41\x54\x08\xD7\x63\x60\x60\x60\x00\x00\x00"
           "\x04"
           "\x00\x01\x27\x34\x27\x0A\x00\x00\x00\x00\x49\x45\x4E\x44\xAE\x42\x60\x82"sv;
}

std::string_view sample_jpeg() {
    return "\xFF\xD8\xFF\xE0\x00\x10\x4A\x46\x49\x46\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xFF"
           "\xDB"
           "\x00\x43\x00\x10\x0B\x0C\x0E\x0C\x0A\x10\x0E\x0D\x0E\x12\x11\x10\x13\x18\x28\x1A\x18"
           "\x16"
           "\x16\x18\x31\x23\x25\x1D\x28\x3A\x33\x3D\x3C\x39\x33\x38\x37\x40\x48\x5C\x4E\x40\x44"
           "\x57"
           "\x45\x37\x38\x50\x6D\x51\x57\x5F\x62\x67\x68\x67\x3E\x4D\x71\x79\x70\x64\x78\x5C\x65"
           "\x67"
           "\x63\xFF\xDB\x00\x43\x01\x11\x12\x12\x18\x15\x18\x2F\x1A\x1A\x2F\x63\x42\x38\x42\x63"
           "\x63"
           "\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63"
           "\x63"
           "\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63\x63"
           "\x63"
           "\x63\x63\x63\x63\xFF\xC0\x00\x11\x08\x00\x03\x00\x03\x03\x01\x22\x00\x02\x11\x01\x03"
           "\x11"
           "\x01\xFF\xC4\x00\x15\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
           "\x00"
           "\x00\x05\xFF\xC4\x00\x14\x10\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
           "\x00"
           "\x00\x00\xFF\xC4\x00\x14\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
           "\x00"
           "\x00\x05\xFF\xC4\x00\x14\x11\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
           "\x00"
           "\x00\x00\xFF\xDA\x00\x0C\x03\x01\x00\x02\x11\x03\x11\x00\x3F\x00\x88\x00\xB0\xCF\xFF\xD9"sv;
}

namespace {

std::u16string image(std::u16string_view src, std::u16string_view rest = {}) {
    return u"<img src=\"" + std::u16string(src) + u"\"" + std::u16string(rest) + u">";
}

} // namespace

std::u16string SampleBlog::picture_content(int number) const {
    const auto link = [&](int other, std::u16string_view href, std::u16string_view label) {
        return other <= post_count() ? u"<p><a href=\"" + std::u16string(href) + u"\">" +
                                           std::u16string(label) + u"</a></p>\r\n"
                                     : std::u16string();
    };
    switch (number) {
    case 1:
        // Script in every form a body can carry it.
        return u"<p>" +
               image(k_shared_picture,
                     u" onclick=\"document.body.setAttribute('data-ran','onclick')\"") +
               u" " + image(k_photo_picture) +
               u"</p>\r\n<script>document.documentElement.setAttribute('data-ran','script')"
               u"</script>\r\n" +
               link(2, post_path(2), u"下一篇");
    case 2:
        return u"<p>" + image(k_shared_picture) +
               image(k_dot_picture, u" srcset=\"http://hiphotos.baidu.com/_sample/pictures/"
                                    u"dot2x.png 2x\"") +
               image(k_missing_picture) + u"</p>\r\n" + link(1, post_address(1), u"上一篇");
    case 3:
        return u"<p>" + image(k_html_picture) + image(k_huge_picture) +
               u"<a href=\"javascript:void(0)\" onclick=\"document.body.setAttribute('data-ran',"
               u"'link')\">赞</a></p>\r\n";
    case 6:
        // Other posts by their absolute and root-relative addresses, and a picture relative to
        // the blog's host.
        return u"<p>" + image(blog_path() + u"/pic/" + std::u16string(k_relative_picture_name)) +
               u"</p>\r\n" + link(1, post_address(1), u"第一篇") +
               link(2, post_path(2), u"第二篇") +
               link(3, u"http://HI.baidu.com:80" + post_path(3) + u"?from=6#top", u"第三篇");
    default: {
        const std::u16string name =
            u"/_sample/pictures/" + m_user + u"-" + platform::decimal(number);
        return u"<p>" + image(name + u"a.png") + image(name + u"b.jpg") + u"</p>\r\n";
    }
    }
}

} // namespace sample_blog
