// Both exports of 10,000 stored posts (the sample blog's, with their pictures already in the
// copy's images folder): how many posts a second they are written at, and the share of that
// which is the Markdown conversion alone.
//
//   build/bench/exports_bench

#include "exports/export_post.h"
#include "exports/markdown.h"
#include "offline/copy_writer.h"
#include "offline/picture.h"
#include "tools/sample_blog/blog_model.h"
#include "tools/sample_blog/blog_pictures.h"
#include "window/exports_run.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

constexpr int post_count = 10000;

// The posts as a save has them after the copy, and the folder holding their pictures.
struct StoredPosts {
    fs::path folder = fs::temp_directory_path() / "pellumo-exports-bench";
    std::vector<offline::PreparedPost> posts;

    StoredPosts() {
        fs::remove_all(folder);
        const sample_blog::SampleBlog blog(u"someone", {.posts = post_count, .pictures = true});
        for (int n = 1; n <= post_count; ++n) {
            posts.push_back(
                offline::PreparePost(n, {blog.post_address(n), blog.post_page(n).html, {}}));
        }
        const offline::PictureStore store(offline::CopyFolder(folder));
        for (const std::string& picture : offline::PlanCopy(posts).pictures) {
            store.Store(picture, ".png", sample_blog::sample_png());
        }
    }
    ~StoredPosts() { fs::remove_all(folder); }
};

StoredPosts& stored() {
    static StoredPosts instance;
    return instance;
}

void BM_WriteBothExports(benchmark::State& state) {
    StoredPosts& posts = stored();
    for (auto _ : state) {
        if (!window::WriteExports(posts.folder, posts.posts,
                                  {u"someone", u"http://hi.baidu.com/someone", 1700000000})) {
            state.SkipWithError("the exports were not written");
        }
    }
    state.counters["posts/s"] = benchmark::Counter(static_cast<double>(post_count) *
                                                       static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}

void BM_MarkdownOnly(benchmark::State& state) {
    StoredPosts& posts = stored();
    const auto nowhere = [](const std::string&) { return std::optional<std::string>(); };
    for (auto _ : state) {
        for (const offline::PreparedPost& post : posts.posts) {
            benchmark::DoNotOptimize(
                exports::HtmlToMarkdown(offline::RenderBody(post.body, {nowhere, nowhere})));
        }
    }
    state.counters["posts/s"] = benchmark::Counter(static_cast<double>(post_count) *
                                                       static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}

BENCHMARK(BM_WriteBothExports)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MarkdownOnly)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
