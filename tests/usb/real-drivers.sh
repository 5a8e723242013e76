#!/bin/bash
# Boots Debian 12's Linux 6.12 in qemu (TCG) from a busybox initramfs, mounts FAT32, exFAT, NTFS and
# ext4 sticks as a desktop mounts them and runs zentil there as an ordinary user: two round trips, a
# lock and an unlock killed amid their files, a stick too full for the largest file. Prints a table
# of outcomes per file system, exits non-zero on any fault. By hand, as root; work in build/usb-drivers.
# Usage: tests/usb/real-drivers.sh [build folder holding bin/zentil; default: a Release build/vm]
# File system | mkfs on the host | mount options besides nosuid,nodev. The sticks are vda, vdb...
sticks='vfat|mkfs.vfat -F 32|uid=1000,gid=1000,shortname=mixed,utf8=1,showexec,flush
exfat|mkfs.exfat|uid=1000,gid=1000,iocharset=utf8,errors=remount-ro
ntfs3|mkfs.ntfs -F -Q|uid=1000,gid=1000
ext4|mkfs.ext4 -F -q -m 0 -E root_owner=1000:1000|'
steps='round round kill-lock kill-lock kill-lock kill-unlock full'

# In the VM, as root: mounts the sticks, puts zentil in each program folder and hands over.
mount_sticks() {
    letter=a
    echo "$sticks" | while IFS='|' read -r fs _ options; do
        m=/media/user/$fs
        mkdir -p $m && mount -t $fs -o nosuid,nodev${options:+,$options} /dev/vd$letter $m
        mkdir -p $m/Tarvolen/Locker && touch $m/Tarvolen/zentil && chown -R 1000:1000 $m
        # showexec lets no program start from a FAT stick: zentil is bound over its place there.
        mount -o bind /zentil $m/Tarvolen/zentil
        letter=$(echo $letter | tr a-y b-z)
    done
    su -s /bin/sh user -c 'sh /real-drivers.sh --user'
}

# "l" and the code of each character: a folder's settings section; with capitals folded ($2 = 32),
# a stored password.
code() { printf %s "$1" | od -An -tu1 -v | awk -v f=${2:-0} '{for (i = 1; i <= NF; i++) printf "l%d", $i + f * ($i > 64 && $i < 91)}'; }

fill() {
    i=0
    while [ $i -lt 300 ]; do
        d=$L/d$((i % 6))/s$((i % 4)) && mkdir -p $d
        head -c $((i % 30 == 29 ? 300000 : i * i * 97 % 30011)) /dev/urandom >$d/f$i
        i=$((i + 1))
    done
    head -c 1500000 /dev/urandom >$L/largest && head -c 24000000 /dev/urandom >$L/big
    echo été >"$L/d1/Été 日本 ü.txt" && echo ro >$L/readonly && chmod 444 $L/readonly
    (cd $L && find . -type f -exec sha256sum {} + | sort -k2 >/tmp/sums)
}

# Runs zentil ($1) to the end and checks the stick against the exit status expected ($2).
# Hundredths of a second since the boot.
now() { cut -d ' ' -f 1 /proc/uptime | tr -d .; }

run() {
    start=$(now)
    $P/zentil $1 >/tmp/out
    rc=$?
    [ $1:$rc = encrypt:0 ] && lock_cs=$(($(now) - start))
    [ $rc = $2 ] || cell="$cell,exit$rc"
    n=$(find $L -name '.~zentil-*' | wc -l) && [ $n = 0 ] || cell="$cell,left$n"
    note=$(ls $L/zentil-errors*.txt 2>/dev/null)
    [ -n "$note" ] && echo "NOTE $fs $step $1: $(grep -v '^zentil could' $note | head -n 3)"
    { [ $rc = 0 ] && [ -z "$note" ]; } || { [ $rc != 0 ] && [ -n "$note" ]; } || cell="$cell,note"
    locked=$([ $1:$rc = encrypt:0 ] && echo 1 || echo 0)
    [ $(grep -c '^Files=1' $XDG_CONFIG_HOME/tarvolen/vemb.ini) = $locked ] || cell="$cell,record"
    n=$(find $L -type f ! -name 'zentil-errors*' | wc -l)
    [ $n = $(wc -l </tmp/sums) ] || cell="$cell,count$n"
    same=$(cd $L && sha256sum -c /tmp/sums 2>/dev/null | grep -c ': OK$')
    [ $1 = decrypt ] && [ $same != $(wc -l </tmp/sums) ] && cell="$cell,diff"
    [ $locked = 1 ] && [ $same != 0 ] && cell="$cell,plain$same"
}

# Starts zentil ($1) and kills it amid its files: an unlock as soon as a temporary file stands in
# the locker's top folder; a lock, whose temporaries stand too briefly to be seen here, after a
# share of the time that the last whole lock took, a larger share at each kill.
killed() {
    $P/zentil $1 >/tmp/out &
    pid=$!
    if [ $1 = encrypt ]; then
        share=$((share + 15)) && usleep $((lock_cs * share * 100))
    else
        while kill -0 $pid 2>/dev/null && ! ls -A $L | grep -v '^\.~zentil-run-' | grep -q '^\.~zentil-'; do :; done
    fi
    kill -9 $pid 2>/dev/null || cell="$cell,unkilled"
    wait $pid
    echo "KILLED $fs $step $1 $share% at $(tail -n 1 /tmp/out), $(find $L -name '.~zentil-*' | wc -l) left"
}

