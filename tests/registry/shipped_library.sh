#!/bin/sh
# Runs the shipped library against its fixed module directory /tarvo/dstypes
# without touching the host: in a private mount namespace a tmpfs is mounted
# on a scratch directory, a new root is assembled in it from bind mounts of
# the system directories and the build tree, /tarvo/dstypes is created inside
# that root, and the probe runs chrooted there. Everything vanishes with the
# namespace. Exits 77 (a skip) where mount namespaces are not permitted.
# usage: shipped_library.sh PROBE MODULE BUILD_DIR
set -u
skip() { echo "SKIP: $1"; exit 77; }

if [ "${1:-}" != "--inside" ]; then
    flags="-m"
    [ "$(id -u)" = 0 ] || flags="-r -m"
    # shellcheck disable=SC2086
    unshare $flags --propagation private true 2>/dev/null || skip "unshare $flags failed"
    # shellcheck disable=SC2086
    exec unshare $flags --propagation private sh "$0" --inside "$@"
fi
probe=$(realpath "$2") module=$(realpath "$3") build=$(realpath "$4")
# The tmpfs hides what it covers, so it goes on a directory without the build tree.
scratch=
for dir in /tmp /mnt /srv /opt; do
    case "$build/" in "$dir"/*) continue ;; esac
    [ -d "$dir" ] && scratch=$dir && break
done
root=$scratch/root
mount -t tmpfs -o size=64m dstest "${scratch:-/nonexistent}" 2>/dev/null || skip "cannot mount a tmpfs"
mkdir "$root" || exit 1
for dir in bin sbin lib lib32 lib64 libx32 usr etc dev proc; do
    if [ -L "/$dir" ]; then
        cp -P "/$dir" "$root/$dir" || exit 1
    elif [ -d "/$dir" ]; then
        mkdir "$root/$dir" && mount --rbind "/$dir" "$root/$dir" || skip "cannot bind /$dir"
    fi
done
mkdir -p "$root$build" && mount --rbind "$build" "$root$build" || skip "cannot bind $build"

# Without the directory: no type at all, and one perror line per lookup. Then
# with one module in it, and nothing printed.
chroot "$root" "$probe" missing 2>"$scratch/missing" || { echo "missing: a lookup failed"; exit 1; }
mkdir -p "$root/tarvo/dstypes" && cp "$module" "$root/tarvo/dstypes/probe.so" || exit 1
chroot "$root" "$probe" loaded 2>"$scratch/loaded" || { echo "loaded: a lookup failed"; exit 1; }
line="/tarvo/dstypes: No such file or directory"
printf '%s\n%s\n' "$line" "$line" | cmp - "$scratch/missing" && cmp /dev/null "$scratch/loaded" || exit 1
echo "shipped library read /tarvo/dstypes"
