#!/bin/sh
# Builds the driver's i386 firmware call thunk into a 32-bit Linux test program and runs
# it under qemu-i386. Exits 77 (skipped) where the 32-bit compiler (Debian g++-multilib)
# or the emulator (Debian qemu-user) is missing.
# usage: run-thunk-test.sh CXX SOURCE_DIR WORK_DIR
set -u
cxx=$1
src=$2
work=$3
mkdir -p "$work"

if ! command -v qemu-i386 > /dev/null 2>&1; then
    echo "skipped: qemu-i386 is missing (Debian package qemu-user)"
    exit 77
fi
printf 'int main() { return 0; }\n' > "$work/probe.cpp"
if ! "$cxx" -m32 -static -o "$work/probe" "$work/probe.cpp" > /dev/null 2>&1; then
    echo "skipped: no 32-bit C++ compiler and library (Debian package g++-multilib)"
    exit 77
fi

if ! "$cxx" -m32 -static -no-pie -O2 -Wall -Wextra -Werror -I"$src/driver" \
        -o "$work/bios_thunk_test" \
        "$src/tests/i386/bios_thunk_test.cpp" "$src/tests/i386/firmware_standin_i386.S" \
        "$src/driver/bios_thunk_i386.S"; then
    echo "the thunk test does not build"
    exit 1
fi
exec qemu-i386 "$work/bios_thunk_test"