# In the VM, as the user: every step on every stick; a row of outcomes per file system.
user_steps() {
    echo "$sticks" | while IFS='|' read -r fs _; do
        grep -q " /media/user/$fs " /proc/mounts || { echo "ROW $fs unmounted" && continue; }
        P=/media/user/$fs/Tarvolen && L=$P/Locker && fill
        export XDG_CONFIG_HOME=/tmp/config-$fs && mkdir -p $XDG_CONFIG_HOME/tarvolen
        printf '[%s]\nPsetting=%s\n' $(code $P) $(code secret 32) >$XDG_CONFIG_HOME/tarvolen/vemb.ini
        row="ROW $fs" && share=45
        for step in $steps; do
            cell="" && echo "STEP $fs $step"
            case $step in
            round) run encrypt 0 && run decrypt 0 ;;
            kill-lock) killed encrypt; run encrypt 0; run decrypt 0 ;;
            kill-unlock) run encrypt 0; killed decrypt; run encrypt 0; run decrypt 0 ;;
            full) head -c $(($(df -k $P | awk 'NR == 2 {print $4}') * 1024 - 700000)) /dev/zero >$P/../filler
                run encrypt 1; rm $P/../filler; run encrypt 0; run decrypt 0 ;;
            esac
            cell=${cell#,} && row="$row ${cell:-ok}"
        done
        echo "$row"
    done
}

case "${1:-}" in
--inside) mount_sticks && exit ;;
--user) user_steps && exit ;;
esac

# On the host: the kernel, the initramfs and the sticks, then one boot.
set -euo pipefail
self=$(realpath "$0") && build=$(realpath "${1:-build/vm}")
cd "$(dirname "$self")/../.."
scripts/install-deps.sh usb-drivers
[ -n "${1:-}" ] || { cmake -S . -B build/vm -DCMAKE_BUILD_TYPE=Release -DTARVOLEN_TESTS=OFF >/dev/null &&
    cmake --build build/vm -j 2 --target zentil >/dev/null; }
out=build/usb-drivers && rm -rf $out/initrd $out/*.img && mkdir -p $out/initrd && cd $out
package=$(apt-cache search --names-only '^linux-image-6\.12\.[0-9]+\+deb12-amd64$' |
    cut -d ' ' -f 1 | sort -V | tail -n 1)
[ -d $package ] || { apt-get download $package && dpkg-deb -x $package*.deb $package; }
version=${package#linux-image-}
depmod -b $package $version

r=initrd && mkdir -p $r/bin $r/dev $r/proc $r/sys $r/tmp $r/etc $r/mods && chmod 1777 $r/tmp
cp /bin/busybox $r/bin/ && cp "$build/bin/zentil" $r/ && cp "$self" $r/real-drivers.sh
for lib in $(ldd "$build/bin/zentil" | grep -o '/[^ ]*'); do cp -L --parents $lib $r; done
for m in virtio_blk vfat exfat ntfs3 ext4 nls_ascii nls_utf8 nls_cp437 nls_iso8859-1; do
    modprobe -d $package -S $version --show-depends $m | awk '{print $2}'
done | awk '!seen[$0]++' | while read -r ko; do
    name=$(basename $ko .xz) && xz -dc $ko >$r/mods/$name && echo $name >>$r/mods/order
done
printf 'root:x:0:0::/:/bin/sh\nuser:x:1000:1000::/tmp:/bin/sh\n' >$r/etc/passwd
cat >$r/init <<'INIT'
#!/bin/busybox sh
/bin/busybox mount -t proc proc /proc && /bin/busybox --install -s /bin
mount -t sysfs sys /sys && mount -t devtmpfs dev /dev
for m in $(cat /mods/order); do insmod /mods/$m; done
sh /real-drivers.sh --inside
poweroff -f
INIT
chmod 755 $r/init && (cd $r && find . | cpio -o -H newc --quiet) >initrd.cpio

drives=()
while IFS='|' read -r fs mkfs _; do
    truncate -s 160M $fs.img && $mkfs $fs.img >/dev/null 2>&1
    drives+=(-drive file=$fs.img,format=raw,if=virtio)
done <<<"$sticks"
nice timeout 3h qemu-system-x86_64 -accel tcg -cpu max -smp 2 -m 1024 -nographic -no-reboot \
    -kernel $package/boot/vmlinuz-$version -initrd initrd.cpio \
    -append "console=ttyS0 quiet panic=-1" "${drives[@]}" | tee console.log
rows=$(tr -d '\r' <console.log | grep '^ROW' | cut -d ' ' -f 2-)
echo "file-system $steps"$'\n'"$rows" | column -t
[ "$(echo "$rows" | grep -c ' ok ok \(ok\|unkilled\) \(ok\|unkilled\) \(ok\|unkilled\) ok ok$')" = 4 ]
