#!/bin/sh
# scripts/install into temporary prefixes, with an already built tree:
#   tests/app/install_test.sh SOURCE_ROOT BUILD_DIR
# Checks the files in place, the menu entry (desktop-file-validate when installed, and always a
# parse of its keys), the file types (xmllint when installed), the icons' sizes, that the installed
# program finds its resources without TESSIVAR_HOME, that a second install replaces the first, that
# a missing tree leaves the prefix untouched, and that missing desktop tools are not an error.
set -u

source_root=$1
build=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/tessivar-install-test.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT INT TERM

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
expect_file() {
  [ -f "$1" ] || fail "missing $1"
}

# A prefix with a space and a quote: the entry's Exec line must quote it.
prefix="$work/a prefix's place"
home="$work/home"
mkdir -p "$home"
run_install() {  # run_install PREFIX [PATH]
  env -u TESSIVAR_HOME -u XDG_DATA_HOME -u XDG_DATA_DIRS HOME="$home" PATH="${2:-$PATH}" \
    sh "$source_root/scripts/install" --prefix "$1" --build-dir "$build"
}

if ! run_install "$prefix" > "$work/install.out" 2>&1; then
  cat "$work/install.out" >&2
  fail "scripts/install failed"
fi

share="$prefix/share"
[ -x "$prefix/bin/tessivar" ] || fail "bin/tessivar is not an executable"
expect_file "$share/tessivar/Resource/english/res3004"
[ -e "$share/tessivar/Resource/.generated" ] && fail "the build's stamp file was installed"
expect_file "$share/applications/tessivar.desktop"
expect_file "$share/mime/packages/tessivar.xml"

# Icons: a PNG of the folder's size in every folder.
for side in 16 24 32 48 64 128 256; do
  icon="$share/icons/hicolor/${side}x${side}/apps/tessivar.png"
  if [ ! -f "$icon" ]; then
    fail "missing $icon"
    continue
  fi
  [ "$(od -An -tx1 -N8 "$icon" | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "$icon is not a PNG"
  set -- $(od -An -tu1 -j16 -N8 "$icon")
  width=$(($1 * 16777216 + $2 * 65536 + $3 * 256 + $4))
  height=$(($5 * 16777216 + $6 * 65536 + $7 * 256 + $8))
  [ "$width" -eq "$side" ] && [ "$height" -eq "$side" ] || fail "$icon is $width x $height"
done

# The menu entry.
entry="$share/applications/tessivar.desktop"
if command -v desktop-file-validate > /dev/null 2>&1; then
  desktop-file-validate "$entry" > "$work/validate.out" 2>&1 || {
    cat "$work/validate.out" >&2
    fail "desktop-file-validate refuses the entry"
  }
  # It reports hints without failing; the entry should need none.
  [ -s "$work/validate.out" ] && { cat "$work/validate.out" >&2; fail "desktop-file-validate has remarks"; }
fi
# Every line is a comment, a group or a key; no key twice; the keys the desktop needs.
awk '
  /^#/ || /^$/ { next }
  /^\[.*\]$/ { group = $0; next }
  /^[A-Za-z0-9-]+(\[[^]]+\])? *=/ {
    key = $0; sub(/ *=.*/, "", key)
    value = $0; sub(/^[^=]*= */, "", value)
    if ((group, key) in seen) { print "key " key " twice"; bad = 1 }
    seen[group, key] = value
    next
  }
  { print "not a key line: " $0; bad = 1 }
  END {
    g = "[Desktop Entry]"
    if (!((g, "Type") in seen)) { print "no [Desktop Entry] group with Type"; exit 1 }
    if (seen[g, "Type"] != "Application") { print "Type " seen[g, "Type"]; bad = 1 }
    if (seen[g, "Name"] != "Tessivar") { print "Name " seen[g, "Name"]; bad = 1 }
    if (seen[g, "Icon"] != "tessivar") { print "Icon " seen[g, "Icon"]; bad = 1 }
    if (seen[g, "Categories"] !~ /(^|;)Graphics;/ || seen[g, "Categories"] !~ /(^|;)3DGraphics;/) {
      print "Categories " seen[g, "Categories"]; bad = 1
    }
    if (seen[g, "Exec"] !~ / %f$/) { print "Exec " seen[g, "Exec"]; bad = 1 }
    split("object project tasks quorvels", kinds, " ")
    for (i = 1; i <= 4; ++i) {
      if (seen[g, "MimeType"] !~ ("(^|;)application/x-tessivar-" kinds[i] ";")) {
        print "MimeType lacks " kinds[i]; bad = 1
      }
    }
    print seen[g, "Exec"] > "/dev/stderr"
    exit bad
  }' "$entry" > "$work/keys.out" 2> "$work/exec.out" || {
  cat "$work/keys.out" >&2
  fail "the entry's keys"
}
# The Exec line names the installed program by its full path, quoted.
expected_exec="Exec=\"$prefix/bin/tessivar\" %f"
grep -qxF "$expected_exec" "$entry" || fail "Exec is not $expected_exec: $(grep '^Exec=' "$entry")"
grep -qxF "TryExec=$prefix/bin/tessivar" "$entry" || fail "TryExec: $(grep '^TryExec=' "$entry")"

