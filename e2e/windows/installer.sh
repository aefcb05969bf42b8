#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows packages as an administrator and a teacher use them, under
# Wine in a prefix made new for the purpose. First the MSI's own tables,
# read with msitools, must say what was meant. Then: an older build
# installed silently, the MSI upgrading it silently with RECORDFOLDER given
# (one entry left in the installed programs, the setting in the 64-bit
# registry), the files in Program Files\Cifrelle identical to the zip's,
# the shortcut in every user's Start menu with the game's icon, the game
# started from that shortcut showing its name box, the silent removal
# taking the program and leaving the pupils' records; last the zip
# unzipped and its game started. Screenshots are left in OUT.
#
# Usage: e2e/windows/installer.sh MSI OLDER_MSI ZIP WINE_DIR OUT   ($DISPLAY set)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine.sh"
msi=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
older=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
zip=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
out=${5:?output folder}
mkdir -p "$out"
out=$(cd "$out" && pwd)

fail() {
    echo "windows installer: $*" >&2
    import -window root "$out/failure.png" 2>/dev/null || true
    exit 1
}

# --- The tables ---------------------------------------------------------
tables="$out/tables"
rm -rf "$tables"
mkdir -p "$tables"
# msidump writes binary cells (the icon) below the current folder, not -d's.
(cd "$tables" && msidump -d "$tables" -t "$msi" >/dev/null)
# The rows of TABLE (tab-separated, after the three header lines).
rows() { tail -n +4 "$tables/$1.idt" | tr -d '\r'; }
has_row() {
    rows "$1" | grep -qxF "$(printf '%b' "$2")" ||
        fail "table $1 lacks the row: $(printf '%b' "$2" | tr '\t' '|')"
}
upgrade_code='{7082D86B-6C10-478E-A92C-FE3BAC4D2CD3}'
version=$(rows Property | sed -n 's/^ProductVersion\t//p')
msiinfo suminfo "$msi" | grep -qx 'Template: x64;1033' || fail "the package is not a 64-bit one"
# Per machine, the name, the publisher, the upgrade code that never
# changes, the installed programs' icon, RECORDFOLDER and REGISTER passed on.
has_row Property 'ALLUSERS\t1'
has_row Property 'ProductName\tCifrelle'
has_row Property 'Manufacturer\tGli sviluppatori di Cifrelle'
has_row Property "UpgradeCode\t$upgrade_code"
has_row Property 'ARPPRODUCTICON\tcifrelle.ico'
rows Property | grep -q "^SecureCustomProperties$(printf '\t').*RECORDFOLDER;REGISTER;GUARDED" ||
    fail "RECORDFOLDER, REGISTER and GUARDED do not reach the installing service"
has_row Directory 'INSTALLDIR\tProgramFiles64Folder\tCifrelle'
# The start menu of every user, even where the installer leaves
# ProgramMenuFolder to the user (Wine's): a custom action of type 51
# (msidbCustomActionTypeProperty + TextData: sets a property to a text).
has_row CustomAction 'AllUsersProgramMenu\t51\tProgramMenuFolder\t[CommonAppDataFolder]Microsoft\\Windows\\Start Menu\\Programs\\\t'
has_row Shortcut 'StartMenuShortcut\tProgramMenuFolder\tCifrelle\tProgram\t[INSTALLDIR]cifrelle.exe\t\tGioco per imparare ad approssimare i numeri decimali\t\tcifrelle.ico\t0\t\tINSTALLDIR\t\t\t\t'
# Every component 64-bit; the settings only with RECORDFOLDER and with
# REGISTER=1, permanent, in HKLM, known by their registry values (Windows
# Installer's msidbComponentAttributes64bit, Permanent and RegistryKeyPath).
in_64bit_registry=256 permanent=16 registry_key_path=4
setting=$((in_64bit_registry + permanent + registry_key_path))
[ "$(rows Component | awk -F'\t' -v plain="$in_64bit_registry" '$4 != plain || $5 != ""' | cut -f1,4,5 | sort)" = \
  "$(printf 'GuardedSetting\t%d\tGUARDED="1"\nKeeper\t%d\tGUARDED="1" OR GUARDEDSET="true"\nRecordFolderSetting\t%d\tRECORDFOLDER\nRegisterSetting\t%d\tREGISTER="1"' \
          "$setting" "$in_64bit_registry" "$setting" "$setting")" ] ||
    fail "components: $(rows Component | cut -f1,4,5 | tr '\n\t' ';|')"
# The class's keeper: a service of its own process (16), started with the
# computer (2), under its own account; started when installed (1), stopped
# when installed over or removed (2, 32), deleted when removed (128).
has_row ServiceInstall 'KeeperService\tcifrelle-classe\tCifrelle: custode del record della classe\t16\t2\t1\t\t\tNT SERVICE\\cifrelle-classe\t\t\tKeeper\tScrive il record e il registro della classe per il gioco Cifrelle, nella cartella che gli alunni non possono toccare.'
has_row ServiceControl 'KeeperControl\tcifrelle-classe\t163\t\t1\tKeeper'
rows RegLocator | grep -q "^GuardedSearch$(printf '\t')2$(printf '\t')SOFTWARE.cifrelle.cifrelle.record$(printf '\t')guarded$(printf '\t')18\$" ||
    fail "the search for the guard already set is not HKLM's 64-bit guarded"
