#!/usr/bin/env python3
"""Compares what WebKitGTK shows of each saved post in the built Hugo site with what it shows of the
copy's page: the same text and pictures, and for every character of it the same weight, slant,
colour, alignment, list marker, title and destination. Usage: compare_looks.py WORK_FOLDER LOOK_READER (as check_exports.sh
leaves the work folder)."""

import json
import os
import re
import subprocess
import sys

work, look_reader = sys.argv[1], sys.argv[2]
copy = os.path.join(work, "blog", "离线浏览")
site = os.path.join(work, "site")

saved = []
with open(os.path.join(work, "posts.tsv"), encoding="utf-8") as listing:
    for line in listing:
        number, was_saved = line.split("\t")[:2]
        if was_saved == "1":
            saved.append(int(number))

pages = []
for number in saved:
    pages.append(os.path.join(copy, "posts", "%d.html" % number))
    pages.append(os.path.join(site, "posts", str(number), "index.html"))
answer = subprocess.run([look_reader] + pages, capture_output=True, text=True, timeout=600)
looks = [json.loads(line) for line in answer.stdout.splitlines()]
if answer.returncode != 0 or len(looks) != len(pages):
    print("the browser could not read every page:\n" + answer.stderr)
    sys.exit(1)


def destination(link):
    """Where a link leads: a post of the copy or the site by its number, or the address."""
    local = re.match(r"file://.*/posts/(\d+)(?:\.html|/(?:index\.html)?)(#.*)?$", link)
    return "post %s%s" % (local.group(1), local.group(2) or "") if local else link


def characters(runs):
    """Every shown character with its look, blanks left out (the text check judges those)."""
    out = []
    for run in runs:
        look = (run["bold"], run["italic"], run["color"], run["align"], run["marker"],
                run["title"], destination(run["link"]))
        out.extend((character, look) for character in run["text"])
    return out


def described(look):
    bold, italic, color, align, marker, title, link = look
    parts = [name for name, on in (("bold", bold), ("italic", italic)) if on]
    parts += [value for value in (color, align and "align " + align,
                                  marker and "marker " + marker, title and "title " + title,
                                  link and "to " + link)
              if value]
    return ", ".join(parts) or "plain"


failures = []
for index, number in enumerate(saved):
    copy_look, built_look = looks[2 * index], looks[2 * index + 1]
    where = "post %d: " % number
    if copy_look is None or built_look is None:
        failures.append(where + "a page has no post body")
        continue
    expected, shown = characters(copy_look), characters(built_look)
    for at, (want, got) in enumerate(zip(expected, shown)):
        if want != got:
            context = "".join(character for character, _ in expected[max(0, at - 8):at + 8])
            failures.append(where + "at %r near %r the copy shows %r (%s), hugo %r (%s)" % (
                want[0], context, want[0], described(want[1]), got[0], described(got[1])))
            break
    else:
        if len(expected) != len(shown):
            failures.append(where + "the copy shows %d characters, hugo %d" %
                            (len(expected), len(shown)))

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("looks compared: %d posts" % len(saved))
