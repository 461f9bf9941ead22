#pragma once
// The whole save without GTK, as the save button and the benchmarks run it: the posts are
// downloaded a few at a time, and each one, as it arrives, is decoded, written to its post file
// and prepared for the browsable copy on a thread of its own, one post at a time, so that the
// window stays live whatever the posts hold. No new download starts while as many posts as may
// download at once are downloading or waiting for that thread, so pages never pile up in memory.
// Each prepared post goes to the copy's body spool and to any further sinks; the copy's pages are
// built from the spool once the pictures are in.

#include "offline/copy_pages.h"
#include "platform/request_policy.h"
#include "window/exports_run.h"
#include "window/offline_copy_run.h"
#include "window/post_saver.h"
#include "window/save_journal.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace window {

// A further consumer of every prepared post (its number, title, cleaned body, pictures and
// address). It is handed the posts on the preparation thread, one at a time, in list order.
class PreparedPostSink {
public:
    virtual ~PreparedPostSink() = default;
    // Throwing counts as a fault in the copy: the save goes on and says the copy is incomplete.
    virtual void take(const offline::PreparedPost& post) = 0;
    // Once the copy's pages are written (not when the save was stopped or blocked), on the same
    // thread: every post in list order, the pictures the copy holds, and each saved post's body
    // again, from the spool, by its number. Throwing counts as in take().
    virtual void finish(const std::vector<offline::PostSummary>& /*posts*/,
                        const offline::PictureOutcomes& /*pictures*/,
                        const offline::BodyLoader& /*body_of*/) {}
};

// A save that can be resumed (through the archive): its journal, the posts it downloads, and
// whether it builds on the spool a save of the same list kept.
struct ResumableSave {
    SaveJournal* journal = nullptr; // told of every append, on the preparation thread
    std::vector<bool> to_save;      // for each post of the list; empty: every post
    bool kept_spool = false;
};

struct SaveJob {
    // Each post's own address, which the copy resolves its body against; each keeps its place in
    // the list as its number.
    std::vector<std::u16string> posts;
    std::vector<std::u16string> downloads; // where each of them is downloaded from
    // For a post downloaded from the archive, the replay address of its capture; empty for the
    // others (or altogether).
    std::vector<std::u16string> captures;
    blog::SaveTarget target;
    std::u16string user_name;
    std::size_t parallel = 4; // downloads at once, and posts downloading or waiting, at most
    platform::RequestPolicy* policy = nullptr; // every download asks it first
    PictureSource pictures;
    std::vector<PreparedPostSink*> sinks;
    // When set, the Hugo site and the WordPress file are written after the copy, from its spool,
    // even when some of its pages could not be; a close stops them between posts, and the
    // exports of an earlier save stay whole unless these are written whole.
    const ExportsSource* exports = nullptr;
    // Set for a save that can be resumed; the posts it does not download count as saved before,
    // and the copy and the exports take them from the spool, which stays in the user folder
    // until every post is written.
    const ResumableSave* resumable = nullptr;
};

struct SaveEvents {
    // The progress caption, in full and short: the posts saved, then the pictures.
    std::function<void(std::u16string_view full, std::u16string_view short_form)> show;
    // Serves events until `done` holds or the program is asked to quit; by default the events of
    // the thread's main context.
    std::function<void(const std::function<bool()>& done)> wait;
    // The pace of the work at hand: the posts downloaded in this save, then the pictures.
    std::function<void(std::size_t done, std::size_t total)> pace;
};

struct SaveOutcome {
    bool blocked = false; // the archive shut us out or did not answer: nothing more was asked of
                          // it, no copy
    bool stopped = false; // the program was asked to quit: the work ended after the post at hand
    std::size_t failures = 0;
    CopyResult copy = CopyResult::written;
    bool exported = true; // false when the exports could not be written whole
    // Posts not written again: the same post as one written before it, in the other layout.
    std::size_t repeated = 0;
};

// The caption's text while saving, before the count.
inline constexpr std::u16string_view SavingCaption = u"正在保存";

// A fault in writing a post file is thrown from here, as the downloads would throw it.
SaveOutcome RunSave(const SaveJob& job, const SaveEvents& events = {});

} // namespace window
