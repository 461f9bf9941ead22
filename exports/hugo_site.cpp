#include "exports/hugo_site.h"

#include "exports/export_text.h"
#include "exports/markdown_pieces.h"
#include "platform/part_file.h"

namespace exports {
namespace {

std::string term_list(const std::vector<std::string>& texts) {
    std::string out = "[";
    for (const std::string& text : texts) {
        out += (out.size() > 1 ? ", " : "") + QuotedText(HugoTerm(text));
    }
    return out + "]";
}

constexpr std::string_view head_partial = R"(<!DOCTYPE html>
<html lang="{{ site.LanguageCode }}">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{{ if not .IsHome }}{{ .Title }} · {{ end }}{{ site.Title }}</title>
<style>body{max-width:46em;margin:0 auto;padding:1em;font:1.05em/1.75 serif}img{max-width:100%;height:auto}.facts{color:#666;font-size:.9em}</style>
</head>
<body>
<nav><a href="{{ "/" | relURL }}">{{ site.Title }}</a></nav>
)";

constexpr std::string_view post_list_partial = R"(<ul class="posts">
{{ range .Pages }}<li><a href="{{ .RelPermalink }}">{{ .Title }}</a> <time datetime="{{ .Date.Format "2006-01-02T15:04:05-07:00" }}">{{ .Date.Format "2006-01-02 15:04" }}</time></li>
{{ end }}</ul>
)";

constexpr std::string_view single_layout = R"({{ partial "head.html" . }}<article>
<h1>{{ .Title }}</h1>
<p class="facts"><time datetime="{{ .Date.Format "2006-01-02T15:04:05-07:00" }}">{{ .Date.Format "2006-01-02 15:04" }}</time>
{{ range .GetTerms "categories" }} · 类别：<a href="{{ .RelPermalink }}">{{ .LinkTitle }}</a>{{ end }}
{{ with .GetTerms "tags" }} · 标签：{{ range . }}<a href="{{ .RelPermalink }}">{{ .LinkTitle }}</a> {{ end }}{{ end }}</p>
{{ with .Params.original_address }}<p class="facts">原文：<a href="{{ . }}">{{ . }}</a></p>{{ end }}
<div class="post-body">
{{ .Content }}
</div>
</article>
</body>
</html>
)";

constexpr std::string_view list_layout = R"({{ partial "head.html" . }}<h1>{{ .Title }}</h1>
{{ partial "post-list.html" . }}</body>
</html>
)";

constexpr std::string_view home_layout = R"({{ partial "head.html" . }}<h1>{{ site.Title }}</h1>
<p class="facts">备份于 {{ site.Params.backup_time }}</p>
{{ with site.GetPage "/posts" }}{{ partial "post-list.html" . }}{{ end }}</body>
</html>
)";

constexpr std::string_view taxonomy_layout = R"({{ partial "head.html" . }}<h1>{{ .Title }}</h1>
<ul class="terms">
{{ range .Data.Terms.ByCount }}<li><a href="{{ .Page.RelPermalink }}">{{ .Page.LinkTitle }}</a> ({{ .Count }})</li>
{{ end }}</ul>
</body>
</html>
)";

std::string config(const SiteFacts& site) {
    // Goldmark's extensions beyond CommonMark are off: the Markdown is plain CommonMark, and
    // the typographer would change the posts' quotes and dashes. No attribute list ("{...}" after
    // a heading) styles what a post wrote.
    return "baseURL = \"/\"\n"
           "languageCode = \"zh-CN\"\n"
           "defaultContentLanguage = \"zh\"\n"
           "hasCJKLanguage = true\n"
           "title = " +
           QuotedText(site.blog_title) +
           "\n"
           "disableKinds = [\"RSS\", \"sitemap\", \"robotsTXT\", \"404\"]\n\n"
           "[params]\n"
           "blog_address = " +
           QuotedText(site.blog_address) + "\nbackup_time = " + QuotedText(site.backup_time) +
           "\n\n"
           "[markup.goldmark.parser.attribute]\n"
           "block = false\n"
           "title = false\n\n"
           "[markup.goldmark.renderer]\n"
           "unsafe = true\n\n"
           "[markup.goldmark.extensions]\n"
           "definitionList = false\n"
           "footnote = false\n"
           "linkify = false\n"
           "strikethrough = false\n"
           "table = false\n"
           "taskList = false\n"
           "typographer = false\n";
}

