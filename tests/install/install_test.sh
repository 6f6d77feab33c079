#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and checks what a desktop and the program
# itself rely on. Arguments: cmake, build tree, source tree, data-paths probe, project version.
set -euo pipefail
cmake=$1 build=$2 source=$3 probe=$4 version=$5

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" ||
    { cat "$work/install.log" >&2; echo "FAIL: cmake --install" >&2; exit 1; }

# The program and the files it reads at start.
[ -x "$prefix/bin/kelpa" ] || fail "bin/kelpa is missing or not executable"
for name in kelpa.cfg kcommon.cfg; do
    cmp -s "$source/data/$name" "$prefix/share/kelpa/$name" || fail "share/kelpa/$name differs or is missing"
done

# The manual: every page and picture of docs/ lands in share/kelpa/docs under the same name.
if [ -d "$source/docs" ]; then
    while IFS= read -r -d '' file; do
        relative=${file#"$source/docs/"}
        cmp -s "$file" "$prefix/share/kelpa/docs/$relative" || fail "manual file $relative not installed"
    done < <(find "$source/docs" -type f \( -name '*.html' -o -name '*.css' -o -name '*.png' \
        -o -name '*.jpg' -o -name '*.svg' \) -print0)
fi

# The icon theme: each size's PNG is really that size (bytes 16-23 of a PNG: width, height).
png_size() {
    od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $3 * 256 + $4, $7 * 256 + $8 }'
}
for size in 16 22 24 32 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/kelpa.png"
    if [ ! -f "$icon" ]; then
        fail "icon ${size}x${size} is missing"
    elif [ "$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')" != "89504e470d0a1a0a" ]; then
        fail "icon ${size}x${size} is not a PNG"
    elif [ "$(png_size "$icon")" != "${size}x${size}" ]; then
        fail "icon ${size}x${size} is $(png_size "$icon")"
    fi
done
grep -q "<svg" "$prefix/share/icons/hicolor/scalable/apps/kelpa.svg" 2>/dev/null ||
    fail "the scalable icon is missing"

# The desktop entry: clean for desktop-file-validate (hints allowed), naming the installed
# program and icon.
entry="$prefix/share/applications/kelpa.desktop"
if [ ! -f "$entry" ]; then
    fail "share/applications/kelpa.desktop is missing"
elif ! command -v desktop-file-validate >/dev/null; then
    fail "desktop-file-validate is missing (Debian package desktop-file-utils)"
else
    if ! desktop-file-validate "$entry" >"$work/validate.log" 2>&1 ||
        grep -qE ': (error|warning):' "$work/validate.log"; then
        cat "$work/validate.log" >&2
        fail "desktop-file-validate refuses the entry"
    fi
    exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
    [ -x "$prefix/bin/$exec_program" ] || fail "Exec names '$exec_program', not an installed program"
    icon_name=$(sed -n 's/^Icon=//p' "$entry")
    [ -f "$prefix/share/icons/hicolor/48x48/apps/$icon_name.png" ] || fail "Icon names '$icon_name', not an installed icon"
fi

# The installed program runs.
printed=$("$prefix/bin/kelpa" --version 2>&1) || fail "installed kelpa --version failed"
[ "$printed" = "kelpa $version" ] || fail "installed kelpa --version printed '$printed'"

# A program in the installed bin/ finds share/kelpa; the same program elsewhere falls back to
# the source tree.
cp "$probe" "$prefix/bin/probe"
expected="config=$prefix/share/kelpa/
manual=$prefix/share/kelpa/docs/
installed=1"
found=$("$prefix/bin/probe")
[ "$found" = "$expected" ] || fail "installed program found: $found"
mkdir -p "$work/bare/bin"
cp "$probe" "$work/bare/bin/probe"
expected="config=${source%/}/data/
manual=${source%/}/docs/
installed=0"
found=$("$work/bare/bin/probe")
[ "$found" = "$expected" ] || fail "program outside an installation found: $found"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "install layout ok: $prefix"
