#!/usr/bin/env bash
# Checks of the installed tree and the Debian package (see CMakeLists.txt beside this file):
#   packaging_test.sh CHECK BUILD_DIR WORK_DIR [VERSION]
# Each check prints what it found wrong and exits 1; `install` makes WORK_DIR/prefix first.
set -euo pipefail
check=$1
build=$(cd "$2" && pwd)
work=$3
version=${4:-}
prefix=$work/prefix
programs=(tincrates stash meshconv capture cratesmith)

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# A fresh folder under WORK_DIR for one check, holding no production.
scratch() {
    local folder=$work/$check
    rm -rf "$folder"
    mkdir -p "$folder"
    echo "$folder"
}

case $check in
install)
    rm -rf "$prefix"
    cmake --install "$build" --prefix "$prefix" >/dev/null
    ;;

installed_capture_plays_from_an_empty_folder)
    # The installed capture, started where there is no production, renders the installed one,
    # byte for byte what the build tree's capture renders from the production it generated,
    # and writes into the folder it was started in.
    folder=$(scratch)
    (cd "$folder" && "$prefix/bin/capture" --at 100.5 -o frames >/dev/null)
    [ -f "$folder/frames/t100.500.png" ] || fail "no frame in the folder capture ran in"
    "$build/bin/capture" -C "$build/production" --at 100.5 -o "$folder/expected" >/dev/null
    cmp -s "$folder/frames/t100.500.png" "$folder/expected/t100.500.png" \
        || fail "the installed capture's frame differs from the build tree's"
    [ ! -e "$prefix/share/tincrates/frames" ] || fail "capture wrote into the installed tree"
    ;;

installed_tincrates_plays_from_an_empty_folder)
    # Headless, the maker's mode takes its commands from standard input and answers each with
    # the status line, which only a production that loaded can give.
    folder=$(scratch)
    answer=$(cd "$folder" && printf 'beat 100\n' | "$prefix/bin/tincrates" --maker 2>&1) \
        || fail "tincrates failed: $answer"
    grep -q '^beat 100.00 | phrase 13 beat 5/8' <<<"$answer" \
        || fail "no status line at beat 100: $answer"
    ;;

a_folder_with_a_production_is_played_before_the_installed_one)
    # A folder whose data/ is empty holds a production, a broken one: it must be the one
    # tried, and fail, rather than the installed one played in its place.
    folder=$(scratch)
    mkdir "$folder/data"
    if errors=$(cd "$folder" && "$prefix/bin/capture" --at 100.5 -o frames 2>&1 >/dev/null); then
        fail "capture played another production than the current folder's"
    fi
    [ "$errors" = $'capture: Failed to load soundtrk.mp3\nfile not found' ] \
        || fail "unexpected errors: $errors"
    # -C names the folder to play, whatever the current one holds.
    (cd "$folder" && "$prefix/bin/capture" -C "$prefix/share/tincrates" --at 9.5 \
        -o "$folder/frames" >/dev/null) || fail "capture -C did not play the named folder"
    ;;

desktop_entry_and_icon)
    entry=$prefix/share/applications/tincrates.desktop
    desktop-file-validate "$entry" || fail "desktop-file-validate rejects $entry"
    grep -qx 'Name=flickering tin crates' "$entry" || fail "the entry's name is not the title"
    grep -qx 'Exec=tincrates' "$entry" || fail "the entry does not run tincrates"
    grep -qx 'Icon=tincrates' "$entry" || fail "the entry names another icon"
    for size in 16 24 32 48 64 128 256; do
        icon=$prefix/share/icons/hicolor/${size}x${size}/apps/tincrates.png
        [ -f "$icon" ] || fail "no icon at $size pixels"
        # PNG header: IHDR width and height, 8-bit colour type 6 (RGBA).
        header=$(od -An -tx1 -j16 -N10 "$icon" | tr -d ' \n')
        expected=$(printf '%08x%08x0806' "$size" "$size")
        [ "$header" = "$expected" ] || fail "$icon is not a ${size}x${size} RGBA PNG ($header)"
    done
    ;;

