#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Cifrelle's Debian package with CPack and checks it the way a
# school's technician would meet it: its file name, its files, its control
# fields, and the desktop entry and AppStream metadata it installs, through
# Debian's own checkers; lintian must find no error and no warning.
# Usage: package_test.sh CPACK BUILD_DIR VERSION APP_ID "ICON_SIZES"
set -u
cpack=$1 build=$2 version=$3 id=$4 sizes=$5

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

for tool in dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli file objdump lintian; do
    command -v "$tool" >/dev/null 2>&1 ||
        { echo "FAIL: $tool is missing (scripts/setup --tests installs it)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# The package, built from the build tree into a folder of this run only.
if ! "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack could not build the package" >&2
    exit 1
fi
arch=$(dpkg --print-architecture)
deb="$work/out/cifrelle_${version}_${arch}.deb"
if [ ! -f "$deb" ]; then
    echo "FAIL: no package cifrelle_${version}_${arch}.deb; cpack made:" >&2
    ls "$work/out" >&2
    exit 1
fi
echo "package: $(basename "$deb"), $(wc -c <"$deb") bytes"

# --- Files -----------------------------------------------------------------
# "MODE PATH" for every entry, paths without the leading "./".
dpkg-deb -c "$deb" | awk '{ p = $6; sub(/^\.\//, "", p); print $1, p }' >"$work/list"

has_file() { # PATH [MODE]
    line=$(awk -v p="$1" '$2 == p' "$work/list")
    if [ -z "$line" ]; then
        fail "the package lacks $1"
    elif [ $# -gt 1 ] && [ "${line%% *}" != "$2" ]; then
        fail "$1 has mode ${line%% *}, expected $2"
    fi
}
has_file usr/bin/cifrelle -rwxr-xr-x
has_file usr/libexec/cifrelle/cifrelle-classe -rwxr-xr-x
has_file "usr/share/applications/$id.desktop" -rw-r--r--
has_file "usr/share/metainfo/$id.metainfo.xml" -rw-r--r--
has_file "usr/share/icons/hicolor/scalable/apps/$id.svg" -rw-r--r--
has_file usr/share/doc/cifrelle/copyright -rw-r--r--
has_file usr/share/doc/cifrelle/changelog.gz -rw-r--r--
has_file usr/share/man/man6/cifrelle.6.gz -rw-r--r--
has_file usr/share/man/it/man6/cifrelle.6.gz -rw-r--r--
for size in $sizes; do
    has_file "usr/share/icons/hicolor/${size}x${size}/apps/$id.png" -rw-r--r--
done
# The teacher's view of the register, beside the game.
has_file usr/bin/cifrelle-registro -rwxr-xr-x
has_file "usr/share/applications/$id.Registro.desktop" -rw-r--r--
has_file "usr/share/icons/hicolor/scalable/apps/$id.Registro.svg" -rw-r--r--
has_file usr/share/man/man6/cifrelle-registro.6.gz -rw-r--r--
has_file usr/share/man/it/man6/cifrelle-registro.6.gz -rw-r--r--
for size in $sizes; do
    has_file "usr/share/icons/hicolor/${size}x${size}/apps/$id.Registro.png" -rw-r--r--
done
# Nothing else: no libraries, headers or test programs of the build.
awk '$1 !~ /^d/ && $2 !~ /^usr\/share\// && $2 != "usr/bin/cifrelle" && $2 != "usr/bin/cifrelle-registro" &&
     $2 != "usr/libexec/cifrelle/cifrelle-classe" { print $2 }' "$work/list" >"$work/stray"
if [ -s "$work/stray" ]; then
    fail "files that do not belong in the package: $(tr '\n' ' ' <"$work/stray")"
fi

# --- Control fields --------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = cifrelle ] || fail "Package is '$(field Package)', expected cifrelle"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', expected $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)', expected $arch"
case "$(field Section)" in
    education | games) ;;
    *) fail "Section is '$(field Section)', expected education or games" ;;
esac
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
description=$(field Description)
summary=$(printf '%s\n' "$description" | head -n 1)
[ -n "$summary" ] || fail "the Description has no summary line"
[ "$(printf '%s\n' "$description" | wc -l)" -ge 3 ] || fail "the Description has no long text"

