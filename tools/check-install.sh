#!/usr/bin/env bash
# Checks what users get, as CI does: installs the Release build into a DESTDIR and checks the
# tree (every file in its place and nothing else), that the installed programs run, that the
# manual has no broken links, that the desktop entry, file type, icons and man pages are valid;
# then builds the Debian package and checks its control data and contents.
set -euo pipefail
cd "$(dirname "$0")/.."

problems=0
fail() {
    echo "check-install: $*" >&2
    problems=$((problems + 1))
}

# The run command installs what building and running needs, never a compositor or a test tool.
for p in sway weston kwin-wayland gnome-shell xwayland wtype xvfb xdotool umockdev \
    libgtest-dev libbenchmark-dev poppler-utils nodejs; do
    if tools/deps.sh --list | grep -qx "$p"; then
        fail "tools/run.sh would install $p, which only the tests need"
    fi
done

tools/package.sh build/package
deb=$(ls build/package/vextkey_*.deb)
version=$(sed -n 's/^project(VextKey VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
short=${version%.*}

dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR="$dest" cmake --install build/release >/dev/null
root=$dest/usr

# Every file in its place, and nothing else.
expected=(
    bin/vextkey bin/vextd bin/vext-reg
    share/vextkey/tips.txt
    share/applications/vextkey.desktop
    share/metainfo/example.zelvan.VextKey.metainfo.xml
    share/mime/packages/vextkey.xml
    share/man/man1/vextkey.1.gz share/man/man1/vextd.1.gz share/man/man1/vext-reg.1.gz
    share/doc/vextkey/README.md share/doc/vextkey/pads.conf.example
    share/doc/vextkey/examples/Demo.vks
    lib/systemd/user/vextd.service
    lib/udev/rules.d/70-vextkey-uinput.rules
    share/vextkey/manual/manual.css
    share/vextkey/manual/images/vextkey.png
    share/gnome-shell/extensions/focus@vextkey/extension.js
    share/gnome-shell/extensions/focus@vextkey/metadata.json
)
for size in 16 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/vextkey.png")
done
for type in 0 1 2; do
    expected+=("share/vextkey/manual/images/pad-$type.png" "share/vextkey/manual/images/print-$type.png")
done
while IFS=$'\t' read -r page _; do
    case "$page" in '' | '#'*) continue ;; esac
    expected+=("share/vextkey/manual/$page")
done <docs/manual/pages.txt
for f in "${expected[@]}"; do
    [ -f "$root/$f" ] || fail "not installed: /usr/$f"
