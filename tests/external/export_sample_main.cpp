// Writes the copy and the exports of a sample blog into a user folder, as a save would, without
// a window or a network: the pages come from the sample blog's model and the pictures from its
// picture bytes. Prints, for the checks, one line per post: number, saved (1/0), the page's
// title as written, and the date the sample gave it (or nothing); with --export-trials then the
// category and each tag as written, all separated by tabs.
//
//   export_sample FOLDER [--posts N] [--export-trials] [--pictures] [--missing N]...

#include "offline/copy_writer.h"
#include "offline/picture.h"
#include "platform/text.h"
#include "tools/sample_blog/blog_model.h"
#include "tools/sample_blog/blog_pictures.h"
#include "tools/sample_blog/export_trials.h"
#include "window/exports_run.h"

#include <cstdio>
#include <set>
#include <string>

namespace {

std::string utf8(std::u16string_view text) {
    return platform::utf16_to_utf8(text);
}

// The bytes the sample service answers with for a picture address.
std::pair<std::string, std::string_view> picture_answer(const std::string& address) {
    if (address.ends_with("gone.png") || address.ends_with("huge.png")) {
        return {"", {}};
    }
    if (address.ends_with("page.jpg")) {
        return {"text/html", "<html></html>"};
    }
    if (address.ends_with(".gif")) {
        return {"image/gif", sample_blog::sample_gif()};
    }
    if (address.ends_with(".png")) {
        return {"image/png", sample_blog::sample_png()};
    }
    return {"image/jpeg", sample_blog::sample_jpeg()};
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: export_sample FOLDER [--posts N] [--export-trials] [--pictures] "
                     "[--missing N]...\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    sample_blog::BlogOptions options;
    options.posts = 12;
    std::set<int> missing;
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--export-trials") {
            options.export_trials = true;
        } else if (option == "--pictures") {
            options.pictures = true;
        } else if (option == "--posts" && i + 1 < argc) {
            options.posts = std::stoi(argv[++i]);
        } else if (option == "--missing" && i + 1 < argc) {
            missing.insert(std::stoi(argv[++i]));
        } else {
            std::fprintf(stderr, "unknown option %s\n", option.c_str());
            return 2;
        }
    }
    const sample_blog::SampleBlog blog(u"someone", options);
    std::vector<offline::PreparedPost> posts;
    for (int n = 1; n <= blog.post_count(); ++n) {
        const bool saved = !missing.count(n);
        const sample_blog::Page page = blog.post_page(n);
        posts.push_back(offline::PreparePost(n, {blog.post_address(n),
                                                 saved ? std::optional(page.html) : std::nullopt,
                                                 saved ? u"" : u"HTTP 404"}));
        std::printf("%d\t%d\t%s\t%s", n, saved ? 1 : 0, utf8(blog.page_title(n)).c_str(),
                    options.export_trials ? utf8(sample_blog::trial_iso_date(n)).c_str() : "");
        if (options.export_trials) {
            std::printf("\t%s", utf8(sample_blog::trial_category(n)).c_str());
            for (const std::u16string& tag : sample_blog::trial_tags(n)) {
                std::printf("\t%s", utf8(tag).c_str());
            }
        }
        std::printf("\n");
    }
    const offline::CopyPlan plan = offline::PlanCopy(std::move(posts));
    const offline::PictureStore store(offline::CopyFolder(folder));
    offline::PictureOutcomes outcomes;
    for (const std::string& address : plan.pictures) {
        const auto [type, bytes] = picture_answer(address);
        const offline::PictureCheck check = offline::CheckPicture(type, bytes);
        if (check.extension.empty()) {
            outcomes[address] = {{}, check.refusal};
        } else if (auto name = store.Store(address, check.extension, bytes)) {
            outcomes[address] = {*name, {}};
        }
    }
    const std::int64_t now = 1'700'000'000;
    std::vector<offline::PostSummary> summaries;
    for (const offline::PreparedPost& post : plan.posts) {
        summaries.push_back(offline::SummaryOf(post));
    }
    const offline::CopyPageBuilder pages(std::move(summaries), outcomes, u"someone",
                                         offline::BackupTimeText(now));
    const offline::CopyWriteResult copy =
        offline::WriteCopy(folder, pages, [&plan](std::size_t number) {
            return std::optional(plan.posts.at(number - 1).body);
        });
    window::ExportsSource source{u"someone", u"http://hi.baidu.com/someone", now};
    const bool exported = window::WriteExports(folder, plan.posts, source);
    return copy.failed.empty() && exported ? 0 : 1;
}
