#!/usr/bin/env python3
"""Checks the exports of the sample blog's trial posts against the copy's pages, with readers nobody
here wrote: Python's own HTML and XML parsers, cmark, and what Hugo and the WordPress importer
made of the exports. Usage: check_exports.py WORK_FOLDER (as check_exports.sh leaves it)."""

import html
import html.parser
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

work = sys.argv[1]
exports = os.path.join(work, "blog", "导出")
copy = os.path.join(work, "blog", "离线浏览")
failures = []


def fail(message):
    failures.append(message)


class TextReader(html.parser.HTMLParser):
    """The text a browser shows, of the whole page or from the element with class `within` up to
    the page's own markup after it (a <nav> or the end of the <article>): a body may hold stray
    end tags, which this reader, building no tree, would take for the element's end."""

    def __init__(self, within=None):
        super().__init__(convert_charrefs=True)
        self.within = within
        self.reading = within is None
        self.skip = 0
        self.parts = []
        self.images = []
        self.times = []
        self.h1 = []
        self.in_h1 = False

    def handle_starttag(self, tag, attrs):
        attributes = dict(attrs)
        if tag == "nav":
            self.reading = False
        if not self.reading and self.within in (attributes.get("class") or "").split():
            self.reading = True
        if tag in ("script", "style"):
            self.skip += 1
        if tag == "h1":
            self.in_h1 = True
        if tag == "time":
            self.times.append(attributes.get("datetime"))
        if self.reading and tag == "img":
            self.images.append(attributes.get("src"))
        if self.reading and tag in ("br", "p", "div", "li", "tr", "td", "th", "pre", "h2", "h3"):
            self.parts.append(" ")

    def handle_endtag(self, tag):
        if tag in ("script", "style"):
            self.skip -= 1
        if tag == "h1":
            self.in_h1 = False
        if tag == "article":
            self.reading = False

    def handle_data(self, data):
        if self.in_h1:
            self.h1.append(data)
        if self.reading and not self.skip:
            self.parts.append(data)

    def text(self):
        return normalised("".join(self.parts))


def normalised(text):
    # Both exports drop the control characters that XML cannot hold; blanks count as one.
    text = re.sub(r"[\x00-\x08\x0b\x0c\x0e-\x1f]", "", text)
    return re.sub(r"\s+", " ", text).strip()


def read(path):
    with open(path, encoding="utf-8") as file:
        return file.read()


def parse(path_or_text, within=None, is_text=False):
    reader = TextReader(within)
    reader.feed(path_or_text if is_text else read(path_or_text))
    reader.close()
    return reader


def body_of_markdown(page):
    match = re.match(r"---\n(.*?)\n---\n", page, re.S)
    if not match:
        return None, page
    return match.group(1), page[match.end():]


posts = []
with open(os.path.join(work, "posts.tsv"), encoding="utf-8") as listing:
    for line in listing:
        number, saved, title, date = line.rstrip("\n").split("\t")
        posts.append((int(number), saved == "1", html.unescape(title), date))
saved = [post for post in posts if post[1]]

hugo_log = read(os.path.join(work, "hugo.log"))
if re.search(r"\b(WARN|ERROR)\b", hugo_log):
    fail("hugo warned or failed:\n" + hugo_log)

wordpress = ElementTree.parse(os.path.join(exports, "wordpress.xml"))
namespaces = {"content": "http://purl.org/rss/1.0/modules/content/",
              "wp": "http://wordpress.org/export/1.2/"}
items = {int(item.findtext("wp:post_id", namespaces=namespaces)): item
         for item in wordpress.getroot().iter("item")}
if sorted(items) != [post[0] for post in saved]:
    fail("the WordPress export holds posts %s" % sorted(items))

importer = os.path.join(work, "wxr-out")
imported = sorted(os.listdir(importer)) if os.path.isdir(importer) else []
if imported != sorted("post-%d.md" % post[0] for post in saved):
    fail("the importer made %s" % imported)

notes = read(os.path.join(exports, "说明.txt"))
for number, was_saved, _, _ in posts:
    if not was_saved and ("第 %d 篇" % number) not in notes:
        fail("说明.txt does not list post %d" % number)

