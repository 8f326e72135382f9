#!/usr/bin/env bash
# Installs the build into a temporary prefix, builds a program against the installed package
# with find_package(datamodel) alone, and runs it with QT_PLUGIN_PATH=<prefix>/plugins.
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$source/tests/install/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/consumer" -j2 >/dev/null
test -f "$work/prefix/include/datamodel/datamodel.h"
ls "$work/prefix/plugins/sqldrivers/" | grep -q qsqlitex
out=$(env -u QT_PLUGIN_PATH QT_PLUGIN_PATH="$work/prefix/plugins" \
      LD_LIBRARY_PATH="$work/prefix/lib" "$work/consumer/consumer" "$work/file.nvp")
echo "$out"
[ "$out" = "ok 0" ]
# The sample hardware is installed beside the libraries, and the installed tool finds it.
test -f "$work/prefix/share/datamodel/hardware/DeviceDescribe/VX7_1616MT.djson"
test -f "$work/prefix/share/datamodel/hardware/Diagnosis/Axis.djson"
controllers=$(LD_LIBRARY_PATH="$work/prefix/lib" "$work/prefix/bin/plcproj" hw list --type PLCDeviceNode | wc -l)
[ "$controllers" = 4 ]
