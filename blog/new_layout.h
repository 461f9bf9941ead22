#pragma once
// The rules of the layout the blog service used from 2012 until it closed. A post lives at
//   http://hi.baidu.com/<user>/item/<24 hexadecimal digits>
// the blog's list pages are http://hi.baidu.com/<user>?page=N, and a post page reads
//   <title>标题_空间名_百度空间</title> ...
//   <div class="content-other-info"><span>2013-04-05 21:07</span></div>
//   <h2 class="title content-title">标题</h2>
//   <div id="content" class="content mod-cs-content text-content clearfix">正文</div>
//   <a href="http://hi.baidu.com/tag/旅行/feeds">#旅行</a>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace blog {

// The canonical address of a post of `user` in this layout: "http://", the host in lower case,
// the hexadecimal digits in lower case, no port, query or fragment. Nothing when `address` is
// not such a post of that user (the user's percent escapes may differ in case).
std::optional<std::u16string> NewLayoutPostAddress(std::u16string_view address,
                                                   std::u16string_view user);

// The user a typed name stands for in this layout: during the changeover the home was also
// reachable at http://hi.baidu.com/new/<user>, so a leading "new/" is left out.
std::u16string NewLayoutUser(std::u16string_view user_name);

// http://hi.baidu.com/<user> and its list page k (from 1): http://hi.baidu.com/<user>?page=k.
std::u16string NewLayoutHomeAddress(std::u16string_view user);
std::u16string NewLayoutListPageAddress(std::u16string_view user, long long k);

// A list page of this layout: it holds a post entry (article.mod-blogitem, or a div of the
// classes mod-realcontent and mod-cs-contentblock) or the pager <div id="pagerBar">.
bool IsNewLayoutListPage(std::u16string_view page);

// The number of list pages, from the pager's script ("pageSize = 12"); 1 when the page has no
// pager or its script no readable count.
int NewLayoutPageCount(std::u16string_view page);

// A post page cut by this layout's markup. Positions are UTF-16 units in the page given.
struct NewLayoutPost {
    std::u16string title; // the h2's text, else the <title> up to its first "_"; as shown
    std::size_t body_begin = 0;
    std::size_t body_end = 0;
    struct Date {
        int year = 0;
        int month = 0;
        int day = 0;
        int hour = 0;
        int minute = 0;
    };
    std::optional<Date> date; // as shown, China time
    std::vector<std::u16string> tags;
};

// Nothing when the page has no element of id "content" and class "content", or no title.
std::optional<NewLayoutPost> CutNewLayoutPost(std::u16string_view page);

// The charset a page of this layout declares: the Content-Type header's, else a <meta charset>
// or http-equiv in its first 1,024 bytes; lower case, empty when none.
std::string DeclaredCharset(std::string_view bytes, std::string_view content_type);

// The page decoded by its declared charset: UTF-8, or GBK (code page 936) when it declares
// that, none or one not known here.
std::u16string DecodeNewLayoutPage(std::string_view bytes, std::string_view content_type);

} // namespace blog
