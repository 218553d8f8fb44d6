#!/usr/bin/env bash
# Makes the seed corpora of the fuzz targets in FUZZ_BUILD/corpus/<target>/ from the shared
# fixtures and the production's generated data (neither is kept in the repository):
#
#     scripts/fuzz_seeds.sh [FUZZ_BUILD] [BUILD]
#
# FUZZ_BUILD defaults to build-fuzz; BUILD, the ordinary build whose production/data/ and
# bin/stash are used, to build. Seeds already there are kept; files of 64 KiB or more are left
# out, since the fuzzers take inputs up to that size.
set -euo pipefail
cd "$(dirname "$0")/.."
fuzz_build=${1:-build-fuzz}
build=${2:-build}
data=$build/production/data
stash=$build/bin/stash
fixtures=../shared/fixtures
corpus=$fuzz_build/corpus
limit=65536

for needed in "$data/voltcrate.scene" "$stash"; do
    if [ ! -e "$needed" ]; then
        echo "fuzz_seeds: $needed is missing: build first (scripts/build.sh $build)" >&2
        exit 1
    fi
done

# seed TARGET FILE...: copies the small files into the target's corpus.
seed() {
    local target=$1
    shift
    mkdir -p "$corpus/$target"
    local file
    for file in "$@"; do
        [ -f "$file" ] || continue
        if [ "$(stat -c %s "$file")" -lt "$limit" ]; then
            cp "$file" "$corpus/$target/$(basename "$file")"
        fi
    done
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Archives: the real ones of the fixtures, and the production's own kind made by stash from a
# few small generated files at every level, solid or not, with the password or without.
mkdir -p "$scratch/pack"
password=$(sed -n 's/.*dataArchivePassword = "\(.*\)";.*/\1/p' datafiles/data_file.h)
cp "$data"/*.material "$data/voltcrate.scene" "$data/black.png" "$scratch/pack/"
for level in 0 1 3 5; do
    "$stash" create "$scratch/m$level.rar" -m$level -C "$scratch/pack" . 2>/dev/null
    "$stash" create "$scratch/m${level}s.rar" -m$level -s -C "$scratch/pack" . 2>/dev/null
    "$stash" create "$scratch/m${level}p.rar" -m$level -s -p "$password" -C "$scratch/pack" . \
        2>/dev/null
done
seed archive_lookup "$fixtures"/rar/*.rar "$scratch"/*.rar
seed archive_lookup_without_password "$fixtures"/rar/*.rar "$scratch"/*.rar

seed mesh_file "$data"/*.mesh
seed material_file "$data"/*.material "$fixtures"/hostile/*.mat
seed scene_file "$data/voltcrate.scene"
seed png_image "$data"/*.png
seed jpeg_image "$fixtures"/rar/*.jpg

# The soundtrack is far larger than an input: its first frames stand in for it.
for bytes in 2048 8192 32768; do
    head -c $bytes "$data/soundtrk.mp3" >"$scratch/soundtrk-$bytes.mp3"
done
seed mp3_stream "$scratch"/soundtrk-*.mp3 "$fixtures"/hostile/*.mp3

# The round trip reads its first byte as level and flags, its second as a member count.
for file in "$data/voltcrate.scene" "$data/tin.material" "$fixtures/rar/v20_boat_expected.wav" \
            "$fixtures/rar/v20_zxtune_expected.bin"; do
    for head in '\x03\x00' '\x0d\x02' '\x1d\x03' '\x05\x01'; do
        { printf "$head"; head -c 16384 "$file"; } \
            >"$scratch/round-$(basename "$file")-${head//\\x/}"
    done
done
seed compressor_round_trip "$scratch"/round-*

# The sync editor's document as the editor writes it, and one written by hand.
printf '<sync rows="1856">\n\t<tracks>\n\t\t<track name="camera:fov">\n\t\t\t<key row="0" value="60" interpolation="2"/>\n\t\t\t<key row="32" value="90" interpolation="1"/>\n\t\t</track>\n\t\t<track name="flash"/>\n\t</tracks>\n\t<bookmarks>\n\t\t<bookmark row="16"/>\n\t</bookmarks>\n</sync>\n' \
    >"$scratch/editor.rocket"
printf '<sync><tracks><track name="a&amp;b"><key interpolation="3" value="-1.5e-3" row="7"/><key row="2" value="0.100000024" interpolation="0"/></track></tracks></sync>' \
    >"$scratch/by-hand.rocket"
seed tracks_document "$scratch"/*.rocket

# What an editor sends after its greeting: two tracks asked for, read whole and in pieces.
for head in '\x02\x00' '\x02\x5a' '\x01\xff'; do
    printf "$head"'\x04\x01\x03\x00\x00\x00\x00'\
'\x00\x00\x00\x00\x00\x00\x00\x00\x00\x42\x70\x00\x00\x02'\
'\x00\x00\x00\x00\x01\x00\x00\x00\x08\x3f\x80\x00\x00\x03'\
'\x04\x00\x05\x01\x00\x00\x00\x01\x00\x00\x00\x24' >"$scratch/editor-${head//\\x/}.bin"
done
seed editor_protocol "$scratch"/editor-*.bin

for target in "$corpus"/*/; do
    echo "fuzz_seeds: $(ls "$target" | wc -l) seeds in $target"
done
