#!/bin/sh
# Checks a built driver image: a PE of the native subsystem that imports from no module
# other than the ones named (compared without case).
#
# usage: check-driver-image.sh OBJDUMP IMAGE ALLOWED_DLL...
set -eu

if [ $# -lt 3 ]; then
    echo "usage: $0 OBJDUMP IMAGE ALLOWED_DLL..." >&2
    exit 2
fi
objdump=$1
image=$2
shift 2

headers=$("$objdump" -p "$image")

subsystem=$(printf '%s\n' "$headers" | sed -n 's/^Subsystem[[:space:]]*//p')
case $subsystem in
    *[Nn]ative*) ;;
    *)
        echo "$image: subsystem is '$subsystem', not native" >&2
        exit 1
        ;;
esac

status=0
dlls=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p')
if [ -z "$dlls" ]; then
    echo "$image: no import table found" >&2
    exit 1
fi
for dll in $dlls; do
    allowed=no
    for ok in "$@"; do
        if [ "$(printf '%s' "$dll" | tr 'A-Z' 'a-z')" = "$(printf '%s' "$ok" | tr 'A-Z' 'a-z')" ]; then
            allowed=yes
        fi
    done
    if [ $allowed = no ]; then
        echo "$image: imports from $dll (allowed: $*)" >&2
        status=1
    fi
done
[ $status -eq 0 ] && echo "$image: native subsystem, imports only from: $(printf "%s\n" $dlls | sort -u | tr "\n" " ")"
exit $status
