#include "window/offline_copy_run.h"

#include "offline/picture.h"
#include "platform/quit_request.h"
#include "platform/text.h"
#include "utilities/moddelay.h"
#include "window/post_saver.h"

#include <cstdint>
#include <utility>

namespace window {
namespace {

constexpr std::uint32_t wait_slice_ms = 60000;

// A page's bounds, but no picture is kept past its own size limit.
platform::HttpLimits picture_limits() {
    platform::HttpLimits limits;
    limits.max_body_bytes = offline::max_picture_bytes;
    return limits;
}

// Why a download gave nothing worth keeping; empty when it did.
std::u16string download_failure(const platform::DownloadResult& result,
                                const platform::HttpLimits& limits) {
    if (!result.body) {
        switch (result.failure) {
        case platform::FetchFailure::too_large:
            return u"超过 " +
                   platform::decimal(static_cast<long long>(limits.max_body_bytes >> 20)) +
                   u" MB 上限";
        case platform::FetchFailure::too_long:
            return u"下载超时";
        case platform::FetchFailure::stalled:
            return u"下载停滞";
        case platform::FetchFailure::blocked:
            return u"网页时光机拒绝访问";
        case platform::FetchFailure::unreachable:
            return u"无法连接网页时光机";
        case platform::FetchFailure::none:
        case platform::FetchFailure::error:
            break;
        }
        return u"下载失败：" + platform::utf8_to_utf16(result.error);
    }
    if (result.status >= 400) {
        return u"HTTP " + platform::decimal(result.status);
    }
    return {};
}

} // namespace

std::u16string PostFailure(const platform::DownloadResult& result, std::u16string_view page,
                           bool written) {
    std::u16string failure = download_failure(result, platform::HttpLimits{});
    if (failure.empty() && !written) {
        failure = blog::CutPostText(page).has_body() ? u"文件无法写入" : u"页面中没有文章正文";
    }
    return failure;
}

offline::PictureOutcome StorePicture(const offline::PictureStore& store, std::string_view address,
                                     const platform::DownloadResult& result) {
    if (std::u16string failure = download_failure(result, picture_limits()); !failure.empty()) {
        return {{}, std::move(failure)};
    }
    const offline::PictureCheck check = offline::CheckPicture(result.content_type, *result.body);
    if (check.extension.empty()) {
        return {{}, check.refusal};
    }
    if (auto name = store.Store(address, check.extension, *result.body)) {
        return {std::move(*name), {}};
    }
    return {{}, u"图片无法写入"};
}

std::optional<offline::PictureOutcomes>
FetchPictures(const offline::CopyPlan& plan, const offline::PictureStore& store,
              std::size_t parallel, const PictureProgress& progress, const PictureSource& source) {
    offline::PictureOutcomes outcomes;
    std::vector<std::string> wanted;
    for (const std::string& address : plan.pictures) {
        if (auto name = store.Existing(address)) {
            outcomes[address] = {std::move(*name), {}};
        } else {
            wanted.push_back(address);
        }
    }
    if (wanted.empty()) {
        return outcomes;
    }
    progress(0, wanted.size());
    std::vector<std::string> urls = wanted;
    if (source.download_address) {
        for (std::string& url : urls) {
            const auto capture = plan.picture_captures.find(url);
            url = source.download_address(
                url, capture == plan.picture_captures.end() ? std::string() : capture->second);
        }
    }
    std::size_t done = 0;
    platform::PageDownloads downloads(
        std::move(urls), parallel,
        [&](std::size_t index, platform::DownloadResult result) {
            outcomes[wanted[index]] = StorePicture(store, wanted[index], result);
            progress(++done, wanted.size());
        },
        picture_limits(), source.policy);
    if (source.wait) {
        source.wait(downloads);
    }
    while (!downloads.done() && !platform::quit_requested()) {
        moddelay::pump_until([&] { return downloads.done(); }, wait_slice_ms);
    }
    downloads.rethrow_failure();
    if (platform::quit_requested()) {
        return std::nullopt;
    }
    return outcomes;
}

} // namespace window