for number, _, title, date in saved:
    where = "post %d: " % number
    copy_page = parse(os.path.join(copy, "posts", "%d.html" % number), "post-body")
    expected = copy_page.text()
    if not expected:
        fail(where + "the copy's page has no text")

    # The page Hugo built: title, date, pictures beside it, and the copy's text.
    built_path = os.path.join(work, "site", "posts", str(number), "index.html")
    if not os.path.exists(built_path):
        fail(where + "hugo built no page")
        continue
    built = parse(built_path, "post-body")
    if normalised("".join(built.h1)) != normalised(title):
        fail(where + "hugo's title is %r, not %r" % ("".join(built.h1), title))
    front, markdown = body_of_markdown(read(os.path.join(exports, "hugo", "content", "posts",
                                                         str(number), "index.md")))
    if date:
        if date not in built.times:
            fail(where + "hugo's page dates it %s, not %s" % (built.times, date))
    elif "date_from: backup" not in (front or ""):
        fail(where + "an undated post does not say where its date came from")
    local = [src for src in built.images if not re.match(r"[a-z]+:", src)]
    copied = [src for src in copy_page.images if src.startswith("../images/")]
    if len(local) != len(copied):
        fail(where + "hugo's page shows %d local pictures, the copy %d" % (len(local), len(copied)))
    for src in local:
        if not os.path.isfile(os.path.join(os.path.dirname(built_path), src)):
            fail(where + "hugo's page shows a missing picture " + src)
    if built.text() != expected:
        fail(where + "hugo's page text differs:\n  %s\n  %s" % (built.text(), expected))

    # The Markdown alone, rendered by cmark.
    rendered = subprocess.run(["cmark", "--unsafe"], input=markdown.encode(),
                              capture_output=True, check=True).stdout.decode()
    text = parse("<div class=\"md\">" + rendered + "</div>", "md", is_text=True).text()
    if text != expected:
        fail(where + "cmark's text differs:\n  %s\n  %s" % (text, expected))

    # The WordPress item, read by Python's XML parser and by the importer.
    item = items.get(number)
    if item is None:
        continue
    if item.findtext("title") != title:
        fail(where + "the item's title is %r" % item.findtext("title"))
    if not item.findtext("pubDate"):
        fail(where + "the item has no pubDate")
    if date and item.findtext("wp:post_date", namespaces=namespaces) != \
            date[:10] + " " + date[11:19]:
        fail(where + "the item's date is %s" % item.findtext("wp:post_date", namespaces=namespaces))
    content = item.findtext("content:encoded", namespaces=namespaces)
    if parse("<div class=\"wp\">" + content + "</div>", "wp", is_text=True).text() != expected:
        fail(where + "the item's text differs")
    imported_path = os.path.join(importer, "post-%d.md" % number)
    if not os.path.exists(imported_path):
        continue  # already reported with the importer's listing
    imported_page = read(imported_path)
    imported_front, imported_body = body_of_markdown(imported_page)
    imported_title = re.search(r'^title: "(.*)"$', imported_front or "", re.M)
    if not imported_title or imported_title.group(1).replace('\\"', '"') != title:
        fail(where + "the importer's title is %r" % (imported_title and imported_title.group(1)))
    # The importer gives the day alone, in China time or in UTC.
    imported_date = re.search(r'^date: "(.*)"$', imported_front or "", re.M)
    utc_day = item.findtext("wp:post_date_gmt", namespaces=namespaces)[:10]
    if date and (not imported_date or imported_date.group(1) not in (date[:10], utc_day)):
        fail(where + "the importer's date is %r" % (imported_date and imported_date.group(1)))
    # The importer makes Markdown of its own (GitHub tables, its own escapes, emphasis side by
    # side that it writes as "**粗****体**", list items that run on into the text after the list,
    # and it loses a literal "<b>" in preformatted text): every run of Chinese text must come
    # through, read past its markers and blanks.
    imported_text = re.sub(r"[\s*_]", "", imported_body)
    for run in re.findall(r"[\u4e00-\u9fff]{2,}", expected):
        if run not in imported_text:
            fail(where + "the importer lost %r" % run)

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("exports checked: %d posts" % len(saved))
