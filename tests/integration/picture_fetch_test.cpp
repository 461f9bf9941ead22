#include "window/offline_copy_run.h"

#include "platform/text.h"
#include "tests/support/file_bytes.h"
#include "tests/support/sample_blog_service.h"
#include "tests/support/temp_folder.h"
#include "tools/sample_blog/blog_model.h"
#include "tools/sample_blog/blog_pictures.h"

#include <gtest/gtest.h>

#include <glib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

using testing_support::read_bytes;

namespace {

// The SHA-256 name of a picture, worked out here with GLib's own function.
std::string hashed(std::string_view address, std::string_view extension) {
    gchar* hash =
        g_compute_checksum_for_string(G_CHECKSUM_SHA256, std::string(address).c_str(), -1);
    std::string name = std::string(hash) + std::string(extension);
    g_free(hash);
    return name;
}

} // namespace

TEST(PictureFetch, KeepsEachRasterPictureOnceSaysWhyOthersFailedAndFetchesNothingTwice) {
    testing_support::SampleBlogService service({"--posts", "3", "--pictures"});
    const sample_blog::SampleBlog blog(u"someone", {.posts = 3, .pictures = true});
    std::vector<offline::CopyPost> posts;
    for (int n = 1; n <= 3; ++n) {
        posts.push_back({blog.post_address(n), blog.post_page(n).html, u""});
    }
    const offline::CopyPlan plan = offline::PlanCopy(posts);
    const testing_support::TempFolder temp;
    const fs::path& folder = temp.path();
    const offline::PictureStore store(folder);

    std::size_t last_done = 0;
    std::size_t last_total = 0;
    const auto progress = [&](std::size_t done, std::size_t total) {
        EXPECT_EQ(done, last_done + (done == 0 ? 0 : 1)); // one at a time, from 0
        last_done = done;
        last_total = total;
    };
    const auto first = window::FetchPictures(plan, store, 4, progress);
    ASSERT_TRUE(first);
    EXPECT_EQ(last_done, 6u); // the shared picture counts once
    EXPECT_EQ(last_total, 6u);

    const std::string shared = "http://hiphotos.baidu.com/_sample/pictures/shared.gif";
    const std::string photo = "http://img.baidu.com/_sample/pictures/photo.jpg";
    const std::string dot = "http://hi.baidu.com/_sample/pictures/dot.png";
    EXPECT_EQ(first->at(shared).file_name, hashed(shared, ".gif"));
    EXPECT_EQ(first->at(photo).file_name, hashed(photo, ".jpg"));
    EXPECT_EQ(first->at(dot).file_name, hashed(dot, ".png"));
    EXPECT_EQ(read_bytes(folder / "images" / hashed(shared, ".gif")), sample_blog::sample_gif());
    EXPECT_EQ(read_bytes(folder / "images" / hashed(photo, ".jpg")), sample_blog::sample_jpeg());
    EXPECT_EQ(read_bytes(folder / "images" / hashed(dot, ".png")), sample_blog::sample_png());
    const auto failure = [&](const std::string& address) {
        const offline::PictureOutcome& outcome = first->at(address);
        EXPECT_EQ(outcome.file_name, "") << address;
        return platform::utf16_to_utf8(outcome.failure);
    };
    EXPECT_NE(failure("http://hi.baidu.com/_sample/pictures/gone.png").find("404"),
              std::string::npos);
    EXPECT_NE(failure("http://hi.baidu.com/_sample/pictures/page.jpg").find("text/html"),
              std::string::npos);
    EXPECT_NE(failure("http://hiphotos.baidu.com/_sample/pictures/huge.png").find("20 MB"),
              std::string::npos);

    // A later save finds the pictures it has and asks only for the ones it could not have.
    const std::string log = service.request_log();
    last_done = 0;
    const auto second = window::FetchPictures(plan, store, 4, progress);
    ASSERT_TRUE(second);
    EXPECT_EQ(last_total, 3u);
    EXPECT_EQ(second->at(shared).file_name, hashed(shared, ".gif"));
    const std::string again = service.request_log().substr(log.size());
    EXPECT_EQ(again.find("shared.gif"), std::string::npos);
    EXPECT_EQ(again.find("photo.jpg"), std::string::npos);
    EXPECT_EQ(again.find("dot.png"), std::string::npos);
    EXPECT_NE(again.find("gone.png"), std::string::npos);
}
