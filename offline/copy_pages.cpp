#include "offline/copy_pages.h"

#include "offline/address.h"
#include "offline/html_text.h"
#include "platform/text.h"
#include "utilities/modcut.h"

#include <set>

namespace offline {
namespace {

constexpr std::string_view style_sheet =
    "body{max-width:46em;margin:0 auto;padding:1em 1.2em;font:1.05em/1.75 \"Noto Serif CJK "
    "SC\",\"Noto Sans CJK SC\",serif;color:#222;background:#fcfcf7;overflow-wrap:break-word}"
    "img{max-width:100%;height:auto}"
    "h1{font-size:1.6em;line-height:1.3}h2{font-size:1.25em}"
    "nav{margin:1em 0;font-size:.95em}nav a,nav span{margin-right:1em}"
    "nav span{color:#999}"
    ".source,.summary,.facts{color:#666;font-size:.9em;word-break:break-all}"
    "article.post{border-top:1px solid #ccc;margin-top:2.5em}"
    // A post's box clips what it paints, so nothing in it reaches the page's heading or links.
    "article.post-body{overflow-x:auto;overflow-y:hidden}"
    "pre.raw{white-space:pre-wrap}"
    "@media (max-width:600px){body{padding:.6em;font-size:1em}}";

std::string page_start(std::string_view title) {
    return "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
           "img-src 'self' file: data:; style-src 'unsafe-inline'; base-uri 'none'; "
           "form-action 'none'\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>" +
           EscapeHtml(title) + "</title>\n<style>" + std::string(style_sheet) +
           "</style>\n</head>\n<body>\n";
}

constexpr std::string_view page_end = "</body>\n</html>\n";

std::string shown_title(const PostSummary& post) {
    return post.title.empty() ? "（无标题）" : post.title;
}

// A link to an address on the web, or the address as text when it is not one to follow.
std::string web_link(std::string_view address) {
    if (IsRunnableAddress(address)) {
        return EscapeHtml(address);
    }
    return "<a href=\"" + EscapeHtml(address) + "\">" + EscapeHtml(address) + "</a>";
}

// "2009-05-01 21:00 · 类别：游记", or nothing when the page showed neither.
std::string facts_text(const PostSummary& post) {
    std::string text = post.facts.date ? ShownDate(*post.facts.date) : std::string();
    if (!post.facts.category.empty()) {
        text += (text.empty() ? "" : " · ") + std::string("类别：") + post.facts.category;
    }
    return EscapeHtml(text);
}

std::string facts_line(const PostSummary& post) {
    const std::string text = facts_text(post);
    return text.empty() ? std::string() : "<p class=\"facts\">" + text + "</p>\n";
}

// The post's own address, and for a post saved from the archive the capture it came from.
std::string source_of(const PostSummary& post) {
    std::string source = "原文：" + web_link(post.address);
    if (!post.capture.empty()) {
        source += " 存档：" + web_link(post.capture);
    }
    return source;
}

std::string source_line(const PostSummary& post) {
    return "<p class=\"source\">" + source_of(post) + "</p>\n";
}

std::string utf8(std::u16string_view text) {
    return platform::utf16_to_utf8(text);
}

} // namespace

PreparedPost PreparePost(std::size_t number, CopyPost post) {
    PreparedPost prepared;
    prepared.number = number;
    prepared.address = utf8(post.address);
    prepared.capture = utf8(post.capture);
    prepared.saved = post.page.has_value();
    prepared.failure = utf8(post.failure);
    if (post.page) {
        const blog::PostCut cut = post.cut ? *post.cut : blog::CutPostText(*post.page);
        prepared.facts = ReadPostFacts(*post.page, cut);
        prepared.title = prepared.facts.title;
        if (cut.layout == blog::PostLayout::new_layout) {
            prepared.body = CleanPostBody(cut.body_in(*post.page), prepared.address);
        } else {
            prepared.body = CleanPostBody(modcut::CutBetweenView(*post.page, u"查看文章", u"类别"),
                                          prepared.address);
        }
    }
    return prepared;
}

CopyPlan PlanCopy(std::vector<PreparedPost> posts) {
    CopyPlan plan;
    std::set<std::string> seen;
    for (PreparedPost& prepared : posts) {
        if (prepared.saved) {
            for (const std::string& picture : PicturesOf(prepared.body)) {
                if (seen.insert(picture).second) {
                    plan.pictures.push_back(picture);
                    if (!prepared.capture.empty()) {
                        plan.picture_captures.emplace(picture, prepared.capture);
                    }
                }
            }
        }
        plan.posts.push_back(std::move(prepared));
    }
    return plan;
}

CopyPlan PlanCopy(const std::vector<CopyPost>& posts) {
    std::vector<PreparedPost> prepared;
    prepared.reserve(posts.size());
    for (std::size_t i = 0; i < posts.size(); ++i) {
        prepared.push_back(PreparePost(i + 1, posts[i]));
    }
    return PlanCopy(std::move(prepared));
}

PostSummary SummaryOf(const PreparedPost& post) {
    return {post.number,
            post.address,
            post.capture,
            post.saved,
            post.title,
            post.failure,
            post.saved ? PicturesOf(post.body) : std::vector<std::string>(),
            post.facts};
}

CopyPlan PlanPictures(const std::vector<PostSummary>& posts) {
    CopyPlan plan;
    std::set<std::string> seen;
    for (const PostSummary& post : posts) {
        for (const std::string& picture : post.pictures) {
            if (seen.insert(picture).second) {
                plan.pictures.push_back(picture);
                if (!post.capture.empty()) {
                    plan.picture_captures.emplace(picture, post.capture);
                }
            }
        }
    }
    return plan;
}

CopyPageBuilder::CopyPageBuilder(std::vector<PostSummary> posts, const PictureOutcomes& pictures,
                                 std::u16string_view user_name, std::u16string_view backup_time)
    : m_posts(std::move(posts)), m_pictures(pictures), m_user(utf8(user_name)),
      m_time(utf8(backup_time)) {
    for (std::size_t i = 0; i < m_posts.size(); ++i) {
        const PostSummary& post = m_posts[i];
        if (!post.saved) {
            continue;
        }
        m_saved.push_back(i);
        m_numbers.add(post.address, post.number);
    }
}

std::string CopyPageBuilder::post_page(std::size_t k, const CleanBody& body) const {
    const PostSummary& post = m_posts[m_saved[k]];
    const std::string nav = post_nav(k);
    return page_start(shown_title(post)) + nav + "<h1>" + EscapeHtml(shown_title(post)) +
           "</h1>\n" + facts_line(post) + source_line(post) + "<article class=\"post-body\">\n" +
           RenderBody(body, targets("../images/", "", ".html")) + "\n</article>\n" + nav +
           std::string(page_end);
}

std::string CopyPageBuilder::all_start() const {
    return page_start(m_user + " 的博客 · 全部文章") +
           "<nav><a href=\"index.html\">目录</a></nav>\n<h1>" + EscapeHtml(m_user) +
           " 的博客</h1>\n";
}

std::string CopyPageBuilder::all_article(std::size_t k, const CleanBody& body) const {
    const PostSummary& post = m_posts[m_saved[k]];
    const std::string number = std::to_string(post.number);
    return "<article class=\"post\" id=\"post-" + number + "\">\n<h2>" + number + ". " +
           EscapeHtml(shown_title(post)) + "</h2>\n" + facts_line(post) + source_line(post) +
           "<article class=\"post-body\">\n" + RenderBody(body, targets("images/", "#post-", "")) +
           "\n</article>\n</article>\n";
}

std::string CopyPageBuilder::all_end() {
    return std::string(page_end);
}

std::set<std::string> CopyPageBuilder::picture_files() const {
    std::set<std::string> files;
    for (const auto& [address, outcome] : m_pictures) {
        if (!outcome.file_name.empty()) {
            files.insert(outcome.file_name);
        }
    }
    return files;
}

std::string CopyPageBuilder::index_page() const {
    std::string page = page_start(m_user + " 的博客") + "<h1>" + EscapeHtml(m_user) +
                       " 的博客</h1>\n<p class=\"summary\">备份于 " + EscapeHtml(m_time) +
                       "，保存了 " + std::to_string(m_saved.size()) + " 篇文章（共 " +
                       std::to_string(m_posts.size()) +
                       " 篇）。</p>\n<nav><a href=\"all.html\">全部文章连续阅读</a></nav>\n"
                       "<h2>文章</h2>\n<ol class=\"posts\">\n";
    for (const std::size_t i : m_saved) {
        const std::string number = std::to_string(m_posts[i].number);
        page += "<li value=\"" + number + "\"><a href=\"posts/" + number + ".html\">" +
                EscapeHtml(shown_title(m_posts[i])) + "</a>";
        const std::string facts = facts_text(m_posts[i]);
        if (!facts.empty()) {
            page += " <span class=\"facts\">" + facts + "</span>";
        }
        if (!m_posts[i].capture.empty()) {
            page += " <span class=\"source\">" + source_of(m_posts[i]) + "</span>";
        }
        page += "</li>\n";
    }
    page += "</ol>\n";
    std::string failed;
    for (const PostSummary& post : m_posts) {
        if (!post.saved) {
            failed += "<li>第 " + std::to_string(post.number) + " 篇：" +
                      (post.capture.empty() ? web_link(post.address) : source_of(post)) + "（" +
                      EscapeHtml(post.failure.empty() ? "原因不明" : post.failure) + "）</li>\n";
        }
    }
    if (!failed.empty()) {
        page += "<h2>未能保存的文章</h2>\n<ul class=\"failed-posts\">\n" + failed + "</ul>\n";
    }
    std::string missing;
    for (const std::size_t i : m_saved) {
        const PostSummary& post = m_posts[i];
        std::string lines;
        for (const std::string& address : post.pictures) {
            const auto found = m_pictures.find(address);
            if (found == m_pictures.end() || found->second.file_name.empty()) {
                const std::string reason =
                    found == m_pictures.end() ? "未下载" : utf8(found->second.failure);
                lines += "<li>" + web_link(address) + "（" + EscapeHtml(reason) + "）</li>\n";
            }
        }
        if (!lines.empty()) {
            const std::string number = std::to_string(post.number);
            missing += "<li><a href=\"posts/" + number + ".html\">" + number + ". " +
                       EscapeHtml(shown_title(post)) + "</a>\n<ul>\n" + lines + "</ul></li>\n";
        }
    }
    if (!missing.empty()) {
        page += "<h2>未能取得的图片</h2>\n<ul class=\"failed-pictures\">\n" + missing + "</ul>\n";
    }
    return page + std::string(page_end);
}

BodyTargets CopyPageBuilder::targets(std::string picture_folder, std::string post_prefix,
                                     std::string post_suffix) const {
    return {
        [this, picture_folder](const std::string& address) -> std::optional<std::string> {
            const auto found = m_pictures.find(address);
            if (found == m_pictures.end() || found->second.file_name.empty()) {
                return std::nullopt;
            }
            return picture_folder + found->second.file_name;
        },
        [this, post_prefix, post_suffix](const std::string& address) -> std::optional<std::string> {
            const auto number = m_numbers.find(address);
            if (!number) {
                return std::nullopt;
            }
            return post_prefix + std::to_string(*number) + post_suffix;
        }};
}

std::string CopyPageBuilder::post_nav(std::size_t k) const {
    const auto neighbour = [&](bool exists, std::size_t other, std::string_view label) {
        if (!exists) {
            return "<span>" + std::string(label) + "</span>";
        }
        return "<a href=\"" + std::to_string(number_of(other)) + ".html\">" + std::string(label) +
               "</a>";
    };
    return "<nav><a href=\"../index.html\">目录</a>" + neighbour(k > 0, k - 1, "上一篇") +
           neighbour(k + 1 < m_saved.size(), k + 1, "下一篇") + "</nav>\n";
}

CopyPages BuildPages(const CopyPlan& plan, const PictureOutcomes& pictures,
                     std::u16string_view user_name, std::u16string_view backup_time) {
    std::vector<PostSummary> summaries;
    std::vector<const CleanBody*> bodies; // of the saved posts, in order
    for (const PreparedPost& post : plan.posts) {
        summaries.push_back(SummaryOf(post));
        if (post.saved) {
            bodies.push_back(&post.body);
        }
    }
    const CopyPageBuilder builder(std::move(summaries), pictures, user_name, backup_time);
    CopyPages built;
    built.index = builder.index_page();
    built.all = builder.all_start();
    for (std::size_t k = 0; k < builder.saved_count(); ++k) {
        built.all += builder.all_article(k, *bodies[k]);
        built.posts.emplace_back(builder.number_of(k), builder.post_page(k, *bodies[k]));
    }
    built.all += CopyPageBuilder::all_end();
    built.pictures = builder.picture_files();
    return built;
}

} // namespace offline
