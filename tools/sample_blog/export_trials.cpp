#include "tools/sample_blog/export_trials.h"

#include "platform/text.h"

namespace sample_blog {
namespace {

std::u16string two(int value) {
    return (value < 10 ? u"0" : u"") + platform::decimal(value);
}

int hostile_kind(int number) {
    return number < k_first_hostile_trial ? -1
                                          : (number - k_first_hostile_trial) % k_hostile_trials;
}

// What Hugo would run or stop at, wherever a body holds text.
std::u16string hugo_shortcodes(const std::u16string& n) {
    return u"<p>第" + n +
           u"篇：x {{% gist attacker 1234 %}} y {{< gist attacker 77 >}} 和 {{% nosuch %}} 与 "
           u"{{% y</p>\r\n<p><code>{{< gist attacker 78 >}}</code> <b>{{%x%}}</b> "
           u"{<span>{</span>< gist attacker 79 >}}</p>\r\n"
           u"<pre>{{< gist attacker 80 >}}\r\n{{% gist attacker 81 %}}</pre>\r\n"
           u"<pre style=\"color:red\">{{< gist attacker 82 >}}</pre>\r\n"
           u"<table><tr><td title=\"{{< gist attacker 83 >}}\">{{< gist attacker 84 >}}"
           u"</td></tr></table>\r\n<p><a href=\"http://www.example.com/{{%gist%}}\">链接 "
           u"{{< gist attacker 85 >}}</a> <u>{{% gist attacker 86 %}}</u> "
           u"<img src=\"http://www.example.com/{{%x%}}.png\" alt=\"{{< gist attacker 87 >}}\"></p>"
           u"\r\n";
}

// Hugo's summary divider in code, preformatted text and text; headings that would be styled.
std::u16string hugo_divider_and_attributes(const std::u16string& n) {
    return u"<p>第" + n +
           u"篇：用 <code>&lt;!--more--&gt;</code> 分隔，摘要到此为止。</p>\r\n"
           u"<pre>前 &lt;!--more--&gt; 后</pre>\r\n<p>正文 &lt;!--more--&gt; 里</p>\r\n"
           u"<h2>盖住全页的标题{style=\"position:fixed;top:0;left:0;width:100%;height:100%;"
           u"background:white\"}</h2>\r\n<h3>三级标题 {.x #y}</h3>\r\n<p>结尾的段落。</p>\r\n";
}

// What WordPress would expand.
std::u16string wordpress_shortcodes(const std::u16string& n) {
    return u"<p>第" + n + u"篇：[embed]" + std::u16string(k_attacker) +
           u"video[/embed] 和 [audio src=\"" + std::u16string(k_attacker) +
           u"a.mp3\"] 与 [gallery]</p>\r\n<p><a href=\"http://www.example.com/[embed]\">[链接]"
           u"</a> <code>[caption]代码[/caption]</code></p>\r\n<pre>[video src=\"" +
           std::u16string(k_attacker) + u"v.mp4\"]</pre>\r\n";
}

} // namespace

std::u16string trial_date_line(int number) {
    const int day = number % 28 + 1;
    switch (number % 6) {
    case 0:
        return u"2009-05-" + two(day) + u" 21:00";
    case 1:
        return u"2009-5-" + platform::decimal(day);
    case 2:
        return u"2009年5月" + platform::decimal(day) + u"日 星期五 21:00";
    case 3:
        return u"2009年05月" + two(day) + u"日 下午 9:00";
    case 4:
        return {};
    default:
        return u"2009-05-92 2009-06-" + two(day) + u" 08:30";
    }
}

std::u16string trial_iso_date(int number) {
    const std::u16string day = two(number % 28 + 1);
    switch (number % 6) {
    case 1:
        return u"2009-05-" + day + u"T00:00:00+08:00";
    case 4:
        return {};
    case 5:
        return u"2009-06-" + day + u"T08:30:00+08:00";
    default:
        return u"2009-05-" + day + u"T21:00:00+08:00";
    }
}

std::u16string trial_title(int number) {
    const std::u16string n = platform::decimal(number);
    switch (hostile_kind(number)) {
    case -1:
        return u"他说：&quot;你好&quot; &amp; 'hi': " + n;
    case 0:
        return u"标题&#x81;测试 {{< gist attacker 9 >}} " + n;
    case 1:
        return u"&lt;!--more--&gt; 标题&#xFFFF;&#xFFFE;&#x85; {.x} " + n;
    case 2:
        return u"[embed]" + std::u16string(k_attacker) + u"t[/embed] &#x2028;&#xFEFF;" + n;
    default:
        return u"敌意的正文 &#x9F;&#x7F;&#xFDD0;&#x1FFFF; " + n;
    }
}

std::u16string trial_category(int number) {
    switch (hostile_kind(number)) {
    case -1:
        return std::u16string(k_trial_category);
    case 0:
        return u"..";
    case 1:
        return u".";
    case 2:
        return u"游记&#x90;";
    case 3:
        return u"a/b";
    case 4:
        return u"{{% gist attacker 2 %}}";
    case 5:
        return u"&#xFFFF;";
    default:
        return u"C++";
    }
}

std::vector<std::u16string> trial_tags(int number) {
    switch (hostile_kind(number)) {
    case -1:
        return {u"旅行", u"春天"};
    case 0:
        return {u"&#xFFFF;", u"a/b", u"旅行"};
    case 1:
        return {u"标签&#x85;", u"{{%gist%}}"};
    case 2:
        return {u"..", u"#", u"%"};
    default:
        return {u"旅行", u"."};
    }
}

std::u16string trial_tags_markup(int number) {
    std::u16string markup = u"标签：";
    const std::vector<std::u16string> tags = trial_tags(number);
    for (std::size_t i = 0; i < tags.size(); ++i) {
        markup += (i ? u" <a href=\"/tag/" : u"<a href=\"/tag/") +
                  platform::decimal(static_cast<int>(i + 1)) + u"\">" + tags[i] + u"</a>";
    }
    return markup;
}

std::u16string trial_content(int number, std::u16string_view other_post) {
    const std::u16string n = platform::decimal(number);
    const std::u16string other(other_post);
    switch (hostile_kind(number)) {
    case -1:
        break;
    case 0:
        return hugo_shortcodes(n);
    case 1:
        return hugo_divider_and_attributes(n);
    case 2:
        return wordpress_shortcodes(n);
    default:
        return hostile_content(hostile_kind(number) - 2);
    }
    switch (number % 4) {
    case 0:
        return u"<p>第" + n +
               u"篇：<b>粗体</b>、<strong>重要</strong>、<i>斜体</i>、<em>强调</em>、"
               u"<u>下划线</u>、<font color=\"red\" face=\"楷体\">红字</font>、"
               u"<span style=\"color:blue\">蓝字</span>、<code>a*b_c</code>、"
               u"<a href=\"http://www.example.com/a?b=1&amp;c=2\">外链</a>。<br>\r\n"
               u"第二行 * 星号 _ 下划线 # 井号 [方括号] &lt;尖括号&gt; `反引号` \\ 反斜杠</p>\r\n"
               u"<h2>小标题</h2>\r\n<h3>三级 <i>标题</i></h3>\r\n"
               u"<blockquote><p>引用一段</p><p>引用两段</p></blockquote>\r\n"
               u"<pre>  预排版\r\n    缩进 &lt;b&gt; ``` 三个反引号\r\n</pre>\r\n"
               u"<div align=\"center\"><p>居中的段落</p></div>\r\n<center>旧式居中</center>\r\n"
               u"<hr>\r\n<p>1. 不是列表\r\n- 也不是\r\n+ 还不是\r\n> 不是引用</p>\r\n"
               u"<p><sub>下标</sub><sup>上标</sup><strike>删除</strike><small>小字</small></p>\r\n";
    case 1:
        return u"<p>第" + n +
               u"篇：CDATA 的结尾 ]]> 在正文里，还有 ]]]]>。</p>\r\n"
               u"<p>控制字符\x01\x02\x0B\x0C\x1F之间，制表\t符。</p>\r\n"
               u"<pre>]]> 在预排版里</pre>\r\n";
    case 3:
        return u"<p>第" + n +
               u"篇：看起来要一样。</p>\r\n"
               u"<p><b>粗</b><b>体</b>相连，<i>斜</i><i>体</i>相连，<b>粗</b><i>斜</i>相连，"
               u"<strong>重</strong><b>要</b>。</p>\r\n"
               u"<p align=\"center\">居中的段落</p>\r\n"
               u"<p style=\"color:red\">红色的段落，<b>其中加粗</b></p>\r\n"
               u"<p align=\"right\" style=\"color:#008000\">靠右的绿色段落</p>\r\n"
               u"<h3 style=\"text-align:center\">居中的标题</h3>\r\n"
               u"<ul>前言<li>甲</li><li>乙</li>结尾</ul>\r\n"
               u"<ol type=\"a\"><li>子</li><li>丑</li></ol>\r\n"
               u"<ol><li>一</li><li>二</li></ol>\r\n"
               u"<ol start=\"5\"><li>五</li><li>六</li></ol>\r\n"
               u"<div><ol><li>三</li></ol></div><div><ol start=\"9\"><li>九</li></ol></div>\r\n"
               u"<p><a href=\"http://www.example.com/\" title=\"示例网站\">带标题的链接</a>"
               u"<img src=\"/_sample/pictures/titled.png\" alt=\"带标题的图\" "
               u"title=\"图片的标题\"></p>\r\n"
               u"<p><a href=\"https://hi.baidu.com" +
               other + u"\">安全连接的另一篇</a>、<a href=\"" + other +
               u"?from=1\">带参数的另一篇</a></p>\r\n";
    default:
        return u"<p>第" + n +
               u"篇：列表和表格。</p>\r\n"
               u"<ul><li>一<ul><li>一之一</li><li>一之二<ol><li>甲</li><li>乙</li></ol></li>"
               u"</ul></li><li>二</li></ul>\r\n"
               u"<ol start=\"3\"><li>第三</li><li><p>第四段一</p><p>第四段二</p></li></ol>\r\n"
               u"<table border=\"1\"><tr><th>名称</th><th>数量</th></tr>\r\n"
               u"<tr><td>苹果</td><td><b>3</b></td></tr>\r\n"
               u"<tr><td colspan=\"2\">合计]]>三</td></tr></table>\r\n";
    }
}

} // namespace sample_blog