# The Depends names, one a line, without version constraints.
depends=$(field Depends)
printf '%s\n' "$depends" | tr ',' '\n' | sed 's/(.*)//; s/[[:space:]]//g' | sed '/^$/d' >"$work/depends"
depends_on() { grep -qx "$1" "$work/depends"; }
# What the binary links to must be found by dpkg-shlibdeps, with the least
# version it needs; what Qt loads at run time must be named by hand.
printf '%s\n' "$depends" | grep -q 'libqt6widgets6 (>= ' ||
    fail "Depends has no versioned libqt6widgets6 from dpkg-shlibdeps: $depends"
for package in libqt6widgets6 libqt6gui6 libqt6core6 libc6 libstdc++6 \
               qt6-qpa-plugins qt6-translations-l10n fonts-liberation adduser; do
    depends_on "$package" || fail "Depends lacks $package: $depends"
done

# --- The installed files ---------------------------------------------------
root="$work/root"
dpkg-deb -x "$deb" "$root"

# Every library the program $1 needs comes from a package the package
# depends on.
libraries_in_depends() {
    for library in $(objdump -p "$1" | awk '$1 == "NEEDED" { print $2 }'); do
        owners=$(dpkg -S "*/$library" 2>/dev/null | cut -d: -f1 | tr ',' '\n' | sed 's/[[:space:]]//g' | sort -u)
        found=""
        for owner in $owners; do
            depends_on "$owner" && found=yes
        done
        [ -n "$found" ] || fail "${1#"$root"/} needs $library (from: ${owners:-no package}) but Depends does not name it"
    done
}
# The game, the teacher's view and the class's keeper: stripped
# executables whose libraries the package depends on.
for program in usr/bin/cifrelle usr/bin/cifrelle-registro usr/libexec/cifrelle/cifrelle-classe; do
    binary="$root/$program"
    case "$(file -b "$binary")" in
        ELF*executable*", stripped"*) ;;
        *) fail "$program is not a stripped executable: $(file -b "$binary")" ;;
    esac
    libraries_in_depends "$binary"
done

# The keeper's group and set-group-ID bit: the postinst and the postrm run
# against stand-ins of the commands they call, which note their arguments;
# without and then with an override for the keeper registered already
# (an administrator's, or the postinst's of an earlier install).
dpkg-deb -e "$deb" "$work/control"
mkdir -p "$work/bin"
for command in addgroup dpkg-statoverride; do
    printf '#!/bin/sh\necho "%s $*" >>"%s"\n[ "%s" != dpkg-statoverride ] || [ "$1" != --list ] || exit "${OVERRIDE:-1}"\n' \
        "$command" "$work/calls" "$command" >"$work/bin/$command"
    chmod 755 "$work/bin/$command"
done
keeper=/usr/libexec/cifrelle/cifrelle-classe
# maintainer SCRIPT ARGUMENT OVERRIDE EXPECTED_CALLS
maintainer() {
    rm -f "$work/calls"
    PATH="$work/bin:$PATH" OVERRIDE=$3 sh "$work/control/$1" "$2" || fail "the $1 $2 failed"
    [ "$(cat "$work/calls" 2>/dev/null)" = "$4" ] || fail "the $1 $2 called: $(cat "$work/calls")"
}
maintainer postinst configure 1 "addgroup --system --quiet cifrelle
dpkg-statoverride --list $keeper
dpkg-statoverride --update --add root cifrelle 2755 $keeper"
maintainer postinst configure 0 "addgroup --system --quiet cifrelle
dpkg-statoverride --list $keeper"
maintainer postrm remove 0 ""
maintainer postrm purge 1 "dpkg-statoverride --list $keeper"
maintainer postrm purge 0 "dpkg-statoverride --list $keeper
dpkg-statoverride --remove $keeper"

desktop="$root/usr/share/applications/$id.desktop"
if [ -f "$desktop" ]; then
    if ! out=$(desktop-file-validate "$desktop" 2>&1) || [ -n "$out" ]; then
        fail "desktop-file-validate: $out"
    fi
    key() { sed -n "s/^$1=//p" "$desktop"; }
    [ "$(key Name)" = Cifrelle ] || fail "the desktop entry's Name is '$(key Name)'"
    [ -n "$(key Comment)" ] || fail "the desktop entry has no Comment"
    [ "$(key Icon)" = "$id" ] || fail "the desktop entry's Icon is '$(key Icon)', expected $id"
    exec_name=$(key Exec | cut -d' ' -f1)
    [ -x "$root/usr/bin/$exec_name" ] || fail "the desktop entry starts '$exec_name', which the package does not install"
    for category in Education Math; do
        case ";$(key Categories);" in
            *";$category;"*) ;;
            *) fail "the desktop entry's Categories '$(key Categories)' lack $category" ;;
        esac
    done