rows Registry | grep -q "$(printf '\t2\tSOFTWARE\\\\cifrelle\\\\cifrelle\\\\record\tfolder\t\\[RECORDFOLDER\\]\tRecordFolderSetting$')" ||
    fail "the registry row is not HKLM\\SOFTWARE\\cifrelle\\cifrelle\\record, folder"
rows Registry | grep -q "$(printf '\t2\tSOFTWARE\\\\cifrelle\\\\cifrelle\\\\record\tregister\ttrue\tRegisterSetting$')" ||
    fail "the registry row is not HKLM\\SOFTWARE\\cifrelle\\cifrelle\\record, register, true"
# An older version or a rebuild of this one is replaced (the features'
# states kept, the maximum version included); a newer one is only
# detected, and stops the installation (msidbUpgradeAttributes*).
migrate_features=1 only_detect=2 version_max_inclusive=512
has_row Upgrade "$upgrade_code\t\t$version\t\t$((migrate_features + version_max_inclusive))\t\tWIX_UPGRADE_DETECTED"
has_row Upgrade "$upgrade_code\t$version\t\t\t$only_detect\t\tWIX_DOWNGRADE_DETECTED"
[ "$(rows File | cut -f3 | sort | tr '\n' ' ')" = \
  "LICENSE.txt Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll cifrelle-classe.exe cifrelle-registro.exe cifrelle.exe qt_it.qm qwindows.dll qwindowsvistastyle.dll " ] ||
    fail "files: $(rows File | cut -f3 | tr '\n' ' ')"
# The teacher's register: its program and its own shortcut, with its icon.
rows Shortcut | grep -q "^RegistroShortcut$(printf '\t')ProgramMenuFolder$(printf '\t').*Registro di Cifrelle$(printf '\t')Registro$(printf '\t')\\[INSTALLDIR\\]cifrelle-registro.exe$(printf '\t').*cifrelle-registro.ico$(printf '\t')0$(printf '\t')" ||
    fail "no shortcut \"Registro di Cifrelle\": $(rows Shortcut | tr '\t\n' '|;')"
echo "windows installer: the MSI's tables say per machine, 64-bit, the shortcut, the setting, the upgrade"

# --- Install, upgrade, start, remove -----------------------------------
wine_use "${4:?Wine folder}"
wine_stop
rm -rf "$WINEPREFIX" "$HOME"
wine_use "$4"
wine_boot
drive="$WINEPREFIX/drive_c"
program="$drive/Program Files/Cifrelle"
shortcut="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Cifrelle.lnk"
user_menu="$drive/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
records="$drive/users/$(id -un)/AppData/Roaming/cifrelle"
setting='HKLM\SOFTWARE\cifrelle\cifrelle\record'
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

# The installed programs' entries named Cifrelle, as "version" lines.
entries() {
    wine reg query "$uninstall" /s 2>/dev/null | tr -d '\r' | awk '
        /^HKEY/ { name = ""; version = "" }
        /^ +DisplayName +REG_SZ +Cifrelle$/ { name = 1 }
        /^ +DisplayVersion +REG_SZ/ { version = $3 }
        name && version { print version; name = "" }'
}
# The administrator's value $1 (folder, register) in HKLM's 64-bit view.
setting_value() {
    wine reg query "$setting" /v "$1" /reg:64 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$1 *REG_SZ *//p"
}
folder_setting() { setting_value folder; }

wine msiexec /i "$(windows_path "$older")" /qn || fail "the older MSI did not install"
[ "$(entries)" != "$version" ] && [ "$(entries | wc -l)" -eq 1 ] ||
    fail "after the older MSI the installed programs list: $(entries)"
[ -z "$(folder_setting)" ] || fail "the record folder is set without RECORDFOLDER"
[ -z "$(setting_value register)" ] || fail "the register is kept without REGISTER=1"

# The records of a pupil, made before the upgrade and the removal.
mkdir -p "$records"
printf '7\r\n' >"$records/cifrel.txt"
printf 'Marco\r\n' >"$records/ncifrel.txt"

start=$(date +%s%N)
wine msiexec /i "$(windows_path "$msi")" 'RECORDFOLDER=\\server\classe3B\cifrelle' REGISTER=1 /qn ||
    fail "the MSI did not install over the older one"
echo "silent upgrade in $(( ($(date +%s%N) - start) / 1000000 )) ms"
[ "$(entries)" = "$version" ] || fail "after the upgrade the installed programs list: $(entries)"
[ "$(folder_setting)" = '\\server\classe3B\cifrelle' ] ||
    fail "HKLM\\SOFTWARE\\cifrelle\\cifrelle\\record folder (64-bit) is \"$(folder_setting)\""
[ "$(setting_value register)" = true ] ||
    fail "HKLM\\SOFTWARE\\cifrelle\\cifrelle\\record register (64-bit) is \"$(setting_value register)\""
