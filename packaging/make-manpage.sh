#!/bin/sh
# Makes a program's manual page from its --help and --version output with
# help2man and an include file for the prose, and writes it gzipped as well
# (gzip -9n: no name or time stamp, so the same input gives the same bytes).
#   make-manpage.sh PROGRAM INCLUDE SOURCE EPOCH OUTPUT
# writes OUTPUT (the page) and OUTPUT.gz; EPOCH (seconds) dates the page.
#
# help2man renders a "Heading:" of the help text after the options as a
# subsection of OPTIONS. The headings of our help texts are sections of
# their own ("Exit status:" is EXIT STATUS), so they become sections here;
# indented prose under such a heading is the section's body (.PP), while the
# tagged lists under it (.TP) and their further paragraphs keep their indent.
# help2man leaves a list's tag width to troff's default, which runs a term
# of six letters into its description: the width here is the widest term's.
set -eu

[ $# -eq 5 ] || { echo "usage: make-manpage.sh PROGRAM INCLUDE SOURCE EPOCH OUTPUT" >&2; exit 2; }
program=$1 include=$2 source=$3 epoch=$4 output=$5

raw="$output.help2man"
trap 'rm -f "$raw"' EXIT
SOURCE_DATE_EPOCH=$epoch help2man --no-info --include="$include" \
    --source="$source" --manual="User Commands" --output="$raw" "$program"

awk '
    # A section made from a help heading is kept until it ends, so that its
    # list gets one tag width (the widest term and two blanks) and bold terms.
    function flush(    i, width) {
        width = widest + 2
        for (i = 1; i <= n; i++) {
            if (lines[i] == ".TP") print ".TP " width
            else if (tag[i]) print "\\fB" lines[i] "\\fR"
            else print lines[i]
        }
        n = 0; widest = 0; promoted = 0
    }
    /^\.S[HS] / && promoted { flush() }
    /^\.SS ".*:"$/ {
        heading = substr($0, 6, length($0) - 7)
        print ".SH \"" toupper(heading) "\""
        promoted = 1; listed = 0
        next
    }
    !promoted { print; next }
    {
        lines[++n] = $0
        tag[n] = (n > 1 && lines[n - 1] == ".TP")
        if (tag[n]) {
            term = $0
            gsub(/\\f[A-Z]|\\[\/,&]/, "", term)
            gsub(/\\[-e]/, "-", term)
            if (length(term) > widest) widest = length(term)
        }
        if ($0 == ".TP") listed = 1
        if ($0 == ".IP" && !listed) lines[n] = ".PP"
    }
    END { if (promoted) flush() }
' "$raw" >"$output.tmp"
mv "$output.tmp" "$output"
gzip -9n <"$output" >"$output.gz.tmp"
mv "$output.gz.tmp" "$output.gz"
