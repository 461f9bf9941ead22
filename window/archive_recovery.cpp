// A blog the service no longer serves, found again in the archive.

#include "window/form1.h"

#include "archive/archive_politeness.h"
#include "archive/archive_request_policy.h"
#include "archive/blog_recovery.h"
#include "platform/message_box.h"
#include "platform/quit_request.h"
#include "platform/text.h"
#include "window/waiting_caption.h"

namespace {

constexpr std::u16string_view recovery_question =
    u"没有找到文章。百度空间已于2015年关闭，要从网页时光机（web.archive.org）恢复这个博客吗？";
constexpr std::u16string_view not_archived_text = u"网页时光机里没有这个博客";

} // namespace

void Form1::offer_archive_recovery(const std::u16string& typed) {
    const std::optional<std::u16string> user = archive::live_blog_user(typed);
    if (!user || list1_count() != 0 || platform::quit_requested()) {
        return;
    }
    if (!platform::MsgBoxYesNo(recovery_question) || platform::quit_requested()) {
        return;
    }
    std::optional<std::u16string> timestamp;
    {
        const BusyScope busy(*this);
        const InputBlock deaf(*this);
        // What the archive told us earlier in this run still holds.
        archive::ArchiveRequestPolicy& politeness =
            m_archive_policies.for_run(platform::utf16_to_utf8(archive::RecoveryArchive));
        window::WaitingCaption caption(Command1, &politeness,
                                       platform::utf8_to_utf16(Command1.get_label().raw()));
        // The list page's captures first; the blog's own address only when it has none.
        std::vector<archive::CaptureEntry> rows;
        for (const std::u16string& candidate : archive::recovery_candidates(*user)) {
            const std::optional<std::string> body = fetch_from_archive(
                archive::address_captures_query(archive::RecoveryArchive, candidate), politeness,
                caption);
            if (platform::quit_requested()) {
                return;
            }
            archive::CaptureIndexPart part =
                body ? archive::parse_capture_index(*body) : archive::CaptureIndexPart{};
            if (archive_stopped(&politeness)) {
                return;
            }
            if (!body || !part.error.empty()) {
                platform::MsgBox(archive::UnreachableMessage);
                return;
            }
            rows.insert(rows.end(), part.entries.begin(), part.entries.end());
            if ((timestamp = archive::recovery_timestamp(*user, rows))) {
                break;
            }
        }
    }
    if (!timestamp) {
        platform::MsgBox(not_archived_text);
        return;
    }
    txtblog.set_text(platform::utf16_to_utf8(
        archive::recovery_address(archive::RecoveryArchive, *timestamp, *user)));
    HarvestRun();
}
