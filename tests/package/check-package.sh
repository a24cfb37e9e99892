#!/usr/bin/env bash
# Builds the Debian package of a built tree with CPack and checks it: its
# control fields and dependencies, its files once unpacked into a scratch root
# (nothing missing, nothing extra), the unpacked programs, the desktop entry
# and the manual pages; then the same layout from `cmake --install --prefix`.
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

# The files the package installs, below the prefix, and nothing else.
expected_files="bin/corvala
bin/corvala-check
share/applications/corvala.desktop
share/icons/hicolor/scalable/apps/corvala.svg
share/man/man1/corvala-check.1
share/man/man1/corvala.1"

# check_tree ROOT WHAT: the expected files are in ROOT, the programs executable.
check_tree() {
    local root=$1 what=$2
    expect_eq "$what: files" "$expected_files" "$(cd "$root" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)"
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

# --- The desktop entry -----------------------------------------------------
entry=$root/usr/share/applications/corvala.desktop
report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate failed"
expect_eq "desktop-file-validate report" "" "$report"
key() { sed -n "s/^$1=//p" "$entry"; }
expect_eq "Name" "Corvala" "$(key Name)"
expect_eq "MimeType" "text/plain;" "$(key MimeType)"
exec_program=$(key Exec | cut -d' ' -f1)
[ -x "$root/usr/bin/$exec_program" ] || fail "Exec names $exec_program, which the package does not install"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$(key Icon).svg" ] || fail "no scalable icon for Icon=$(key Icon)"
grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/corvala.svg" || fail "the icon is not an SVG"

# --- The manual pages ------------------------------------------------------
for page in corvala-check corvala; do
    warnings=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1" 2>&1 >/dev/null)
    expect_eq "man --warnings on $page.1" "" "$warnings"
done
page=$(MANWIDTH=1000 man -l "$root/usr/share/man/man1/corvala-check.1" 2>/dev/null)
for section in NAME SYNOPSIS DESCRIPTION OPTIONS "OUTPUT FORMATS" "EXIT STATUS" EXAMPLES "SEE ALSO"; do
    grep -qx "$section" <<<"$page" || fail "corvala-check.1 has no section $section"
done
# Every option of --help is on the page, each on the line of its entry.
options=$("$check" --help | sed -n '/^Options:/,/^[^ ]/p' | grep -oE '^ +-[^ ].*' |
          sed -E 's/^ +//; s/  .*//')
[ -n "$options" ] || fail "no options found in corvala-check --help"
while IFS= read -r option; do
    grep -qxF "       $option" <<<"$page" || fail "corvala-check.1 has no entry \"$option\""
done <<<"$options"

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