# The file types.
types="$share/mime/packages/tessivar.xml"
if command -v xmllint > /dev/null 2>&1; then
  xmllint --noout "$types" || fail "xmllint refuses $types"
fi
for pair in object:cmf project:cma tasks:tsks quorvels:bsph; do
  kind=${pair%%:*}
  extension=${pair#*:}
  grep -q "<mime-type type=\"application/x-tessivar-$kind\">" "$types" || fail "no type for $kind"
  grep -q "<glob pattern=\"\*\.$extension\"/>" "$types" || fail "no glob for .$extension"
done
# update-mime-database ran and made the types known under the prefix.
if command -v update-mime-database > /dev/null 2>&1; then
  expect_file "$share/mime/application/x-tessivar-object.xml"
  expect_file "$share/mime/mime.cache"
  grep -q "tessivar" "$share/mime/globs2" || fail "globs2 lists no Tessivar type"
  grep -q "x-tessivar-object" "$share/mime/magic" || fail "magic has no object file signature"
  # The desktop knows an object file by its first bytes whatever its name; a task list by its name.
  if command -v gio > /dev/null 2>&1; then
    printf 'HEAD\000\000\005\024CMF \000\000\000d' > "$work/object without extension"
    head -c 60 /dev/zero > "$work/Steps.tsks"  # one step record
    for pair in "object without extension:object" "Steps.tsks:tasks"; do
      file=${pair%:*}
      type=$(XDG_DATA_HOME="$share" XDG_DATA_DIRS="$share" gio info -a standard::content-type "$work/$file" 2> /dev/null |
        sed -n 's/^ *standard::content-type: //p')
      [ "$type" = "application/x-tessivar-${pair##*:}" ] || fail "$file is taken for $type"
    done
  fi
fi

# The installed program: no TESSIVAR_HOME and no Resource beside bin/tessivar, so it must find
# share/tessivar/Resource (the organic sphere comes from there).
program="$prefix/bin/tessivar"
installed() {
  env -u TESSIVAR_HOME "$program" "$@"
}
installed --version > "$work/version.out" 2>&1 || fail "--version exits with an error"
grep -q "^Tessivar " "$work/version.out" || fail "--version prints $(cat "$work/version.out")"
cd "$work" || exit 1
installed new organic:sphere "$work/Rock.cmf" > "$work/new.out" 2>&1 || {
  cat "$work/new.out" >&2
  fail "the installed program does not make a sphere"
}
installed info "$work/Rock.cmf" > "$work/info.out" 2>&1 || {
  cat "$work/info.out" >&2
  fail "info on an object file fails"
}
grep -qx "Type: Tessivar object" "$work/info.out" || fail "info prints $(cat "$work/info.out")"
grep -qx "Name: Rock" "$work/info.out" || fail "info names no Rock"

# A second install over the first replaces the resource folder whole and leaves nothing behind.
touch "$share/tessivar/Resource/stale-file"
run_install "$prefix" > "$work/install2.out" 2>&1 || {
  cat "$work/install2.out" >&2
  fail "a second install failed"
}
[ -e "$share/tessivar/Resource/stale-file" ] && fail "a second install kept the old resource folder"
leftovers=$(find "$prefix" -name '*.new-*' -o -name '*.old-*')
[ -z "$leftovers" ] || fail "temporary files left: $leftovers"

# A tree without a program: an error, and the prefix is not even made.
mkdir -p "$work/empty-tree"
if env HOME="$home" sh "$source_root/scripts/install" --prefix "$work/untouched" \
  --build-dir "$work/empty-tree" > "$work/empty.out" 2>&1; then
  fail "installing from an empty tree succeeded"
fi
grep -q "has no tessivar" "$work/empty.out" || fail "the empty tree gives: $(cat "$work/empty.out")"
[ -e "$work/untouched" ] && fail "a failed install made the prefix"
# Unknown options and a missing value are usage errors.
sh "$source_root/scripts/install" --prefix > /dev/null 2>&1
[ $? -eq 2 ] || fail "--prefix without a folder is not a usage error"
sh "$source_root/scripts/install" --frobnicate > /dev/null 2>&1
[ $? -eq 2 ] || fail "an unknown option is not a usage error"

# Without update-mime-database, update-desktop-database and gtk-update-icon-cache on PATH the
# install still succeeds.
tools="$work/tools"
mkdir -p "$tools"
for tool in sh dirname basename mkdir install mv rm cp sed awk chmod; do
  ln -s "$(command -v "$tool")" "$tools/$tool"
done
bare="$work/bare prefix"
if ! run_install "$bare" "$tools" > "$work/bare.out" 2>&1; then
  cat "$work/bare.out" >&2
  fail "installing without the desktop tools failed"
fi
expect_file "$bare/share/applications/tessivar.desktop"
expect_file "$bare/share/icons/hicolor/48x48/apps/tessivar.png"
[ -e "$bare/share/mime/mime.cache" ] && fail "a mime cache appeared without update-mime-database"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "install checks passed"
