#include "window/save_journal.h"

#include "platform/text.h"
#include "window/kept_list.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace window {
namespace {

constexpr std::string_view journal_mark = "pellumo save journal 1";

constexpr std::array<std::pair<PostState, std::string_view>, 5> state_names{{
    {PostState::unsaved, "unsaved"},
    {PostState::appending, "appending"},
    {PostState::written, "written"},
    {PostState::failed, "failed"},
    {PostState::duplicate, "duplicate"},
}};

std::string_view name_of(PostState state) {
    for (const auto& [known, name] : state_names) {
        if (known == state) {
            return name;
        }
    }
    return "unsaved";
}

std::optional<PostState> state_named(std::string_view name) {
    for (const auto& [known, known_name] : state_names) {
        if (known_name == name) {
            return known;
        }
    }
    return std::nullopt;
}

// Fields are tab-separated and lines end in "\n": both, and "\", are escaped inside a field.
std::string escaped(std::string_view field) {
    std::string out;
    for (const char c : field) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::optional<std::string> unescaped(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        if (++i == field.size()) {
            return std::nullopt;
        }
        switch (field[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t at = text.find(separator); at != std::string_view::npos;
         at = text.find(separator, start)) {
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

std::optional<std::uint64_t> number_in(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::optional<JournalPost> parse_post(std::string_view line) {
    const std::vector<std::string_view> fields = split(line, '\t');
    if (fields.size() != 4) {
        return std::nullopt;
    }
    const std::optional<PostState> state = state_named(fields[0]);
    const std::optional<std::uint64_t> size = number_in(fields[1]);
    std::optional<std::string> file = unescaped(fields[2]);
    const std::optional<std::string> reason = unescaped(fields[3]);
    if (!state || !size || !file || !reason) {
        return std::nullopt;
    }
    return JournalPost{*state, std::move(*file), *size, platform::utf8_to_utf16(*reason)};
}

std::string read_all(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool counts_as_written(PostState state) {
    return state == PostState::written || state == PostState::duplicate;
}

std::atomic<CrashPoint> crash_point = CrashPoint::none;
std::atomic<std::size_t> crash_number = 0;

} // namespace

JournalState NewJournal(const std::vector<std::u16string>& list) {
    return {list, std::vector<JournalPost>(list.size()), false};
}

std::string JournalText(const JournalState& journal) {
    std::string text(journal_mark);
    text += "\nfinished " + std::string(journal.finished ? "1" : "0");
    text += "\nposts " + std::to_string(journal.list.size()) + "\n";
    for (const std::u16string& address : journal.list) {
        text += escaped(platform::utf16_to_utf8(address)) + "\n";
    }
    for (const JournalPost& post : journal.posts) {
        text += std::string(name_of(post.state)) + "\t" + std::to_string(post.size_before) + "\t" +
                escaped(post.file) + "\t" + escaped(platform::utf16_to_utf8(post.reason)) + "\n";
    }
    return text;
}

std::optional<JournalState> ParseJournal(std::string_view text) {
    if (text.empty() || text.back() != '\n') {
        return std::nullopt; // cut short
    }
    const std::vector<std::string_view> lines = split(text.substr(0, text.size() - 1), '\n');
    if (lines.size() < 3 || lines[0] != journal_mark ||
        (lines[1] != "finished 0" && lines[1] != "finished 1") || !lines[2].starts_with("posts ")) {
        return std::nullopt;
    }
    const std::optional<std::uint64_t> count = number_in(lines[2].substr(6));
    if (!count || lines.size() != 3 + 2 * *count) {
        return std::nullopt;
    }
    JournalState journal;
    journal.finished = lines[1] == "finished 1";
    for (std::size_t i = 0; i < *count; ++i) {
        const std::optional<std::string> address = unescaped(lines[3 + i]);
        std::optional<JournalPost> post = parse_post(lines[3 + *count + i]);
        if (!address || !post) {
            return std::nullopt;
        }
        journal.list.push_back(platform::utf8_to_utf16(*address));
        journal.posts.push_back(std::move(*post));
    }
    return journal;
}

fs::path JournalFile(const fs::path& user_folder) {
    return RecoveryFolder(user_folder) / "保存进度.txt";
}

fs::path FailedPostsFile(const fs::path& user_folder) {
    return RecoveryFolder(user_folder) / "保存失败的文章.txt";
}

std::optional<JournalState> ReadJournal(const fs::path& user_folder) {
    return ParseJournal(read_all(JournalFile(user_folder)));
}

std::string FailedPostsText(const JournalState& journal) {
    std::string text;
    for (std::size_t i = 0; i < journal.posts.size(); ++i) {
        if (journal.posts[i].state == PostState::failed) {
            text += std::to_string(i + 1) + "\t" + platform::utf16_to_utf8(journal.list[i]) + "\t" +
                    platform::utf16_to_utf8(journal.posts[i].reason) + "\n";
        }
    }
    return text;
}

std::size_t WrittenCount(const JournalState& journal) {
    std::size_t count = 0;
    for (const JournalPost& post : journal.posts) {
        count += counts_as_written(post.state) ? 1 : 0;
    }
    return count;
}

std::size_t FailedCount(const JournalState& journal) {
    std::size_t count = 0;
    for (const JournalPost& post : journal.posts) {
        count += post.state == PostState::failed ? 1 : 0;
    }
    return count;
}

ResumeOffer OfferFor(const std::optional<JournalState>& journal,
                     const std::vector<std::u16string>& list) {
    if (!journal || journal->list != list || list.empty()) {
        return {};
    }
    const ResumeOffer counts{ResumeKind::none, WrittenCount(*journal), list.size(),
                             FailedCount(*journal)};
    if (!journal->finished) {
        return {ResumeKind::resume, counts.written, counts.total, counts.failed};
    }
    if (counts.failed > 0 && counts.written + counts.failed == counts.total) {
        return {ResumeKind::retry, counts.written, counts.total, counts.failed};
    }
    return {};
}

std::u16string ResumeQuestion(const ResumeOffer& offer) {
    return u"上次的保存没有完成：已保存" +
           platform::decimal(static_cast<long long>(offer.written)) + u"篇，共" +
           platform::decimal(static_cast<long long>(offer.total)) + u"篇。只保存其余的文章吗？";
}

std::u16string RetryQuestion(const ResumeOffer& offer) {
    return u"上次有" + platform::decimal(static_cast<long long>(offer.failed)) +
           u"篇文章保存失败。只重试这些文章吗？";
}

std::vector<bool> PostsToSave(const JournalState& journal, ResumeKind kind) {
    std::vector<bool> to_save(journal.posts.size(), true);
    for (std::size_t i = 0; i < journal.posts.size(); ++i) {
        const PostState state = journal.posts[i].state;
        if (kind == ResumeKind::resume) {
            to_save[i] = !counts_as_written(state);
        } else if (kind == ResumeKind::retry) {
            to_save[i] = state == PostState::failed;
        }
    }
    return to_save;
}

void CutBackUnfinishedAppends(const fs::path& user_folder, const JournalState& journal,
                              const std::vector<bool>& to_save) {
    for (std::size_t i = 0; i < journal.posts.size() && i < to_save.size(); ++i) {
        const JournalPost& post = journal.posts[i];
        if (!to_save[i] || post.file.empty() || post.state == PostState::unsaved) {
            continue;
        }
        // The name is one this program made, but a damaged journal must not reach elsewhere.
        const fs::path name(post.file);
        if (name.has_parent_path() || name == "." || name == "..") {
            continue;
        }
        const fs::path file = user_folder / name;
        std::error_code error;
        const std::uintmax_t size = fs::file_size(file, error);
        if (!error && size > post.size_before) {
            fs::resize_file(file, post.size_before, error);
        }
    }
}

SavePlan PlanSave(const fs::path& user_folder, const std::vector<std::u16string>& posts,
                  const std::function<bool(std::u16string_view question)>& ask) {
    const std::optional<JournalState> journal = ReadJournal(user_folder);
    const ResumeOffer offer = OfferFor(journal, posts);
    if (offer.kind != ResumeKind::none &&
        ask(offer.kind == ResumeKind::resume ? ResumeQuestion(offer) : RetryQuestion(offer))) {
        std::vector<bool> to_save = PostsToSave(*journal, offer.kind);
        CutBackUnfinishedAppends(user_folder, *journal, to_save);
        return {*journal, std::move(to_save), true};
    }
    if (journal && journal->list == posts) {
        // Saving every post again appends, as it always has, but never after half a body.
        std::vector<bool> appending(posts.size());
        for (std::size_t i = 0; i < posts.size(); ++i) {
            appending[i] = journal->posts[i].state == PostState::appending;
        }
        CutBackUnfinishedAppends(user_folder, *journal, appending);
    }
    return {NewJournal(posts), {}, false};
}

SaveJournal::SaveJournal(fs::path user_folder, JournalState start)
    : m_folder(std::move(user_folder)), m_state(std::move(start)) {
    m_state.finished = false;
    write();
}

void SaveJournal::before_append(std::size_t index, const fs::path& file) {
    JournalPost& post = m_state.posts.at(index);
    std::error_code error;
    const std::uintmax_t size = fs::file_size(file, error);
    post = {PostState::appending, file.filename().string(), error ? 0 : size, {}};
    write();
    reached(CrashPoint::before_append, index + 1);
}

void SaveJournal::after_append(std::size_t index, std::u16string_view failure) {
    reached(CrashPoint::after_append, index + 1);
    JournalPost& post = m_state.posts.at(index);
    post.state = failure.empty() ? PostState::written : PostState::failed;
    post.reason = failure;
    write();
}

blog::AppendWatch SaveJournal::append_watch(std::size_t number) {
    blog::AppendWatch watch{
        [this, number](const std::filesystem::path& file) { before_append(number - 1, file); }, {}};
    if (crash_during(number)) {
        watch.halfway = [number] { reached(CrashPoint::during_append, number); };
    }
    return watch;
}

void SaveJournal::skipped_as_duplicate(std::size_t index) {
    m_state.posts.at(index) = {PostState::duplicate, {}, 0, {}};
    write();
}

void SaveJournal::finish() {
    m_state.finished = true;
    write();
    const std::string failed = FailedPostsText(m_state);
    if (failed.empty()) {
        std::error_code ignored;
        fs::remove(FailedPostsFile(m_folder), ignored);
    } else {
        WriteRecoveryFile(FailedPostsFile(m_folder), failed);
    }
}

void SaveJournal::write() const {
    WriteRecoveryFile(JournalFile(m_folder), JournalText(m_state));
}

void SaveJournal::set_crash_point(CrashPoint point, std::size_t number) {
    crash_number = number;
    crash_point = point;
}

void SaveJournal::reached(CrashPoint point, std::size_t number) {
    if (point != CrashPoint::none && crash_point == point && crash_number == number) {
        ::_exit(86); // as abrupt as kill -9: nothing is flushed or unwound
    }
}

bool SaveJournal::crash_during(std::size_t number) {
    return crash_point == CrashPoint::during_append && crash_number == number;
}

} // namespace window