# Registered for the machine, with the game's icon.
wine reg query 'HKLM\Software\Classes\Installer\Products' /s 2>/dev/null | tr -d '\r' |
    grep -q 'ProductIcon *REG_SZ *C:\\windows\\Installer\\{.*}\\cifrelle.ico' ||
    fail "the product is not registered for the machine with its icon"

unzipped="$out/zip"
rm -rf "$unzipped"
mkdir -p "$unzipped"
(cd "$unzipped" && cmake -E tar xf "$zip")
(cd "$unzipped/Cifrelle" && find . -type f | sort) >"$out/zip-files"
(cd "$program" && find . -type f | sort) >"$out/installed-files"
cmp -s "$out/zip-files" "$out/installed-files" ||
    fail "installed and zipped files differ: $(diff "$out/zip-files" "$out/installed-files" | tr '\n' ' ')"
while read -r f; do
    cmp -s "$program/$f" "$unzipped/Cifrelle/$f" || fail "installed $f differs from the zip's"
done <"$out/zip-files"

[ -f "$shortcut" ] || fail "no shortcut in every user's Start menu"
! ls "$user_menu"/*.lnk >/dev/null 2>&1 || fail "a shortcut in the user's own Start menu"
# A shell link names its target and its icon in UTF-16.
strings -a -e l "$shortcut" | grep -qx 'C:\\Program Files\\Cifrelle\\' ||
    fail "the shortcut does not start in C:\\Program Files\\Cifrelle"
strings -a "$shortcut" | grep -qx 'C:\\Program Files\\Cifrelle\\cifrelle.exe' ||
    fail "the shortcut does not point at C:\\Program Files\\Cifrelle\\cifrelle.exe"
strings -a -e l "$shortcut" | grep -q '^.C:\\windows\\Installer\\{.*}\\cifrelle.ico$' ||
    fail "the shortcut has not the game's icon"

# The teacher's register's shortcut beside the game's, for every user.
registro_shortcut="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Registro di Cifrelle.lnk"
[ -f "$registro_shortcut" ] || fail "no shortcut \"Registro di Cifrelle\" in every user's Start menu"
strings -a "$registro_shortcut" | grep -qx 'C:\\Program Files\\Cifrelle\\cifrelle-registro.exe' ||
    fail "the register's shortcut does not point at cifrelle-registro.exe"
strings -a -e l "$registro_shortcut" | grep -q '^.C:\\windows\\Installer\\{.*}\\cifrelle-registro.ico$' ||
    fail "the register's shortcut has not its icon"

# shown TITLE WHAT: waits about 15 s for a visible window whose title is
# exactly TITLE, of the program WHAT names (started by Wine's "start", so
# no process of ours to watch).
shown() {
    i=0
    until xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; do
        i=$((i + 1))
        [ $i -lt 300 ] || fail "$2 showed no window \"$1\""
        sleep 0.05
    done
}

# The game, started from the Start menu's shortcut: its name box.
wine_desktop
wine start 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Cifrelle.lnk' >/dev/null 2>&1
shown 'Impariamo ad approssimare' "the installed game"
sleep 0.3
import -window root "$out/installed-name-box.png"
wine_stop
"$WINE_SERVER" -p </dev/null >/dev/null 2>&1

# The register's program, from its shortcut: the class folder set above is
# on a server that is not there, and its box says so.
wine_desktop
wine start 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Registro di Cifrelle.lnk' >/dev/null 2>&1
shown 'Registro della classe' "the register's program, started from its shortcut,"
sleep 0.3
import -window root "$out/installed-registro.png"
wine_stop
"$WINE_SERVER" -p </dev/null >/dev/null 2>&1

wine msiexec /x "$(windows_path "$msi")" /qn || fail "the silent removal failed"
[ ! -e "$program" ] || fail "Program Files\\Cifrelle is still there: $(ls "$program")"
[ ! -e "$shortcut" ] || fail "the shortcut is still there"
[ ! -e "$registro_shortcut" ] || fail "the register's shortcut is still there"
[ -z "$(entries)" ] || fail "the installed programs still list: $(entries)"
[ "$(cat "$records/cifrel.txt" "$records/ncifrel.txt" | tr -d '\r')" = "$(printf '7\nMarco')" ] ||
    fail "the removal touched the pupils' records"
# The administrator's setting stays, for the next installation.
[ "$(folder_setting)" = '\\server\classe3B\cifrelle' ] || fail "the removal took the record folder setting"
[ "$(setting_value register)" = true ] || fail "the removal took the register's setting"

# The zip's game, where a teacher without administrator rights unzips it.
wine_desktop
wine "$unzipped/Cifrelle/cifrelle.exe" >/dev/null 2>&1 &
shown 'Impariamo ad approssimare' "the unzipped game"
wine_stop
echo "windows installer: silent install, upgrade to one entry, RECORDFOLDER and REGISTER in HKLM (64-bit)," \
     "shortcut for every user, the installed and the unzipped game start, removal keeps the records"
