#!/usr/bin/env bash
# Installs a build into a fresh prefix, lets the desktop's tools index it, and checks that
# the desktop then knows both file types: the applications cache, Qt's MIME database by name
# and by content, the icons they name, and the validators of the desktop entry and the
# AppStream metadata. Prints every fault and exits 1 when there was one.
#
#   install_check.sh BUILD_DIR SOURCE_DIR MIME_PROBE
set -uo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 BUILD_DIR SOURCE_DIR MIME_PROBE" >&2
  exit 2
fi
build=$1 source=$2 probe=$3
types=(application/x-tessaron-profile application/x-tessaron-voltphase)

for tool in update-mime-database update-desktop-database desktop-file-validate appstreamcli rsvg-convert; do
  command -v "$tool" >/dev/null ||
    { echo "FAULT: $tool is missing (./test installs it with scripts/common.sh)" >&2; exit 1; }
done

work=$(mktemp -d) || exit 1
prefix=$work/prefix share=$work/prefix/share
mkdir "$work/home" "$work/files"

# `cmake --install` writes its list of installed files into the build folder, where it may
# be the record of a real install that someone means to remove later: keep that one.
manifest=$build/install_manifest.txt
[ -e "$manifest" ] && cp -p "$manifest" "$work/manifest.saved"
cleanup() {
  if [ -e "$work/manifest.saved" ]; then
    mv -f "$work/manifest.saved" "$manifest"
  else
    rm -f "$manifest"
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM

failed=0
fault() { echo "FAULT: $*" >&2; failed=1; }
die() { echo "FAULT: $*" >&2; exit 1; }

# Runs a command that sees the fresh prefix's data and, for the base types, the system's.
in_prefix() { XDG_DATA_HOME=$work/home XDG_DATA_DIRS=$share:/usr/share "$@"; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  die "cmake --install failed:"$'\n'"$(cat "$work/install.log")"
[ -s "$manifest" ] || die "cmake --install listed no installed file"
outside=$(awk -v p="$prefix/" 'index($0, p) != 1' "$manifest")
[ -z "$outside" ] || fault "installed outside the prefix:"$'\n'"$outside"

# The indexers must accept the installed files without a complaint.
out=$(in_prefix update-mime-database "$share/mime" 2>&1) && [ -z "$out" ] ||
  fault "update-mime-database complained: $out"
out=$(in_prefix update-desktop-database "$share/applications" 2>&1) && [ -z "$out" ] ||
  fault "update-desktop-database complained: $out"
for type in "${types[@]}"; do
  grep -Eq "^$type=(.*;)?tessaron\.desktop;" "$share/applications/mimeinfo.cache" 2>/dev/null ||
    fault "mimeinfo.cache does not open $type with tessaron.desktop"
done

# Qt's MIME database decides as a file manager does. Each row: file name, where its bytes
# come from, and the expected type ("-": none of ours).
data=$source/tests/data
printf '\0\0\0\2profile' >"$work/big-endian-2"
printf '\2\0\1\0profile' >"$work/low-half-2"
printf '2\n' >"$work/text-2"
cases=(
  "a.lcp        $data/profile-v1.lcp      application/x-tessaron-profile"   # the name wins
  "a.vf         $data/default-v2.lcp      application/x-tessaron-voltphase" # over the bytes
  "profile      $data/default-v2.lcp      application/x-tessaron-profile"
  "voltphase    $data/volt-example.vf     application/x-tessaron-voltphase"
  "version-3    $data/profile-v3.lcp      -"
  "big-endian   $work/big-endian-2        -"
  "low-half     $work/low-half-2          -"
  "text         $work/text-2              -"
)
files=()
for row in "${cases[@]}"; do
  read -r name from _ <<<"$row"
  cp "$from" "$work/files/$name" || die "cannot copy $from"
  files+=("$work/files/$name")
done
out=$(in_prefix "$probe" "${files[@]}") || die "$probe failed"
mapfile -t found <<<"$out"
for i in "${!cases[@]}"; do
  read -r name from expected <<<"${cases[$i]}"
  got=${found[$i]:-(nothing)}
  if [ "$expected" = - ]; then
    [[ $got != application/x-tessaron-* ]] || fault "$name (bytes of $from) taken for $got"
  else
    [ "$got" = "$expected" ] || fault "$name (bytes of $from) is $got, not $expected"
  fi
done

# Every icon the desktop entry and the MIME types name is installed.
icons=$(sed -n 's/^Icon=//p' "$share/applications/tessaron.desktop"
        cut -d: -f2 "$share/mime/icons" 2>/dev/null)
for icon in $icons; do
  compgen -G "$share/icons/hicolor/*/*/$icon.*" >/dev/null || fault "icon $icon is not installed"
  # Also as a scalable picture that a renderer draws at a software centre's large size.
  svg=$(compgen -G "$share/icons/hicolor/scalable/*/$icon.svg" | head -n 1)
  if [ -z "$svg" ]; then
    fault "icon $icon has no scalable (SVG) picture"
  elif ! rsvg-convert -w 256 -h 256 -o "$work/$icon.png" "$svg" 2>"$work/rsvg.log" ||
       [ ! -s "$work/$icon.png" ]; then
    fault "the SVG picture of $icon does not render: $(cat "$work/rsvg.log")"
  fi
done

out=$(desktop-file-validate "$share/applications/tessaron.desktop" 2>&1) && [ -z "$out" ] ||
  fault "desktop-file-validate: $out"
metainfo=$(compgen -G "$share/metainfo/*.metainfo.xml") || fault "no AppStream metadata installed"
for file in $metainfo; do
  out=$(appstreamcli validate --no-net "$file" 2>&1) || fault "appstreamcli validate: $out"
done

# The user guide, once it exists, is installed with every picture it shows.
if [ -e "$source/docs/user-guide.md" ]; then
  guide=$share/doc/tessaron/user-guide.md
  if [ -e "$guide" ]; then
    for image in $(grep -oE '(\]\(|src=")images/[^)" ]+' "$guide" | sed -E 's/^(\]\(|src=")//'); do
      [ -e "$share/doc/tessaron/$image" ] || fault "the guide's $image is not installed"
    done
  else
    fault "docs/user-guide.md is not installed as $guide"
  fi
fi

# The Python module (left out of sanitizer builds) goes where Debian's python3 finds the
# modules of the prefix, and a user's script imports and uses it from anywhere.
if [ -d "$build/python/module" ]; then
  py_check='import tessaron, sys
p = tessaron.Profile.new(elements=8); p.generate_lens(2.5, 633e-9)
assert len(p.codes()) == 16, p.codes()
print(tessaron.__file__)'
  site=$(/usr/bin/python3 "$source/python/install_path.py" "$prefix")
  compgen -G "$site/tessaron.cpython-*.so" >/dev/null ||
    fault "the Python module is not in $site, where python3 looks for $prefix's modules"
  out=$(cd "$work" && HOME=$work/home XDG_CONFIG_HOME=$work/home/.config PYTHONPATH=$site \
        /usr/bin/python3 -c "$py_check" 2>&1) &&
    [[ $out == "$site/"* ]] || fault "python3 does not use the module installed in $site: $out"
  # Into ~/.local python3 finds it with nothing set.
  HOME=$work/home cmake --install "$build" --prefix "$work/home/.local" --component python \
    >"$work/py.log" 2>&1 ||
    fault "cmake --install of the Python module into ~/.local failed: $(cat "$work/py.log")"
  out=$(cd "$work" && env -u PYTHONPATH HOME=$work/home XDG_CONFIG_HOME=$work/home/.config \
        /usr/bin/python3 -c "$py_check" 2>&1) &&
    [[ $out == "$work/home/.local/"* ]] ||
    fault "python3 does not find the module installed into ~/.local: $out"
fi

[ "$failed" -eq 0 ] && echo "installed tree in a fresh prefix: all checks passed"
exit "$failed"
