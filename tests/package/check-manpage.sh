#!/usr/bin/env bash
# Checks the built manual page of corvala-check against the checker's own
# --help and --version: the page renders without warnings, has its sections,
# shows every option, every heading and every listed term of --help as an
# entry, names the version, and is gzipped without a name or a time stamp.
#   check-manpage.sh CORVALA_CHECK PAGE.1.gz
set -uo pipefail

[ $# -eq 2 ] || { echo "usage: check-manpage.sh CORVALA_CHECK PAGE.1.gz" >&2; exit 2; }
check=$1 page_file=$2

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

[ -f "$page_file" ] || { echo "FAIL: no page $page_file" >&2; exit 1; }

# gzip -9n: no file name (flags 00) and no time stamp (four zero bytes).
header=$(od -An -tx1 -N8 "$page_file" | tr -s ' ' | sed 's/^ //')
[ "$header" = "1f 8b 08 00 00 00 00 00" ] || fail "the page is not gzipped without name and time stamp: $header"

warnings=$(MANWIDTH=80 man --warnings -l "$page_file" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man --warnings: $warnings"

page=$(MANWIDTH=1000 man -l "$page_file" 2>/dev/null)
help=$("$check" --help)
[ -n "$help" ] || { echo "FAIL: corvala-check --help wrote nothing" >&2; exit 1; }

# The sections of the include file and of the help text's headings
# ("Exit status:" is the section EXIT STATUS).
sections=(NAME SYNOPSIS DESCRIPTION OPTIONS ENVIRONMENT EXAMPLES "SEE ALSO")
while IFS= read -r heading; do
    sections+=("$(tr '[:lower:]' '[:upper:]' <<<"${heading%:}")")
done < <(grep -E '^[A-Z][^ ].*:$' <<<"$help" | grep -v '^Options:$')
[ ${#sections[@]} -gt 7 ] || fail "no headings found in corvala-check --help"
for section in "${sections[@]}"; do
    grep -qxF "$section" <<<"$page" || fail "the page has no section $section"
done

# Every option of --help is an entry of the page, on a line of its own (or,
# for a tag shorter than the indentation, such as --lsp, followed by its
# description on the same line, as man sets such entries).
options=$(sed -n '/^Options:/,/^[^ ]/p' <<<"$help" | grep -oE '^ +-[^ ].*' | sed -E 's/^ +//; s/  .*//')
[ -n "$options" ] || fail "no options found in corvala-check --help"
while IFS= read -r option; do
    grep -qxF "       $option" <<<"$page" ||
        { [ ${#option} -lt 7 ] && grep -qF "       $option " <<<"$page"; } ||
        fail "the page has no entry \"$option\""
done <<<"$options"

# Every term of the lists under the other headings (the output formats, the
# exit statuses) starts an entry of the page.
terms=$(sed -n '/^Options:/,$p' <<<"$help" | sed '/^Options:/,/^$/d' | grep -oE '^  [^ -][^ ]*  +[^ ]' |
        sed -E 's/^  ([^ ]+) .*/\1/')
[ -n "$terms" ] || fail "no listed terms found in corvala-check --help"
while IFS= read -r term; do
    grep -qE "^       $term( |$)" <<<"$page" || fail "the page has no entry for \"$term\""
done <<<"$terms"

# The first paragraph of --help opens the description.
first=$(sed -n '2p' <<<"$help" | sed -E 's/ +$//')
grep -qF "$first" <<<"$page" || fail "the description lacks the help text's \"$first\""

version=$("$check" --version | sed -E 's/^corvala-check //')
grep -qE "^Corvala $version +" <<<"$page" || fail "the page does not name version $version"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "manual page $(basename "$page_file") checked"
