#pragma once
// The save's browsable copy: why a post counts as failed, and the pictures downloaded beside the
// posts once the post files are all written. No GTK: the save shows the progress through a
// callback.

#include "offline/copy_pages.h"
#include "offline/copy_writer.h"
#include "platform/page_downloads.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace window {

// Why the save counts a download as failed; empty when it counts it as saved. `written` is what
// blog::SavePost said, `page` the decoded page it was given.
std::u16string PostFailure(const platform::DownloadResult& result, std::u16string_view page,
                           bool written);

// A downloaded picture checked and stored, or why it could not be.
offline::PictureOutcome StorePicture(const offline::PictureStore& store, std::string_view address,
                                     const platform::DownloadResult& result);

using PictureProgress = std::function<void(std::size_t done, std::size_t total)>;

// Where pictures come from: their own addresses, or another one for each (an archive's raw
// capture, given the capture of the post that shows it), under a policy that every download
// asks first, and how their downloads are waited for (by default events are served until they
// are done).
struct PictureSource {
    std::function<std::string(const std::string& picture, const std::string& capture)>
        download_address;
    platform::RequestPolicy* policy = nullptr;
    std::function<void(platform::PageDownloads&)> wait;
};

// Downloads the plan's pictures that are not already whole in the store, at most `parallel` at
// a time, and stores them. `progress` hears of each one finished. Nothing when the program was
// asked to quit meanwhile.
std::optional<offline::PictureOutcomes> FetchPictures(const offline::CopyPlan& plan,
                                                      const offline::PictureStore& store,
                                                      std::size_t parallel,
                                                      const PictureProgress& progress,
                                                      const PictureSource& source = {});

enum class CopyResult {
    written,
    incomplete, // some of the copy could not be written
    stopped,    // the program was asked to quit before it was written
};

} // namespace window
