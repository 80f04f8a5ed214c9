#!/usr/bin/env bash
# Real file systems for the realfs tests, made natively before they run and taken down after:
#   fixtures.sh setup ROOT     links, odd names, and (as root, where loop mounts work) a full
#                              ext4 image, a folder that refuses renames and deletes, and (with
#                              ntfs-3g) an NTFS image holding links and a full disk of its own
#   fixtures.sh cleanup ROOT   unmounts and removes everything under ROOT
# What could be made is listed in ROOT/ready, one word a line; the tests skip the rest.
set -u
cmd=${1:?setup or cleanup}
root=${2:?folder}

cleanup() {
    [ -d "$root" ] || return 0
    bash "$(dirname "$0")/loop_image.sh" drop "$root/freespace"
    for mnt in "$root/full" "$root/locked" "$root/ntfs"; do
        if mountpoint -q "$mnt" 2>/dev/null; then
            chattr -R -i "$mnt" 2>/dev/null
            umount "$mnt" 2>/dev/null || umount -l "$mnt" 2>/dev/null
        fi
    done
    chattr -R -i "$root" 2>/dev/null
    rm -rf "$root"
}

if [ "$cmd" = cleanup ]; then
    cleanup
    exit 0
fi
[ "$cmd" = setup ] || { echo "usage: fixtures.sh setup|cleanup ROOT" >&2; exit 2; }
cleanup
mkdir -p "$root"
: > "$root/ready"

# Links: a file link beside its target, one leading out of the folder, one leading nowhere, a
# link to a folder outside, a read-only target, and a hard link.
make_links() {
    local at=$1
    mkdir -p "$at/docs" "$at/outside"
    printf 'outside target' > "$at/outside/target.txt"
    printf 'inner' > "$at/outside/inner.txt"
    printf 'read-only target' > "$at/outside/ro-target.txt"
    chmod 444 "$at/outside/ro-target.txt"
    printf 'plain' > "$at/docs/plain.txt"
    printf 'shared' > "$at/docs/hard-a.txt"
    ln "$at/docs/hard-a.txt" "$at/docs/hard-b.txt"
    ln -s ../outside/target.txt "$at/docs/rel.txt"
    ln -s "$at/outside/ro-target.txt" "$at/docs/ro-link.txt"
    ln -s plain.txt "$at/docs/same.txt"
    ln -s nowhere.txt "$at/docs/dangling.txt"
    ln -s ../outside "$at/docs/dirlink"
}

# A sparse file with a secret at its start, then every free block of the disk taken.
make_full() {
    local at=$1
    printf 'SECRET-CONTENT' > "$at/sparse.bin"
    truncate -s 2M "$at/sparse.bin"
    dd if=/dev/zero of="$at/filler" bs=64k 2>/dev/null
    dd if=/dev/zero of="$at/filler-tail" bs=1k 2>/dev/null
    sync
}

make_links "$root/links" && echo links >> "$root/ready"

# Names the plain Windows path forms cannot reach, or cannot name at all.
odd="$root/odd"
mkdir -p "$odd/back"
for name in 'trail.' 'blank ' 'a:b.txt' 'q?.txt' 'st*r' 'pi|pe' 'back\slash' "$(printf 'L%.0s' $(seq 1 240)).txt"; do
    printf 'odd data' > "$odd/$name"
done
printf 'the real slash' > "$odd/back/slash"
deep="$odd/deep"
for i in 1 2 3 4 5 6; do deep="$deep/$(printf 'D%.0s' $(seq 1 50))"; done
mkdir -p "$deep"
printf 'deep data' > "$deep/deep.txt"
echo odd >> "$root/ready"

# Loop-mounted ext4: only as root, where the machine allows it.
if [ "$(id -u)" = 0 ] && command -v mkfs.ext4 >/dev/null && command -v chattr >/dev/null; then
    mkdir -p "$root/full" "$root/locked"
    if truncate -s 8M "$root/full.img" && mkfs.ext4 -q -m 0 "$root/full.img" 2>/dev/null &&
        mount -o loop "$root/full.img" "$root/full" 2>/dev/null; then
        make_full "$root/full"
        echo full >> "$root/ready"
    fi
    if truncate -s 4M "$root/locked.img" && mkfs.ext4 -q "$root/locked.img" 2>/dev/null &&
        mount -o loop "$root/locked.img" "$root/locked" 2>/dev/null; then
        mkdir "$root/locked/folder"
        printf 'secret' > "$root/locked/folder/kept.txt"
        chattr +i "$root/locked/folder" && echo immutable >> "$root/ready"
    fi
fi

# An ext4 image of its own for the free-space erase, on a loop device (checked by loop_image.sh).
if [ "$(id -u)" = 0 ] && command -v mkfs.ext4 >/dev/null &&
    bash "$(dirname "$0")/loop_image.sh" make "$root/freespace" ext4 256; then
    echo freespace >> "$root/ready"
fi

# NTFS through ntfs-3g, where it is installed and FUSE mounts work.
if [ "$(id -u)" = 0 ] && command -v mkntfs >/dev/null && command -v ntfs-3g >/dev/null; then
    mkdir -p "$root/ntfs"
    if truncate -s 8M "$root/ntfs.img" && mkntfs -F -q -f "$root/ntfs.img" >/dev/null 2>&1 &&
        ntfs-3g "$root/ntfs.img" "$root/ntfs" 2>/dev/null; then
        make_links "$root/ntfs/links"
        mkdir "$root/ntfs/full"
        make_full "$root/ntfs/full"
        echo ntfs >> "$root/ready"
    fi
fi
exit 0
