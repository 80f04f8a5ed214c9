#!/usr/bin/env bash
# Real file systems for the realfs tests, made natively before they run and taken down after:
#   fixtures.sh setup ROOT     links, odd names, and (as root, where loop mounts work) a full
#                              ext4 image and a folder that refuses renames and deletes
#   fixtures.sh cleanup ROOT   unmounts and removes everything under ROOT
# What could be made is listed in ROOT/ready, one word a line; the tests skip the rest.
set -u
cmd=${1:?setup or cleanup}
root=${2:?folder}

cleanup() {
    [ -d "$root" ] || return 0
    for mnt in "$root/full" "$root/locked"; do
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
mkdir -p "$root/links/docs" "$root/links/outside"
printf 'outside target' > "$root/links/outside/target.txt"
printf 'inner' > "$root/links/outside/inner.txt"
printf 'read-only target' > "$root/links/outside/ro-target.txt"
chmod 444 "$root/links/outside/ro-target.txt"
printf 'plain' > "$root/links/docs/plain.txt"
printf 'shared' > "$root/links/docs/hard-a.txt"
ln "$root/links/docs/hard-a.txt" "$root/links/docs/hard-b.txt"
ln -s ../outside/target.txt "$root/links/docs/rel.txt"
ln -s "$root/links/outside/ro-target.txt" "$root/links/docs/ro-link.txt"
ln -s plain.txt "$root/links/docs/same.txt"
ln -s nowhere.txt "$root/links/docs/dangling.txt"
ln -s ../outside "$root/links/docs/dirlink"
echo links >> "$root/ready"

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
        # A sparse file with a secret at its start, then every free block taken.
        printf 'SECRET-CONTENT' > "$root/full/sparse.bin"
        truncate -s 2M "$root/full/sparse.bin"
        dd if=/dev/zero of="$root/full/filler" bs=64k 2>/dev/null
        dd if=/dev/zero of="$root/full/filler-tail" bs=1k 2>/dev/null
        sync
        echo full >> "$root/ready"
    fi
    if truncate -s 4M "$root/locked.img" && mkfs.ext4 -q "$root/locked.img" 2>/dev/null &&
        mount -o loop "$root/locked.img" "$root/locked" 2>/dev/null; then
        mkdir "$root/locked/folder"
        printf 'secret' > "$root/locked/folder/kept.txt"
        chattr +i "$root/locked/folder" && echo immutable >> "$root/ready"
    fi
fi
exit 0