// The page up to its body.
std::string front_matter(const ExportPost& post) {
    std::string page =
        "---\ntitle: " + QuotedText(post.title) + "\ndate: " + offline::IsoDate(post.date) + "\n";
    if (!post.category.empty()) {
        page += "categories: " + term_list({post.category}) + "\n";
    }
    if (!post.tags.empty()) {
        page += "tags: " + term_list(post.tags) + "\n";
    }
    page += "original_address: " + QuotedText(post.address) + "\n";
    if (!post.capture_address.empty()) {
        page += "capture_address: " + QuotedText(post.capture_address) + "\n";
    }
    page += "draft: false\n";
    if (post.date_from != DateFrom::page) {
        page += std::string("date_from: ") +
                (post.date_from == DateFrom::capture ? "capture" : "backup") + "\n";
    }
    return page + "---\n\n";
}

} // namespace

std::string HugoPage(const ExportPost& post) {
    const std::string body = BodyToMarkdown(post.hugo_body);
    return front_matter(post) + body + (body.empty() ? "" : "\n");
}

void HugoSite::write_page(const std::filesystem::path& file, const ExportPost& post) {
    if (!post.long_body) {
        m_files.write(file, HugoPage(post));
        return;
    }
    // The Markdown goes to the file a piece at a time as the body is rendered.
    platform::PartFile page(file, platform::Durability::scratch);
    bool written = page.write(front_matter(post));
    bool any = false;
    offline::RenderedParts body(*post.long_body, post.hugo_targets);
    BodyToMarkdown(body, [&](std::string_view part) {
        written = page.write(part) && written;
        any = true;
    });
    if (!(written && page.write(any ? "\n" : "") && page.commit())) {
        m_files.failed(file);
    }
}

HugoSite::HugoSite(std::filesystem::path folder, std::filesystem::path pictures, SiteFacts site)
    : m_folder(std::move(folder)), m_pictures(std::move(pictures)), m_site(std::move(site)) {}

void HugoSite::add_post(const ExportPost& post) {
    const std::string name = std::to_string(post.number);
    const std::filesystem::path bundle = m_folder / "content" / "posts" / name;
    m_bundles.insert(name);
    m_files.make_folder(bundle);
    write_page(bundle / "index.md", post);
    std::set<std::string> kept{"index.md"};
    for (const std::string& picture : post.pictures) {
        m_files.copy_picture(m_pictures / picture, bundle / picture);
        kept.insert(picture);
    }
    m_files.remove_others(bundle, kept);
    const auto remember = [this](std::string_view taxonomy, const std::string& text) {
        if (HugoTerm(text) != text) {
            m_term_titles[std::string(taxonomy)].emplace(HugoTerm(text), text);
        }
    };
    if (!post.category.empty()) {
        remember("categories", post.category);
    }
    for (const std::string& tag : post.tags) {
        remember("tags", tag);
    }
}

std::vector<std::filesystem::path> HugoSite::finish() {
    const std::filesystem::path layouts = m_folder / "layouts";
    m_files.make_folder(layouts / "_default");
    m_files.make_folder(layouts / "partials");
    m_files.make_folder(m_folder / "content" / "posts");
    m_files.write(m_folder / "hugo.toml", config(m_site));
    m_files.write(m_folder / "content" / "posts" / "_index.md", "---\ntitle: \"文章\"\n---\n");
    m_files.write(layouts / "partials" / "head.html", head_partial);
    m_files.write(layouts / "partials" / "post-list.html", post_list_partial);
    m_files.write(layouts / "_default" / "single.html", single_layout);
    m_files.write(layouts / "_default" / "list.html", list_layout);
    m_files.write(layouts / "_default" / "taxonomy.html", taxonomy_layout);
    m_files.write(layouts / "_default" / "term.html", list_layout);
    m_files.write(layouts / "index.html", home_layout);
    // Terms that could not be their text carry it as the title of their page.
    for (const std::string_view taxonomy : {"categories", "tags"}) {
        const std::filesystem::path folder = m_folder / "content" / taxonomy;
        m_files.make_folder(folder);
        std::set<std::string> terms;
        for (const auto& [term, title] : m_term_titles[std::string(taxonomy)]) {
            terms.insert(term);
            m_files.make_folder(folder / term);
            m_files.write(folder / term / "_index.md",
                          "---\ntitle: " + QuotedText(title) + "\n---\n");
        }
        m_files.remove_others(folder, terms);
    }
    std::set<std::string> kept = m_bundles;
    kept.insert("_index.md");
    m_files.remove_others(m_folder / "content" / "posts", kept);
    return m_files.failures();
}

} // namespace exports
