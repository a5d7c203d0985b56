#!/usr/bin/env bash
# Runs the shell tests once more under a font configuration that holds none of the faces the
# program asks for, only one other monospace and one other sans-serif face, as on a machine with
# other fonts. A test that depends on which fonts are installed (the colour of thin pixels, the
# width of a text) fails here.
# Usage: scripts/other-fonts-test.sh [BUILD_DIR]   (the tests must be built)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")

# The faces the program gets by default: its log font and the desktop's sans-serif.
asked_mono=$(fc-match -f '%{family[0]}' 'Courier New')
asked_sans=$(fc-match -f '%{family[0]}' 'sans-serif')

# The first regular face (sorted by path, so every run picks the same) of a family other than
# `avoid` among the faces that fc-list gives for `pattern`, whose family matches `want`.
pick() {
    local pattern=$1 avoid=$2 want=$3
    fc-list "$pattern" file family spacing | sort | while IFS= read -r line; do
        local file=${line%%: *} rest=${line#*: }
        local family=${rest%%[,:]*}
        [ "$family" = "$avoid" ] && continue
        [[ "$family" =~ $want ]] || continue
        echo "$file"
        break
    done
}
mono=$(pick ':spacing=100:slant=0:weight=80' "$asked_mono" '.')
# A proportional sans face: not monospaced, not a serif, not narrowed.
sans=$(pick ':slant=0:weight=80' "$asked_sans" '^[^:]*Sans$|^[^:]*Sans [^MNC][^:]*$')
if [ -z "$mono" ] || [ -z "$sans" ]; then
    echo "other-fonts-test: need a monospace face other than $asked_mono and a sans face other" \
        "than $asked_sans (scripts/install-deps.sh installs fonts-dejavu-core and" \
        "fonts-liberation)" >&2
    exit 1
fi

family() { fc-scan -f '%{family[0]}' "$1"; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/fonts" "$work/cache"
ln -s "$mono" "$work/fonts/"
ln -s "$sans" "$work/fonts/"
cat >"$work/fonts.conf" <<CONF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <dir>$work/fonts</dir>
  <cachedir>$work/cache</cachedir>
  <!-- The system's rules (aliases, generic families), without its font folders; the generic
       families are the two faces, as a desktop with them would set them. -->
  <include ignore_missing="yes">/etc/fonts/conf.d</include>
  <alias binding="strong"><family>sans-serif</family><prefer><family>$(family "$sans")</family></prefer></alias>
  <alias binding="strong"><family>monospace</family><prefer><family>$(family "$mono")</family></prefer></alias>
</fontconfig>
CONF
export FONTCONFIG_FILE="$work/fonts.conf"
echo "other-fonts-test: only $(fc-list : family | sort | paste -sd ',' | sed 's/,/, /g'):" \
    "\"Courier New\" is $(fc-match -f '%{family[0]}' 'Courier New'), sans-serif is" \
    "$(fc-match -f '%{family[0]}' sans-serif)"
# The tests of the shell's folder, and only those.
cd "$build/tests/shell"
ctest --output-on-failure -j2
