#!/usr/bin/env python3
"""Checks the exports of the sample blog's trial posts against the copy's pages, with readers nobody
here wrote: Python's own HTML and XML parsers, PyYAML, cmark, and what Hugo and the WordPress
importer made of the exports; and that nothing a hostile post wrote runs or loads in the site Hugo
built. Usage: check_exports.py WORK_FOLDER (as check_exports.sh leaves it)."""

import datetime
import html
import html.parser
import os
import re
import subprocess
import sys
import urllib.parse
import xml.etree.ElementTree as ElementTree

import yaml

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
    # Both exports drop the control characters that XML cannot hold, and Python's reading of
    # character references drops C1 controls and noncharacters, which Hugo keeps; blanks count
    # as one.
    text = re.sub(r"[\x00-\x08\x0b\x0c\x0e-\x1f\x7f-\x9f\ufdd0-\ufdef\ufffe\uffff"
                  r"\U0001fffe\U0001ffff]", "", text)
    return re.sub(r"\s+", " ", text).strip()


class HostileMarkup(html.parser.HTMLParser):
    """What in a built page would run or load from elsewhere: a script, or an address to load
    that is not on the site."""

    loading = {"src", "srcset", "data", "poster", "background", "action", "formaction"}

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.found = []

    def handle_starttag(self, tag, attrs):
        if tag in ("script", "iframe", "object", "embed", "base"):
            self.found.append("<%s>" % tag)
        for name, value in attrs:
            remote = value and re.match(r"\s*([a-zA-Z][a-zA-Z0-9+.-]*:|//|\\\\)", value)
            if remote and (name in self.loading or (tag == "link" and name == "href")):
                self.found.append("<%s %s=%r>" % (tag, name, value))
            if name.startswith("on"):
                self.found.append("<%s %s>" % (tag, name))


def front_matter_of(path):
    """The front matter as PyYAML reads it, or None with a failure when it refuses it."""
    front, _ = body_of_markdown(read(path))
    try:
        return yaml.safe_load(front or "")
    except yaml.YAMLError as error:
        fail("%s: PyYAML refuses the front matter: %s" % (path, error))
        return None


def term_links(page, label):
    """The (address, text) of the term links after `label` in a page Hugo built."""
    found = re.search(re.escape(label) + r"(.*?)(?: · |</p>)", page, re.S)
    return [(href, html.unescape(text)) for href, text in
            re.findall(r'<a href="([^"]*)">(.*?)</a>', found.group(1) if found else "")]


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
facts = {}
with open(os.path.join(work, "posts.tsv"), encoding="utf-8") as listing:
    for line in listing:
        number, saved, title, date, category, *tags = line.rstrip("\n").split("\t")
        posts.append((int(number), saved == "1", html.unescape(title), date))
        # A category given only by a reference Python drops (&#xFFFF;) is still there.
        facts[int(number)] = ([html.unescape(category).strip()] if category.strip() else [],
                              [html.unescape(tag).strip() for tag in tags])
saved = [post for post in posts if post[1]]
# export_sample saves at this point in time; undated posts are dated a second apart before it.
backup_unix = 1_700_000_000
china = datetime.timezone(datetime.timedelta(hours=8))

# Every front matter, read by a YAML parser of its own; terms that are not their text have a
# page titled with it.
content = os.path.join(exports, "hugo", "content")
term_titles = {}
for taxonomy in ("categories", "tags"):
    folder = os.path.join(content, taxonomy)
    for term in (os.listdir(folder) if os.path.isdir(folder) else []):
        front = front_matter_of(os.path.join(folder, term, "_index.md")) or {}
        term_titles[(taxonomy, term)] = front.get("title")

