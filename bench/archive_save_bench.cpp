// An archive save of 100 posts with pictures through the stand-in archive over https, with the
// save's own parts (capture index, raw posts, the copy's raw pictures) under one
// ArchiveRequestPolicy; the index, read 10 rows a part, answers a 429 without Retry-After first.
// The argument is the replay pace, the least time in ms between two replay starts: 250 as the
// program goes, 1000 as it went before (a baseline of about 10 minutes). From the stand-in's log
// of archive requests it reports the pace against the archive's limits:
//   index_per_min       most index requests arriving within any 60 s (limit 24; archive 30)
//   index_gap_s         shortest gap between the arrivals of two index requests (2.5 s)
//   replay_per_s        replay requests (raw posts, pictures, their redirects) a second over
//                       the whole save (at most 4; archive 10)
//   replay_gap_s        shortest gap between the arrivals of two replay requests (the pace,
//                       less the few milliseconds by which the way to the stand-in varies)
//   replay_in_flight    most replay requests running at once (at most 2)
//   pause_after_429_s   from the 429 to the next request of any kind (60 s)
//   connections         connections (https tunnels) opened to the archive (at most 2)
// Then, with the network gone (a proxy that takes connections and never answers), how long the
// same save takes to give up (within 3 minutes):
//   unreachable_s
//
//   build/bench/archive_save_bench --benchmark_filter='Pictures/250|Gone'

#include "archive/archive_request_policy.h"
#include "archive/blog_route.h"
#include "archive/capture_index.h"
#include "platform/codepage.h"
#include "platform/http.h"
#include "platform/page_downloads.h"
#include "platform/text.h"
#include "tests/support/loopback_server.h"
#include "tests/support/sample_blog_service.h"
#include "utilities/moddelay.h"
#include "window/post_saver.h"
#include "window/save_pipeline.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int post_count = 100;
const std::u16string typed = u"https://web.archive.org/web/2012/http://hi.baidu.com/someone";

platform::DownloadResult download_one(const std::string& url, platform::RequestPolicy& policy) {
    platform::DownloadResult got;
    platform::PageDownloads download(
        {url}, 1, [&got](std::size_t, platform::DownloadResult result) { got = std::move(result); },
        {}, &policy);
    while (!download.done()) {
        moddelay::pump_until([&] { return download.done(); }, 60000);
    }
    return got;
}

// The save's requests as SaveRun makes them; false when the archive stopped it.
bool archive_save(const fs::path& folder, archive::ArchiveRequestPolicy& policy) {
    const archive::BlogRoute route(typed);
    archive::CaptureIndexReader reader(*route.wayback());
    while (const auto query = reader.next_query()) {
        const platform::DownloadResult part = download_one(platform::utf16_to_utf8(*query), policy);
        if (!part.body || part.status != 200 || !reader.take(*part.body)) {
            break;
        }
    }
    if (policy.unreachable() || policy.blocked()) {
        return false;
    }
    std::vector<std::u16string> posts;
    for (const archive::CaptureEntry& entry : reader.entries()) {
        posts.push_back(u"https://web.archive.org/web/" + entry.timestamp + u"/" + entry.original);
    }
    const std::vector<std::u16string> addresses =
        route.download_addresses(posts, archive::OwnCaptures(reader.entries()));
    // The save itself, as the save button runs it: each post at its original address, with
    // the capture beside it.
    window::SaveJob job{posts,         addresses,  std::vector<std::u16string>(posts.size()),
                        {folder, u""}, u"someone", 4,
                        &policy,       {},         {}};
    for (std::size_t i = 0; i < posts.size(); ++i) {
        if (const auto saved = archive::saved_capture_of(addresses[i])) {
            job.posts[i] = saved->original;
            job.captures[i] = saved->capture;
        }
    }
    const archive::WaybackBlog blog = *route.wayback();
    job.pictures = {[blog](const std::string& picture, const std::string& capture) {
                        const std::u16string address = platform::utf8_to_utf16(picture);
                        return platform::utf16_to_utf8(
                            archive::picture_capture(platform::utf8_to_utf16(capture), address)
                                .value_or(archive::capture_address(blog.archive, blog.timestamp,
                                                                   u"im_", address)));
                    },
                    &policy,
                    {}};
    if (window::RunSave(job).blocked) {
        return false;
    }
    return true;
}

struct Request {
    double start_s = 0;
    double end_s = 0;
    int status = 0;
    bool index = false;
};

