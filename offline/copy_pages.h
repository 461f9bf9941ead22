#pragma once
// The pages of the offline copy, built from what the save had. For whoever wires the save:
//
//   1. After the posts are downloaded: plan = PlanCopy(posts). plan.pictures lists every picture
//      address the saved posts show, each once.
//   2. For each of them, PictureStore (copy_writer.h) says whether it is already on disk; the
//      others are downloaded, checked with CheckPicture (picture.h) and stored. Each ends as a
//      PictureOutcome: its file name, or why there is none.
//   3. The pages from CopyPageBuilder, written by WriteCopy (copy_writer.h); BuildPages gives
//      them all at once.
//
// Posts keep their place in the list as their number, as the post files do. A post that was not
// saved has no page: the index lists it apart, with its address and the reason, and the
// previous/next links of the other pages pass over it.

#include "blog/post_page.h"
#include "offline/body_clean.h"
#include "offline/post_facts.h"
#include "offline/post_numbers.h"

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace offline {

struct CopyPost {
    // The post's own address, which its body's relative addresses resolve against: the list
    // item for a live save; the blog's original address for a post saved from the archive.
    std::u16string address;
    std::optional<std::u16string> page; // the page text, when the post was saved
    std::u16string failure;             // otherwise why not: the HTTP status, a limit, the error
    // The archive's replay address of the capture the post was saved from; empty for a post
    // saved from the blog itself.
    std::u16string capture = {};
    // How the save read the page, by its layout; when not given, the page is read again here.
    std::optional<blog::PostCut> cut = {};
};

struct PreparedPost {
    std::size_t number = 0; // place in the list, from 1
    std::string address;    // UTF-8, as in CopyPost
    std::string capture;    // UTF-8, as in CopyPost
    bool saved = false;
    std::string title; // decoded, blanks kept
    CleanBody body;
    PostFacts facts;
    std::string failure;
};

struct CopyPlan {
    std::vector<PreparedPost> posts;
    std::vector<std::string> pictures;
    // For each picture of a post saved from the archive, the capture of the first post that
    // shows it: the archive is asked for the picture as it was then.
    std::map<std::string, std::string> picture_captures;
};

CopyPlan PlanCopy(const std::vector<CopyPost>& posts);

// The same in two steps, so that a save can keep each post's cut and cleaned text instead of
// its whole page until the copy is built. `number` is the post's place in the list, from 1. The
// page is let go as soon as the body is cut from it.
PreparedPost PreparePost(std::size_t number, CopyPost post);
CopyPlan PlanCopy(std::vector<PreparedPost> posts);

// What the pages need of a post besides its body: small enough to keep for every post while the
// bodies wait on disk.
struct PostSummary {
    std::size_t number = 0;
    std::string address; // as in PreparedPost
    std::string capture;
    bool saved = false;
    std::string title;
    std::string failure;
    std::vector<std::string> pictures; // PicturesOf its body
    PostFacts facts;
};
PostSummary SummaryOf(const PreparedPost& post);

// Every picture the saved posts show, each once, in list order, with the capture of the first
// post that shows it (PlanCopy's pictures, without the posts).
CopyPlan PlanPictures(const std::vector<PostSummary>& posts);

struct PictureOutcome {
    std::string file_name; // in images/; empty when the picture could not be had
    std::u16string failure;
};
using PictureOutcomes = std::map<std::string, PictureOutcome>;

// The copy's pages, a saved post's body at a time: post_page and all_article need only that
// post's body, so a writer can stream all.html without holding the others.
class CopyPageBuilder {
public:
    // `posts` in list order; `pictures` must outlive the builder.
    CopyPageBuilder(std::vector<PostSummary> posts, const PictureOutcomes& pictures,
                    std::u16string_view user_name, std::u16string_view backup_time);

    // Every post, in list order.
    const std::vector<PostSummary>& posts() const { return m_posts; }
    // The saved posts, in list order; `k` below counts among them.
    std::size_t saved_count() const { return m_saved.size(); }
    std::size_t number_of(std::size_t k) const { return m_posts[m_saved[k]].number; }

    // The files in images/ the pages show.
    std::set<std::string> picture_files() const;

    std::string post_page(std::size_t k, const CleanBody& body) const;
    // all.html is all_start(), all_article(k, body) for each saved post, then all_end().
    std::string all_start() const;
    std::string all_article(std::size_t k, const CleanBody& body) const;
    static std::string all_end();
    std::string index_page() const;

private:
    BodyTargets targets(std::string picture_folder, std::string post_prefix,
                        std::string post_suffix) const;
    std::string post_nav(std::size_t k) const;

    std::vector<PostSummary> m_posts;
    const PictureOutcomes& m_pictures;
    std::string m_user;
    std::string m_time;
    std::vector<std::size_t> m_saved; // indexes in m_posts
    PostNumbers m_numbers;            // saved posts only
};

struct CopyPages {
    std::string index;
    std::string all;
    std::vector<std::pair<std::size_t, std::string>> posts; // number, page
    std::set<std::string> pictures;                         // the files in images/ they show
};

// Every page at once, from bodies held in memory.
CopyPages BuildPages(const CopyPlan& plan, const PictureOutcomes& pictures,
                     std::u16string_view user_name, std::u16string_view backup_time);

} // namespace offline