done
while IFS= read -r f; do
    rel=${f#"$root"/}
    printf '%s\n' "${expected[@]}" | grep -qxF "$rel" || fail "installed but not expected: /usr/$rel"
done < <(find "$dest" -type f -o -type l)
for f in bin/vextkey bin/vextd bin/vext-reg; do
    [ -x "$root/$f" ] || fail "/usr/$f is not executable"
done

# The installed programs run, without a display.
for prog in vextkey vext-reg vextd; do
    answer=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/bin/$prog" --version 2>&1) ||
        fail "$prog --version failed: $answer"
    [[ $answer == "$prog $short"* ]] || fail "$prog --version says \"$answer\", not \"$prog $short\""
done

# GNOME Shell finds the extension only in a folder named by its UUID.
python3 -c 'import json, sys; sys.exit(json.load(open(sys.argv[1]))["uuid"] != "focus@vextkey")' \
    "$root/share/gnome-shell/extensions/focus@vextkey/metadata.json" ||
    fail "the GNOME Shell extension's metadata does not name focus@vextkey"

# The unit starts the installed driver.
grep -q "^ExecStart=/usr/bin/vextd " "$root/lib/systemd/user/vextd.service" ||
    fail "vextd.service does not start /usr/bin/vextd"

# The manual: every link and picture is there, every anchor exists, every placeholder is filled.
manual=$root/share/vextkey/manual
for page in "$manual"/*.html; do
    name=${page##*/}
    if grep -qE '<!--@|@(SHORT_)?VERSION@' "$page"; then
        fail "manual/$name has an unfilled placeholder"
    fi
    while IFS= read -r target; do
        case "$target" in http:* | https:* | mailto:* | man:*) continue ;; esac
        file=${target%%#*}
        anchor=
        [[ $target == *"#"* ]] && anchor=${target#*#}
        [ -n "$file" ] || file=$name
        if [ ! -f "$manual/$file" ]; then
            fail "manual/$name links to $target, which is missing"
        elif [ -n "$anchor" ] && ! grep -q "id=\"$anchor\"" "$manual/$file"; then
            fail "manual/$name links to $target: no id \"$anchor\" in $file"
        fi
    done < <(grep -oE '(href|src)="[^"]*"' "$page" | sed -E 's/^(href|src)="(.*)"$/\2/')
done

# Desktop entry, file type and icons.
desktop-file-validate "$root/share/applications/vextkey.desktop" || fail "desktop-file-validate"
grep -q '^Exec=vextkey %F$' "$root/share/applications/vextkey.desktop" ||
    fail "the desktop entry does not hand files to vextkey"
mime=$(mktemp -d)
mkdir -p "$mime/mime/packages"
cp "$root/share/mime/packages/vextkey.xml" "$mime/mime/packages/"
if ! answer=$(update-mime-database "$mime/mime" 2>&1 >/dev/null) ||
    grep -qi "error\|warning" <<<"$answer"; then
    fail "update-mime-database refuses vextkey.xml: $answer"
elif command -v gio >/dev/null; then
    cp examples/Demo.vks "$mime/Game.vks"
    cp examples/Demo.vks "$mime/renamed"
    printf 'not a key set\n' >"$mime/plain"
    for f in Game.vks renamed plain; do
        want=application/x-vextkey-keyset
        [ "$f" = plain ] && want=text/plain
        got=$(XDG_DATA_DIRS="$mime:/usr/share" gio info -a standard::content-type "$mime/$f" 2>/dev/null |
            sed -n 's/.*standard::content-type: //p')
        [ "$got" = "$want" ] || fail "file type of $f: $got, not $want"
    done
fi
# A file manager opens key sets with the entry: the desktop database maps the type to it.
mkdir -p "$mime/applications"
cp "$root/share/applications/vextkey.desktop" "$mime/applications/"
update-desktop-database "$mime/applications"
if command -v xdg-mime >/dev/null; then
    got=$(XDG_DATA_HOME="$mime/none" XDG_DATA_DIRS="$mime" XDG_CONFIG_HOME="$mime/none" \
        XDG_CONFIG_DIRS="$mime/none" xdg-mime query default application/x-vextkey-keyset)
    [ "$got" = vextkey.desktop ] || fail "key sets open with \"$got\", not vextkey.desktop"
fi
rm -rf "$mime"
for size in 16 32 48 64 128 256; do
    icon=$root/share/icons/hicolor/${size}x${size}/apps/vextkey.png
    file -b "$icon" | grep -q "PNG image data, $size x $size" || fail "icon $size: $(file -b "$icon")"
done

# What software centres read: valid, and pointing at the desktop entry and the file type.
metainfo=$root/share/metainfo/example.zelvan.VextKey.metainfo.xml
if answer=$(appstreamcli validate --no-net "$metainfo" 2>&1); then
    grep -q '<launchable type="desktop-id">vextkey.desktop</launchable>' "$metainfo" ||
        fail "the metainfo does not launch vextkey.desktop"
    grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo lacks release $version"
else
    fail "appstreamcli validate: $answer"
fi

# Man pages: groff renders them without a warning.
for page in "$root"/share/man/man1/*.1.gz; do
    warnings=$(zcat "$page" | LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 2>&1)
    [ -z "$warnings" ] || fail "${page##*/}: $warnings"
done

# The package: control data, maintainer scripts, and the same files as the installation.
info=$(dpkg-deb -I "$deb")
echo "$info"
grep -q "^ Package: vextkey$" <<<"$info" || fail "package name"
grep -q "^ Version: $version$" <<<"$info" || fail "package version is not $version"
for dep in libqt6widgets6 libsdl2 libsqlite3 qt6-qpa-plugins fonts-liberation; do
    grep -E "^ Depends:.*\b$dep" <<<"$info" >/dev/null || fail "Depends lacks $dep"
done
grep -E "^ Recommends:.*\bqt6-wayland" <<<"$info" >/dev/null || fail "Recommends lacks qt6-wayland"
grep -q "^ Description: keyboard emulation for game pads" <<<"$info" || fail "package description"
for script in postinst postrm; do
    dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -qx "./$script" || fail "package lacks $script"
done
tmp=$(mktemp -d)
dpkg-deb --ctrl-tarfile "$deb" | tar -x -C "$tmp"
sh -n "$tmp/postinst" && sh -n "$tmp/postrm" || fail "maintainer scripts do not parse"
rm -rf "$tmp"
contents=$(dpkg-deb -c "$deb")
echo "$contents"
for f in "${expected[@]}"; do
    grep -qE " \./usr/$f( |$)" <<<"$contents" || fail "package lacks /usr/$f"
done

if [ "$problems" -ne 0 ]; then
    echo "check-install: $problems problem(s)" >&2
    exit 1
fi
echo "check-install: $deb and its installation are complete"