// START_MS END_MS IN_FLIGHT STATUS TARGET, one a line.
std::vector<Request> requests_in(const std::string& log) {
    std::vector<Request> requests;
    std::istringstream lines(log);
    std::string start, end, in_flight, status, target;
    while (lines >> start >> end >> in_flight >> status >> target) {
        requests.push_back({std::stod(start) / 1000, end == "-" ? 1e9 : std::stod(end) / 1000,
                            std::stoi(status), target.find("/cdx/") != std::string::npos});
    }
    return requests;
}

// Most starts of the requests in `kind` within any window of `window_s`.
int most_within(const std::vector<Request>& requests, bool index, double window_s) {
    std::vector<double> starts;
    for (const Request& request : requests) {
        if (request.index == index) {
            starts.push_back(request.start_s);
        }
    }
    int most = 0;
    for (std::size_t first = 0; first < starts.size(); ++first) {
        const auto last =
            std::upper_bound(starts.begin(), starts.end(), starts[first] + window_s - 1e-9);
        most = std::max(most, static_cast<int>(last - (starts.begin() + first)));
    }
    return most;
}

void BM_ArchiveSaveOf100PostsWithPictures(benchmark::State& state) {
    const testing_support::SampleBlogService service(
        {"--posts", std::to_string(post_count), "--pictures", "--archive", "full",
         "--archive-429-first", "index=1", "--archive-retry-after", "0",
         "--archive-index-part-rows", "10", "--https"});
    archive::PolitenessLimits limits;
    limits.replay_interval_ms = state.range(0);
    const fs::path folder = fs::temp_directory_path() / "pellumo-archive-save-bench";
    for (auto _ : state) {
        fs::remove_all(folder);
        fs::create_directories(folder);
        archive::ArchiveRequestPolicy policy("https://web.archive.org", limits);
        if (!archive_save(folder, policy)) {
            state.SkipWithError("the archive stopped the save");
        }
    }
    fs::remove_all(folder);
    const std::vector<Request> requests =
        requests_in(platform::http_get("http://hi.baidu.com/_sample/archive-requests"));
    double index_gap = 1e9;
    double replay_gap = 1e9;
    double previous_replay = -1;
    double first_replay = -1;
    int replays = 0;
    double previous_index = -1;
    double pause_after_429 = 0;
    int in_flight = 0;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const Request& request = requests[i];
        if (request.index) {
            if (previous_index >= 0) {
                index_gap = std::min(index_gap, request.start_s - previous_index);
            }
            previous_index = request.start_s;
        } else {
            if (previous_replay >= 0) {
                replay_gap = std::min(replay_gap, request.start_s - previous_replay);
            } else {
                first_replay = request.start_s;
            }
            previous_replay = request.start_s;
            ++replays;
            int running = 0;
            for (const Request& other : requests) {
                running += !other.index && other.start_s <= request.start_s &&
                           other.end_s > request.start_s;
            }
            in_flight = std::max(in_flight, running);
        }
        if (request.status == 429 && i + 1 < requests.size() && pause_after_429 == 0) {
            pause_after_429 = requests[i + 1].start_s - request.end_s;
        }
    }
    state.counters["requests"] = static_cast<double>(requests.size());
    state.counters["index_per_min"] = most_within(requests, true, 60);
    state.counters["index_gap_s"] = index_gap;
    state.counters["replay_per_s"] =
        replays > 1 ? (replays - 1) / (previous_replay - first_replay) : 0.0;
    state.counters["replay_gap_s"] = replay_gap;
    state.counters["replay_in_flight"] = in_flight;
    state.counters["pause_after_429_s"] = pause_after_429;
    state.counters["connections"] = service.archive_connections();
}

void BM_ArchiveSaveWithTheNetworkGone(benchmark::State& state) {
    // Connections are taken and never answered, as a network that swallows packets would.
    const testing_support::LoopbackSocket swallowing(true);
    const std::string proxy = swallowing.url.substr(0, swallowing.url.size() - 1);
    setenv("http_proxy", proxy.c_str(), 1);
    setenv("https_proxy", proxy.c_str(), 1);
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");
    const fs::path folder = fs::temp_directory_path() / "pellumo-archive-gone-bench";
    double seconds = 0;
    for (auto _ : state) {
        fs::create_directories(folder);
        archive::ArchiveRequestPolicy policy("https://web.archive.org");
        const Clock::time_point start = Clock::now();
        if (archive_save(folder, policy) || !policy.unreachable()) {
            state.SkipWithError("the save did not find the archive out of reach");
        }
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
    fs::remove_all(folder);
    unsetenv("http_proxy");
    unsetenv("https_proxy");
    state.counters["unreachable_s"] = seconds;
}

BENCHMARK(BM_ArchiveSaveOf100PostsWithPictures)
    ->Arg(250)
    ->Arg(1000)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();
BENCHMARK(BM_ArchiveSaveWithTheNetworkGone)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
