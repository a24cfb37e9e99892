#!/usr/bin/env bash
# Builds the Debian package of a built tree with CPack and checks it: lintian
# (no error, no warning, no hardening or stripping hint), its control fields
# and dependencies, its files once unpacked into a scratch root (every
# expected file there), the unpacked programs, the desktop entry, the
# AppStream metainfo, the icons, the changelog and copyright, the manual
# pages; then the same files from `cmake --install --prefix`.
#   check-package.sh BUILD_DIR [CPACK]
set -uo pipefail

[ $# -ge 1 ] || { echo "usage: check-package.sh BUILD_DIR [CPACK]" >&2; exit 2; }
build=$(cd "$1" && pwd) || exit 2
cpack=${2:-cpack}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
# expect_eq WHAT EXPECTED ACTUAL
expect_eq() {
    [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3]"
}

source=$(cd "$(dirname "$0")/../.." && pwd)
app_id=io.github.corvala.Corvala

# The files the package installs below the prefix. Others may be added; none
# of these may go missing.
expected_files="bin/corvala
bin/corvala-check
share/applications/$app_id.desktop
share/metainfo/$app_id.metainfo.xml
share/mime/packages/$app_id.xml
share/icons/hicolor/scalable/apps/corvala.svg
share/icons/hicolor/48x48/apps/corvala.png
share/icons/hicolor/64x64/apps/corvala.png
share/icons/hicolor/128x128/apps/corvala.png
share/icons/hicolor/256x256/apps/corvala.png
share/man/man1/corvala-check.1.gz
share/man/man1/corvala.1.gz
share/doc/corvala/copyright
share/doc/corvala/changelog.gz
share/corvala/rules.md
share/lintian/overrides/corvala"

# check_tree ROOT WHAT: the expected files are in ROOT, the programs executable.
check_tree() {
    local root=$1 what=$2 file
    while IFS= read -r file; do
        [ -f "$root/$file" ] || fail "$what: $file is missing"
    done <<<"$expected_files"
    local program
    for program in corvala corvala-check; do
        [ -x "$root/bin/$program" ] || fail "$what: bin/$program is not executable"
    done
}

# --- The package -----------------------------------------------------------
if ! (cd "$build" && "$cpack" -G DEB -B "$scratch/out") >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    echo "FAIL: cpack -G DEB failed" >&2
    exit 1
fi
shopt -s nullglob
debs=("$scratch"/out/*.deb)
shopt -u nullglob
if [ ${#debs[@]} -ne 1 ]; then
    echo "FAIL: cpack made ${#debs[@]} .deb files, expected one" >&2
    exit 1
fi
deb=${debs[0]}

# --- lintian ---------------------------------------------------------------
# Errors and warnings fail; of the informational hints, those about hardening
# flags and unstripped sections fail too. The hints kept on purpose are
# overridden in the package (packaging/lintian-overrides says why).
lintian_out=$(lintian --fail-on error,warning --display-info --show-overrides "$deb" 2>&1)
lintian_status=$?
lintian_out=$(grep -v '^running with root privileges' <<<"$lintian_out")
[ -z "$lintian_out" ] || echo "$lintian_out"
[ $lintian_status -eq 0 ] || fail "lintian found errors or warnings (status $lintian_status)"
hints=$(grep -E '^[EWI]: .*(hardening-|binary-has-unneeded-section)' <<<"$lintian_out")
[ -z "$hints" ] || fail "lintian: hardening or stripping hints: $hints"
grep -qE '^[EW]: ' <<<"$lintian_out" && fail "lintian reports errors or warnings"
grep -qE '^O: corvala: spelling-error-in-binary unkown' <<<"$lintian_out" ||
    fail "the override of the spelling hint was not used"

root="$scratch/root"
dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb -x failed" >&2; exit 1; }
check_tree "$root/usr" "package"
check=$root/usr/bin/corvala-check

version=$(dpkg-deb -f "$deb" Version)
expect_eq "Package" "corvala" "$(dpkg-deb -f "$deb" Package)"
expect_eq "Section" "utils" "$(dpkg-deb -f "$deb" Section)"
expect_eq "Architecture" "$(dpkg --print-architecture)" "$(dpkg-deb -f "$deb" Architecture)"
expect_eq "file name" "corvala_${version}_$(dpkg --print-architecture).deb" "$(basename "$deb")"
expect_eq "Version against corvala-check --version" "corvala-check $version" "$("$check" --version)"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no Maintainer"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6gui6 libqt6core6 libstdc++6 libc6; do
    case ", $depends," in
        *", $library "* | *", $library,"*) ;;
        *) fail "Depends lacks $library: $depends" ;;
    esac
done

# Every library the programs need is found on this system.
for program in corvala corvala-check; do
    missing=$(ldd "$root/usr/bin/$program" | grep 'not found')
    [ -z "$missing" ] || fail "$program needs libraries that are not found: $missing"
done

# --- The unpacked checker ----------------------------------------------------
printf 'AC D\r\nXY 1\n' >"$scratch/tiny.txt"
out=$("$check" "$scratch/tiny.txt")
expect_eq "corvala-check exit status" 1 $?
expect_eq "corvala-check output" "Line 2: XY not implemented.
   *** 1 errors found" "$out"
out=$(printf 'AC D\n' | "$check" --format=log -)
expect_eq "corvala-check exit status on a clean file" 0 $?
expect_eq "corvala-check log output" " ok 1 AC D
 ok 0 No errors found." "$out"

# --- The unpacked window ---------------------------------------------------
# It has no way to quit by itself; still running after a moment means it
# started up (it ran its event loop instead of failing).
(cd "$scratch" && QT_QPA_PLATFORM=offscreen timeout 2 "$root/usr/bin/corvala" >"$scratch/corvala.log" 2>&1)
status=$?
[ $status -eq 124 ] || { fail "corvala ended with status $status before it was stopped"; cat "$scratch/corvala.log" >&2; }

# --- The desktop entry, the metainfo and the icons ----------------------------
entry=$root/usr/share/applications/$app_id.desktop
report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate failed"
expect_eq "desktop-file-validate report" "" "$report"
key() { sed -n "s/^$1=//p" "$entry"; }
expect_eq "Name" "Corvala" "$(key Name)"
expect_eq "Exec" "corvala %f" "$(key Exec)"
mime_type=text/x-corvala-airspace
expect_eq "MimeType" "$mime_type;" "$(key MimeType)"
exec_program=$(key Exec | cut -d' ' -f1)
[ -x "$root/usr/bin/$exec_program" ] || fail "Exec names $exec_program, which the package does not install"
icon=$(key Icon)
grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" || fail "no scalable icon for Icon=$icon"
for size in 48 64 128 256; do
    expect_eq "icon ${size}x${size}" "PNG image data, $size x $size" \
        "$(file -b "$root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png" | cut -d, -f1-2)"
done

metainfo=$root/usr/share/metainfo/$app_id.metainfo.xml
share/mime/packages/$app_id.xml
report=$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1) || fail "appstreamcli validate: $report"
tag() { sed -n "s|.*<$1[^>]*>\(.*\)</$1>.*|\1|p" "$metainfo" | head -n 1; }
expect_eq "metainfo id" "$app_id" "$(tag id)"
expect_eq "metainfo launchable" "$app_id.desktop" "$(tag launchable)"
expect_eq "metainfo newest release" "$version" \
    "$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)"
for program in corvala corvala-check; do
    grep -qF "<binary>$program</binary>" "$metainfo" || fail "the metainfo does not provide $program"
done
grep -qF "<mediatype>$mime_type</mediatype>" "$metainfo" || fail "the metainfo does not name $mime_type"

# --- The MIME type ----------------------------------------------------------
# A database of the system's types and the package's, in a scratch folder:
# an airspace file is told by its first record line, with or without
# leading comments or a byte-order mark, whatever its name; other text
# named *.txt stays text/plain.
mime_xml=$root/usr/share/mime/packages/$app_id.xml
grep -qF "<mime-type type=\"$mime_type\">" "$mime_xml" || fail "the MIME package does not define $mime_type"
mkdir -p "$scratch/data/mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$mime_xml" "$scratch/data/mime/packages/"
report=$(XDG_DATA_DIRS=$scratch/data update-mime-database "$scratch/data/mime" 2>&1) ||
    fail "update-mime-database: $report"
expect_eq "update-mime-database report" "" "$report"
mkdir -p "$scratch/samples"
printf 'AC D\nAN Zone\n' >"$scratch/samples/plain.txt"
printf '* Airspace of somewhere\n*\nAC R\nAN Zone\n' >"$scratch/samples/comments.txt"
printf '\357\273\277AC C\n' >"$scratch/samples/bom.txt"
printf 'AC D\n' >"$scratch/samples/airspace"
printf 'a shopping list\nACE bandage\n' >"$scratch/samples/other.txt"
for sample in plain.txt comments.txt bom.txt airspace other.txt; do
    expected=$mime_type
    [ "$sample" = other.txt ] && expected=text/plain
    expect_eq "MIME type of $sample" "$expected" \
        "$(XDG_DATA_DIRS=$scratch/data XDG_DATA_HOME=$scratch/none gio info -a standard::content-type \
            "$scratch/samples/$sample" | sed -n 's/^ *standard::content-type: //p')"
done

# --- The changelog and the copyright ---------------------------------------------
doc=$root/usr/share/doc/corvala
zcat "$doc/changelog.gz" >"$scratch/changelog"
expect_eq "changelog" "$(cat "$source/CHANGELOG")" "$(cat "$scratch/changelog")"
expect_eq "newest changelog entry" "$version" "$(dpkg-parsechangelog -l "$scratch/changelog" -S Version)"
# The licence text of the copyright file is that of LICENSE.
expect_eq "licence in copyright" "$(sed -n '/^Permission/,$p' "$source/LICENSE")" \
    "$(sed -n '/^License: Expat$/,$p' "$doc/copyright" | sed -n '/^ Permission/,$p' | sed 's/^ //; s/^\.$//')"
grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$doc/copyright" ||
    fail "the copyright file is not in the machine-readable format"

# --- The manual pages ------------------------------------------------------
warnings=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/corvala.1.gz" 2>&1 >/dev/null)
expect_eq "man --warnings on corvala.1" "" "$warnings"
"$source/tests/package/check-manpage.sh" "$check" "$root/usr/share/man/man1/corvala-check.1.gz" >/dev/null ||
    fail "the manual page of corvala-check"

# --- cmake --install -------------------------------------------------------
if cmake --install "$build" --prefix "$scratch/local" >"$scratch/install.log" 2>&1; then
    check_tree "$scratch/local" "cmake --install"
else
    cat "$scratch/install.log" >&2
    fail "cmake --install failed"
fi

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "package $(basename "$deb") checked"
