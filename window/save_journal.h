#pragma once
// What a save through the archive remembers in the user folder, so that a save cut short by a
// block, a closed window or a crash goes on where it stopped and never appends a post twice:
// the list it saves and, for each post, whether its file was written, with the file's size
// before the append. The journal is rewritten whole (temporary file and rename) before and after
// each append.

#include "window/post_saver.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace window {

enum class PostState {
    unsaved,
    appending, // the journal was written, the append may or may not have happened
    written,
    failed,
    duplicate, // left out as a duplicate of another post: counts as written
};

struct JournalPost {
    PostState state = PostState::unsaved;
    std::string file;              // the post file's name in the user folder, once known
    std::uint64_t size_before = 0; // that file's size before the append
    std::u16string reason;         // why it failed
};

struct JournalState {
    std::vector<std::u16string> list; // the addresses saved, in list order
    std::vector<JournalPost> posts;   // one for each of them
    bool finished = false;            // the save ran to its end
};

// Fresh for a list: every post unsaved.
JournalState NewJournal(const std::vector<std::u16string>& list);

std::string JournalText(const JournalState& journal);
// Nothing when the text is not a whole journal.
std::optional<JournalState> ParseJournal(std::string_view text);

// The journal's and the failed posts' files in the user folder.
std::filesystem::path JournalFile(const std::filesystem::path& user_folder);
std::filesystem::path FailedPostsFile(const std::filesystem::path& user_folder);

std::optional<JournalState> ReadJournal(const std::filesystem::path& user_folder);

// "number<TAB>address<TAB>reason" a line, for each failed post; empty when none failed.
std::string FailedPostsText(const JournalState& journal);

// How many posts count as written, and how many failed.
std::size_t WrittenCount(const JournalState& journal);
std::size_t FailedCount(const JournalState& journal);

enum class ResumeKind {
    none,   // a new save: no box
    resume, // the last save of this list did not finish
    retry,  // it finished, every post written but the failed ones
};

struct ResumeOffer {
    ResumeKind kind = ResumeKind::none;
    std::size_t written = 0;
    std::size_t total = 0;
    std::size_t failed = 0;
};

// What to offer before saving `list`, given the journal found in the user folder.
ResumeOffer OfferFor(const std::optional<JournalState>& journal,
                     const std::vector<std::u16string>& list);

std::u16string ResumeQuestion(const ResumeOffer& offer);
std::u16string RetryQuestion(const ResumeOffer& offer);

// For each post of the list, whether the save the user agreed to downloads it: every post not
// written for a resume (the failed ones too), only the failed ones for a retry.
std::vector<bool> PostsToSave(const JournalState& journal, ResumeKind kind);

// The crash rule: each post to be saved again whose file is longer than the size recorded
// before its last append is cut back to that size, so that its body is not appended twice.
void CutBackUnfinishedAppends(const std::filesystem::path& user_folder, const JournalState& journal,
                              const std::vector<bool>& to_save);

// How a save of `posts` through the archive starts, after the one box that may ask (is `ask`ed
// and answered): where its journal starts from, the posts it downloads and whether it uses the
// spool kept by the save it resumes. A post cut short by a crash is cut back either way.
struct SavePlan {
    JournalState start;
    std::vector<bool> to_save;
    bool kept_spool = false;
};
SavePlan PlanSave(const std::filesystem::path& user_folder,
                  const std::vector<std::u16string>& posts,
                  const std::function<bool(std::u16string_view question)>& ask);

// For tests of a crash only: where a child process is to end itself.
enum class CrashPoint { none, before_append, during_append, after_append };

// The journal of a running save, on the one thread that writes the post files. A journal that
// cannot be written costs nothing but the chance to resume.
class SaveJournal {
public:
    SaveJournal(std::filesystem::path user_folder, JournalState start);

    // Before the post's body is appended to `file` (a file in the user folder).
    void before_append(std::size_t index, const std::filesystem::path& file);
    // After the append; `failure` empty when the post was written.
    void after_append(std::size_t index, std::u16string_view failure);
    // What the append of post `number` (from 1) tells the journal before it starts, and in a
    // test of a crash, where the append may end the process.
    blog::AppendWatch append_watch(std::size_t number);
    // A post left out of the save as a duplicate of another.
    void skipped_as_duplicate(std::size_t index);
    // The save ran to its end: the failed posts' list is written beside the journal, or
    // removed when none failed.
    void finish();

    const JournalState& state() const { return m_state; }

    // Tests only: the process ends itself at that point of the append of post `number`.
    static void set_crash_point(CrashPoint point, std::size_t number);
    // Called at each point by the append; ends the process when it is the one chosen.
    static void reached(CrashPoint point, std::size_t number);
    static bool crash_during(std::size_t number);

private:
    void write() const;

    std::filesystem::path m_folder;
    JournalState m_state;
};

} // namespace window
