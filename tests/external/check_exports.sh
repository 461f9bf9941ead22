#!/usr/bin/env bash
# Writes the exports of the sample blog's trial posts and has them read by programs nobody here wrote:
# Debian's hugo and cmark, xmllint, and the WordPress importer pinned in tools/wxr-check.
# Then, given a LOOK_READER, WebKitGTK compares the look of every built page with the copy's,
# hostile posts included.
#   check_exports.sh EXPORT_SAMPLE WXR_CHECK_FOLDER WORK_FOLDER [LOOK_READER]
set -euo pipefail
export_sample=$1
wxr_check=$2
work=$3
look_reader=${4:-}
here=$(cd "$(dirname "$0")" && pwd)

rm -rf "$work/blog" "$work/site" "$work/wxr-out"
mkdir -p "$work/blog" "$work/importer"
# 14 ordinary posts (every date form twice, every kind of trial body, post 5 not saved), then
# one of each hostile kind.
"$export_sample" "$work/blog" --export-trials --pictures --posts 23 --missing 5 >"$work/posts.tsv"

# The importer, exactly as locked; installed once per work folder and again when the lock moves.
if ! cmp -s "$wxr_check/package-lock.json" "$work/importer/package-lock.json"; then
  cp "$wxr_check/package.json" "$wxr_check/package-lock.json" "$work/importer/"
  (cd "$work/importer" && npm ci --no-audit --no-fund --loglevel=error)
fi

exports="$work/blog/导出"
hugo --source "$exports/hugo" --destination "$work/site" --log --verboseLog --printPathWarnings >"$work/hugo.log" 2>&1 || {
  cat "$work/hugo.log"
  exit 1
}
xmllint --noout "$exports/wordpress.xml"
(cd "$work/importer" && TZ=Asia/Shanghai npx --no-install wordpress-export-to-markdown \
  --wizard false --input "$exports/wordpress.xml" --output "$work/wxr-out" --post-folders false \
  --save-attached-images false --save-scraped-images false >"$work/importer.log" 2>&1) || {
  cat "$work/importer.log"
  exit 1
}
python3 "$here/check_exports.py" "$work"
if [[ -n "$look_reader" ]]; then
  source "$here/../../tools/xvfb-session.sh"
  start_xvfb_session >/dev/null
  export NO_AT_BRIDGE=1
  python3 "$here/compare_looks.py" "$work" "$look_reader"
else
  echo "looks not compared: built without the web view"
fi
