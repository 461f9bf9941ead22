#include "exports/wordpress_file.h"

#include "exports/export_text.h"

#include <system_error>

namespace exports {
namespace {

std::string date_time(const offline::PostDate& date) {
    const std::string iso = offline::IsoDate(date); // 2009-05-01T21:00:00+08:00
    return iso.substr(0, 10) + " " + iso.substr(11, 8);
}

// A long body's content is written this many bytes at a time.
constexpr std::size_t long_item_part_bytes = std::size_t{64} << 10;

std::string element(std::string_view name, std::string_view content) {
    return "\t\t<" + std::string(name) + ">" + std::string(content) + "</" + std::string(name) +
           ">\n";
}

} // namespace

std::string Rfc822Date(long long unix_seconds) {
    static constexpr const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const offline::PostDate utc = offline::UtcDate(unix_seconds);
    char text[48];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d +0000",
                  days[offline::Weekday(utc)], utc.day, months[utc.month - 1], utc.year, utc.hour,
                  utc.minute, static_cast<int>(((unix_seconds % 60) + 60) % 60));
    return text;
}

std::string WordPressHead(const SiteFacts& site) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<rss version=\"2.0\"\n"
           "\txmlns:excerpt=\"http://wordpress.org/export/1.2/excerpt/\"\n"
           "\txmlns:content=\"http://purl.org/rss/1.0/modules/content/\"\n"
           "\txmlns:wfw=\"http://wellformedweb.org/CommentAPI/\"\n"
           "\txmlns:dc=\"http://purl.org/dc/elements/1.1/\"\n"
           "\txmlns:wp=\"http://wordpress.org/export/1.2/\">\n"
           "<channel>\n"
           "\t<title>" +
           XmlText(site.blog_title) + "</title>\n\t<link>" + XmlText(site.blog_address) +
           "</link>\n\t<description></description>\n\t<pubDate>" + Rfc822Date(site.backup_unix) +
           "</pubDate>\n\t<language>zh-CN</language>\n\t<wp:wxr_version>1.2</wp:wxr_version>\n"
           "\t<wp:base_site_url>" +
           XmlText(site.blog_address) + "</wp:base_site_url>\n\t<wp:base_blog_url>" +
           XmlText(site.blog_address) +
           "</wp:base_blog_url>\n\t<wp:author><wp:author_id>1</wp:author_id><wp:author_login>" +
           Cdata(site.user) + "</wp:author_login><wp:author_display_name>" + Cdata(site.user) +
           "</wp:author_display_name></wp:author>\n\t<generator>Pellumo</generator>\n";
}

namespace {

// An item up to its content.
std::string item_head(const ExportPost& post, std::string_view user) {
    const long long unix_seconds = offline::UnixSeconds(post.date);
    std::string item = "\t<item>\n";
    item += element("title", XmlText(post.title));
    item += element("link", XmlText(post.address));
    item += element("pubDate", Rfc822Date(unix_seconds));
    item += element("dc:creator", Cdata(user));
    item += "\t\t<guid isPermaLink=\"false\">" + XmlText(post.address) + "</guid>\n";
    return item + element("description", "");
}

// An item after its content.
std::string item_tail(const ExportPost& post) {
    const long long unix_seconds = offline::UnixSeconds(post.date);
    std::string item = element("excerpt:encoded", Cdata(""));
    item += element("wp:post_id", std::to_string(post.number));
    item += element("wp:post_date", Cdata(date_time(post.date)));
    item += element("wp:post_date_gmt", Cdata(date_time(offline::UtcDate(unix_seconds))));
    item += element("wp:comment_status", Cdata("closed"));
    item += element("wp:ping_status", Cdata("closed"));
    item += element("wp:post_name", Cdata("post-" + std::to_string(post.number)));
    item += element("wp:status", Cdata("publish"));
    item += element("wp:post_parent", "0");
    item += element("wp:menu_order", "0");
    item += element("wp:post_type", Cdata("post"));
    item += element("wp:post_password", Cdata(""));
    item += element("wp:is_sticky", "0");
    if (!post.category.empty()) {
        item += "\t\t<category domain=\"category\" nicename=\"" + XmlText(Nicename(post.category)) +
                "\">" + Cdata(post.category) + "</category>\n";
    }
    for (const std::string& tag : post.tags) {
        item += "\t\t<category domain=\"post_tag\" nicename=\"" + XmlText(Nicename(tag)) + "\">" +
                Cdata(tag) + "</category>\n";
    }
    if (post.date_from != DateFrom::page) {
        item += "\t\t<wp:postmeta>\n\t\t\t<wp:meta_key>" + Cdata("pellumo_date_from") +
                "</wp:meta_key>\n\t\t\t<wp:meta_value>" +
                Cdata(post.date_from == DateFrom::capture ? "capture" : "backup") +
                "</wp:meta_value>\n\t\t</wp:postmeta>\n";
    }
    return item + "\t</item>\n";
}

} // namespace

std::string WordPressItem(const ExportPost& post, std::string_view user) {
    return item_head(post, user) +
           element("content:encoded", Cdata(BracketsAsReferences(post.wordpress_body))) +
           item_tail(post);
}

WordPressFile::WordPressFile(std::filesystem::path file, std::filesystem::path uploads,
                             std::filesystem::path pictures, SiteFacts site)
    : m_file(std::move(file)), m_uploads(std::move(uploads)), m_pictures(std::move(pictures)),
      m_site(std::move(site)) {
    m_part = m_file;
    m_part += ".part";
    m_files.make_folder(m_file.parent_path());
    m_files.make_folder(m_uploads);
    m_out.reset(std::fopen(m_part.c_str(), "wb"));
    put(WordPressHead(m_site));
}

void WordPressFile::put(std::string_view text) {
    if (!m_out || std::fwrite(text.data(), 1, text.size(), m_out.get()) != text.size()) {
        m_write_failed = true;
    }
}

void WordPressFile::add_post(const ExportPost& post) {
    if (post.long_body) {
        put_long_item(post);
    } else {
        put(WordPressItem(post, m_site.user));
    }
    for (const std::string& picture : post.pictures) {
        if (m_uploaded.insert(picture).second) {
            m_files.copy_picture(m_pictures / picture, m_uploads / picture);
        }
    }
}

void WordPressFile::put_long_item(const ExportPost& post) {
    // As WordPressItem writes it: with its brackets as references the content holds no "]]>", so
    // it is one CDATA section, written a part at a time as the body is rendered.
    put(item_head(post, m_site.user));
    put("\t\t<content:encoded><![CDATA[");
    offline::RenderedParts body(*post.long_body, post.wordpress_targets);
    while (const std::optional<std::string_view> part = body.next(long_item_part_bytes)) {
        put(XmlCharacters(BracketsAsReferences(*part)));
    }
    put("]]></content:encoded>\n");
    put(item_tail(post));
}

std::vector<std::filesystem::path> WordPressFile::finish() {
    put(wordpress_tail);
    const bool closed = m_out && std::fclose(m_out.release()) == 0;
    std::error_code error;
    if (!closed || m_write_failed) {
        std::filesystem::remove(m_part, error);
        m_files.failed(m_file);
    } else {
        std::filesystem::rename(m_part, m_file, error);
        if (error) {
            m_files.failed(m_file);
        }
    }
    m_files.remove_others(m_uploads, m_uploaded);
    return m_files.failures();
}

} // namespace exports
