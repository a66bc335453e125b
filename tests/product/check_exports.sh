#!/bin/sh
# The shared object's dynamic symbols: the four entry points are all it defines, and the five host
# core functions stay undefined, for the core that the host loaded first to supply.
set -u
library=$1
failed=0

defined=$(nm -D --defined-only "$library" | awk '{print $3}' | sort | tr '\n' ' ')
expected="DVBPLGCall DVBPLGClose DVBPLGGetInfo DVBPLGInit "
if [ "$defined" = "$expected" ]; then
    echo "ok: defines exactly $expected"
else
    echo "FAILED: defines '$defined', expected '$expected'"
    failed=1
fi

undefined=$(nm -D --undefined-only "$library" | awk '{print $2}')
for core in DVBAddFilter DVBDelFilter DVBGetCoreVer DVBParams DVBEPGProc; do
    if echo "$undefined" | grep -qx "$core"; then
        echo "ok: $core left to the core"
    else
        echo "FAILED: $core is not an undefined symbol"
        failed=1
    fi
done
exit $failed
