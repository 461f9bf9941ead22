#pragma once
// The sample blog service's command line.

#include "tools/sample_blog/archive_options.h"
#include "tools/sample_blog/blog_model.h"

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace sample_blog {

struct ServiceOptions {
    int port = 0; // 0: any free port
    BlogOptions blog;
    std::chrono::milliseconds latency{0};                // before every answer
    std::set<int> missing_posts;                         // post numbers that answer 404
    std::map<int, std::chrono::milliseconds> slow_pages; // list page -> extra delay
    ArchiveOptions archive;                              // web.archive.org, when enabled
    bool live_gone = false; // the service closed: its blogs' pages answer 404, files remain
    // PEM files of the archive's certificate and key: the archive then answers https through
    // CONNECT, and moves every http request for it to https.
    std::string tls_cert;
    std::string tls_key;
};

inline constexpr const char* k_usage =
    "usage: sample_blog [--port N] [--posts N] [--per-page N] [--latency-ms N]\n"
    "                   [--not-found N]... [--slow-page K=MS]... [--pictures] [--live-gone]\n"
    "                   [--hostile] [--greeting] [--export-trials]\n"
    "                   [--pager-variant normal|missing-last|missing-next|reversed|no-number]\n"
    "                   [--archive gaps|full] [--archive-missing-list-page K]...\n"
    "                   [--archive-index-only-post N]... [--archive-uncaptured-post N]...\n"
    "                   [--archive-closed-post N]... [--archive-unknown-user NAME]...\n"
    "                   [--archive-429-every N]\n"
    "                   [--archive-429-first KIND=N]... [--archive-503-first KIND=N]...\n"
    "                   [--archive-retry-after S] [--archive-block-impatient 0|1]\n"
    "                   [--archive-pagerless-home 0|1]\n"
    "                   [--tls-cert PEM --tls-key PEM]\n"
    "                   KIND: replay|raw|image|index\n";

// std::invalid_argument, with a message naming the option, for anything it cannot read.
ServiceOptions parse_options(const std::vector<std::string>& arguments);

} // namespace sample_blog