fi

metainfo="$root/usr/share/metainfo/$id.metainfo.xml"
if [ -f "$metainfo" ]; then
    if ! out=$(appstreamcli validate --no-net --strict "$metainfo" 2>&1); then
        fail "appstreamcli validate: $out"
    fi
    # The whole tree: the metadata together with the desktop entry it names.
    if ! out=$(appstreamcli validate-tree --no-net --strict "$root" 2>&1); then
        fail "appstreamcli validate-tree: $out"
    fi
    grep -q "<id>$id</id>" "$metainfo" || fail "the metainfo's id is not $id"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fail "the metainfo does not launch $id.desktop"
    grep -q "<release version=\"$version\"" "$metainfo" ||
        fail "the metainfo names no release $version"
    grep -q '<content_rating type="oars-1' "$metainfo" || fail "the metainfo has no content rating"
    # What a software centre shows on the program's page.
    grep -q '<project_license>GPL-3.0-or-later</project_license>' "$metainfo" ||
        fail "the metainfo does not name the license GPL-3.0-or-later"
    grep -A2 '<screenshot type="default">' "$metainfo" | grep -q '<caption>' ||
        fail "the metainfo has no default screenshot with a caption"
    grep -A1 "<release version=\"$version\"" "$metainfo" | grep -q '<description>' ||
        fail "the metainfo has no release notes for $version"
fi

for size in $sizes; do
    icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/$id.png"
    [ -f "$icon" ] || continue
    file -b "$icon" | grep -q "^PNG image data, $size x $size," ||
        fail "icon ${size}x${size} is $(file -b "$icon")"
done
svg="$root/usr/share/icons/hicolor/scalable/apps/$id.svg"
[ ! -f "$svg" ] || file -b "$svg" | grep -q 'SVG' || fail "the scalable icon is $(file -b "$svg")"

# The changelog's newest entry is this version; the AppStream release above
# is checked the same way, so a new version updates both.
changelog="$root/usr/share/doc/cifrelle/changelog.gz"
if [ -f "$changelog" ]; then
    first=$(gzip -dc "$changelog" | head -n 1)
    case "$first" in
        "cifrelle ($version) "*) ;;
        *) fail "the changelog's newest entry is '$first', expected version $version" ;;
    esac
fi

# --- The teacher's register -----------------------------------------------
# Its menu entry.
entry="$root/usr/share/applications/$id.Registro.desktop"
if [ -f "$entry" ]; then
    if ! out=$(desktop-file-validate "$entry" 2>&1) || [ -n "$out" ]; then
        fail "desktop-file-validate (the register's entry): $out"
    fi
    [ "$(sed -n 's/^Name=//p' "$entry")" = "Registro di Cifrelle" ] ||
        fail "the register's entry is named '$(sed -n 's/^Name=//p' "$entry")'"
    [ "$(sed -n 's/^Icon=//p' "$entry")" = "$id.Registro" ] || fail "the register's entry has another icon"
    [ -x "$root/usr/bin/$(sed -n 's/^Exec=//p' "$entry" | cut -d' ' -f1)" ] ||
        fail "the register's entry starts a program the package does not install"
    grep -q "<launchable type=\"desktop-id\">$id.Registro.desktop</launchable>" "$metainfo" ||
        fail "the metainfo does not launch $id.Registro.desktop"
fi

# --- lintian ---------------------------------------------------------------
# Debian's own judgement of the package, the manual pages' formatting
# included. Informational tags are shown but do not fail the test.
if ! lintian --allow-root --fail-on none --display-info "$deb" >"$work/lintian" 2>&1; then
    cat "$work/lintian" >&2
    fail "lintian could not check the package"
elif grep -q '^[EW]: ' "$work/lintian"; then
    cat "$work/lintian" >&2
    fail "lintian reports errors or warnings (above)"
else
    [ ! -s "$work/lintian" ] || cat "$work/lintian"
    echo "lintian: no error, no warning"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "package checks passed"