manual_pages_hold_every_option_of_the_help)
    # The pages are made from the programs' help: a page that missed a change to it would lack
    # an option the program has.
    for program in "${programs[@]}"; do
        page=$prefix/share/man/man1/$program.1.gz
        [ -f "$page" ] || fail "no manual page for $program"
        text=$(gzip -dc "$page" | sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g')
        grep -q "^$program - " <<<"$text" || fail "$program's page has no NAME line"
        options=$("$prefix/bin/$program" --help | grep -oE -- '--[a-z][a-z-]+' | sort -u)
        for option in $options; do
            grep -qF -- "$option" <<<"$text" || fail "$program's page lacks $option"
        done
    done
    gzip -dc "$prefix/share/man/man1/stash.1.gz" | grep -q '^\.SS create' \
        || fail "stash's page lacks the create command"
    ;;

every_program_gives_the_project_version)
    for program in "${programs[@]}"; do
        first=$("$prefix/bin/$program" --version | head -n1)
        [ "$first" = "$program $version" ] || fail "$program --version says \"$first\""
    done
    ;;

debian_package)
    folder=$(scratch)
    (cd "$folder" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$folder" >/dev/null)
    debs=("$folder"/tincrates_*_amd64.deb)
    deb=${debs[0]}
    [ -f "$deb" ] || fail "cpack made no package"
    # The project's version and the revision of packaging/changelog's latest entry.
    package_version=$(dpkg-deb -f "$deb" Version)
    case $package_version in "$version-"[0-9]*) ;; *) fail "version $package_version" ;; esac
    [ "$(basename "$deb")" = "tincrates_${package_version}_amd64.deb" ] || fail "named $deb"

    files=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')
    expected=(/usr/share/tincrates/stashpack /usr/share/applications/tincrates.desktop
        /usr/share/icons/hicolor/256x256/apps/tincrates.png
        /usr/share/doc/tincrates/copyright /usr/share/doc/tincrates/changelog.Debian.gz)
    for program in "${programs[@]}"; do
        expected+=("/usr/bin/$program" "/usr/share/man/man1/$program.1.gz")
    done
    for file in "${expected[@]}"; do
        grep -qx -- "$file" <<<"$files" || fail "the package lacks $file"
    done

    # Every library a program links must come from a package the package depends on.
    depends=$(dpkg-deb -f "$deb" Depends)
    depended=$(tr ',|' '\n\n' <<<"$depends" | sed -e 's/(.*)//' -e 's/ //g')
    dpkg-deb -x "$deb" "$folder/tree"
    for program in "${programs[@]}"; do
        binary=$folder/tree/usr/bin/$program
        for library in $(readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
            owners=$(dpkg -S "*/$library" 2>/dev/null | awk -v name="/$library" '
                substr($NF, length($NF) - length(name) + 1) == name {
                    sub(/[:,].*/, "", $1); print $1 }' || true)
            [ -n "$owners" ] || fail "no installed package holds $library (linked by $program)"
            found=no
            for owner in $owners; do
                if grep -qx -- "$owner" <<<"$depended"; then found=yes; fi
            done
            [ $found = yes ] || fail "$program links $library of $owners, not in: $depends"
        done
    done
    # The graphics drivers libglvnd loads at run time, and the font cratesmith reads.
    for package in libegl-mesa0 libgl1-mesa-dri fonts-dejavu-core; do
        grep -qx -- "$package" <<<"$depended" || fail "no dependency on $package"
    done
    [ "$(dpkg-deb -f "$deb" Recommends)" = ffmpeg ] || fail "ffmpeg is not recommended"
    [ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no maintainer"

    report=$(lintian --fail-on error "$deb" 2>&1) || fail "lintian reports errors: $report"
    rm -rf "$folder"
    ;;

*)
    fail "unknown check $check"
    ;;
esac