# Nothing in the built site runs or loads from elsewhere.
for folder, _, files in os.walk(os.path.join(work, "site")):
    for name in files:
        if name.endswith(".html"):
            scanner = HostileMarkup()
            scanner.feed(read(os.path.join(folder, name)))
            scanner.close()
            for found in scanner.found:
                fail("%s holds %s" % (os.path.relpath(os.path.join(folder, name), work), found))

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
    page_path = os.path.join(content, "posts", str(number), "index.md")
    front, markdown = body_of_markdown(read(page_path))
    matter = front_matter_of(page_path) or {}
    if normalised(str(matter.get("title"))) != normalised(title):
        fail(where + "PyYAML reads the title %r, not %r" % (matter.get("title"), title))
    # The time an undated post is given: the backup's, less the post's number in seconds.
    undated = datetime.datetime.fromtimestamp(backup_unix - number, china)
    if date:
        if date not in built.times:
            fail(where + "hugo's page dates it %s, not %s" % (built.times, date))
    elif matter.get("date_from") != "backup":
        fail(where + "an undated post does not say where its date came from")
    elif undated.isoformat() not in built.times:
        fail(where + "hugo's page dates an undated post %s, not %s" % (built.times, undated))
    # Each category and tag, read back as PyYAML reads the page and the term's own page, shows
    # as its text and leads to a page Hugo built.
    categories, tags = facts[number]
    built_page = read(built_path)
    for taxonomy, label, texts in (("categories", "类别：", categories),
                                   ("tags", "标签：", tags)):
        terms = matter.get(taxonomy) or []
        if not all(isinstance(term, str) for term in terms) or len(terms) != len(texts):
            fail(where + "PyYAML reads the %s %r for %r" % (taxonomy, terms, texts))
            continue
        for term, text in zip(terms, texts):
            shown = term_titles.get((taxonomy, term), term)
            if normalised(str(shown)) != normalised(text):
                fail(where + "the %s term %r stands for %r, not %r" % (taxonomy, term, shown, text))
        links = term_links(built_page, label)
        if sorted(normalised(text) for _, text in links) != sorted(normalised(t) for t in texts):
            fail(where + "hugo's page shows the %s %r, not %r" % (taxonomy, links, texts))
        for href, _ in links:
            target = os.path.join(work, "site", urllib.parse.unquote(href).strip("/"), "index.html")
            if not href.startswith("/") or not os.path.isfile(target):
                fail(where + "hugo's page links %s to %s, which it did not build" % (taxonomy, href))
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
    if normalised(item.findtext("title")) != normalised(title):
        fail(where + "the item's title is %r" % item.findtext("title"))
    if not item.findtext("pubDate"):
        fail(where + "the item has no pubDate")
    if date and item.findtext("wp:post_date", namespaces=namespaces) != \
            date[:10] + " " + date[11:19]:
        fail(where + "the item's date is %s" % item.findtext("wp:post_date", namespaces=namespaces))
    if not date and item.findtext("wp:post_date", namespaces=namespaces) != \
            undated.strftime("%Y-%m-%d %H:%M:%S"):
        fail(where + "the item dates an undated post %s" %
             item.findtext("wp:post_date", namespaces=namespaces))
    body = item.findtext("content:encoded", namespaces=namespaces)
    if parse("<div class=\"wp\">" + body + "</div>", "wp", is_text=True).text() != expected:
        fail(where + "the item's text differs")
    # WordPress expands square-bracketed shortcodes in content and attribute values.
    if "[" in body or "]" in body:
        fail(where + "the item's content holds square brackets: %r" % body)
    imported_path = os.path.join(importer, "post-%d.md" % number)
    if not os.path.exists(imported_path):
        continue  # already reported with the importer's listing
    imported_page = read(imported_path)
    imported_front, imported_body = body_of_markdown(imported_page)
    imported_title = re.search(r'^title: "(.*)"$', imported_front or "", re.M)
    if not imported_title or \
            normalised(imported_title.group(1).replace('\\"', '"')) != normalised(title):
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

# WordPress's importer skips a post whose title and time it already has.
stamps = [(item.findtext("title"), item.findtext("wp:post_date", namespaces=namespaces))
          for item in items.values()]
if len(set(stamps)) != len(stamps):
    fail("the WordPress export gives posts the same title and time: %s" % stamps)

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("exports checked: %d posts" % len(saved))
