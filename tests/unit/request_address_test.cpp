// Expected forms are what browsers send for these addresses (the WHATWG URL rules), checked
// against the request lines WebKitGTK 6 sent through a proxy.

#include "platform/request_address.h"

#include <gtest/gtest.h>

using platform::request_address;

TEST(RequestAddress, BlanksAndNonAsciiInThePathArePercentEncodedAsUtf8) {
    EXPECT_EQ(request_address("http://hi.baidu.com/my name/blog"),
              "http://hi.baidu.com/my%20name/blog");
    EXPECT_EQ(request_address("http://hi.baidu.com/空间/blog/index/1"),
              "http://hi.baidu.com/%E7%A9%BA%E9%97%B4/blog/index/1");
    EXPECT_EQ(request_address("http://h/\"<>`{}^\x7F\x01/"),
              "http://h/%22%3C%3E%60%7B%7D%5E%7F%01/");
}

TEST(RequestAddress, WhatBrowsersLeaveAloneIsLeftAlone) {
    // Including an existing escape and a lone percent sign, which browsers do not touch.
    const std::string kept = "http://user:pw@hi.baidu.com:8080/a!$&'()*+,;=:@[]|~%41%/b.html";
    EXPECT_EQ(request_address(kept), kept);
    EXPECT_EQ(request_address("http://hi.baidu.com"), "http://hi.baidu.com");
}

TEST(RequestAddress, QueryKeepsItsOwnSetAndTheFragmentIsNotSent) {
    EXPECT_EQ(request_address("http://h/p q?a b='中'&c={`}^|?d#frag ment"),
              "http://h/p%20q?a%20b=%27%E4%B8%AD%27&c={`}^|?d");
    EXPECT_EQ(request_address("http://h/a#b?c"), "http://h/a");
}

TEST(RequestAddress, TypedAddressesAreTidiedAsInTheAddressBar) {
    EXPECT_EQ(request_address("  http://hi.baidu.com/my\tna\nme\\blog \r\n"),
              "http://hi.baidu.com/myname/blog");
    // A backslash is a slash only where the scheme makes it a path separator.
    EXPECT_EQ(request_address("HTTP://h\\a\\b"), "HTTP://h/a/b");
}
