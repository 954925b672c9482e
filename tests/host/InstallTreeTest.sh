#!/usr/bin/env bash
# cmake --install into a scratch folder, then the tree is moved: the installed host must find its
# platform library and the module, and the module its platform library, through run paths relative
# to $ORIGIN alone, with no path into the build folder.
#   InstallTreeTest.sh CMAKE_COMMAND BUILD_DIR
set -euo pipefail
cmake_command=$1
build_dir=$(cd "$2" && pwd -P)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cmake_command" --install "$build_dir" --prefix "$scratch/prefix" >"$scratch/install.log" ||
  fail "cmake --install failed: $(cat "$scratch/install.log")"
mv "$scratch/prefix" "$scratch/moved"
tree=$scratch/moved

for file in bin/analyzer-host lib/qanagui/qanagui.so lib/qanagui/libqanagui-platform.so.0 include/qanagui/protocol.h; do
  [ -f "$tree/$file" ] || fail "$file is not in the install tree"
done

# RUNPATH and RPATH entries of an ELF file, as readelf shows them.
run_paths() { readelf -d "$1" | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]$/\2/p'; }
expect_run_path() {
  local paths
  paths=$(run_paths "$tree/$1")
  case "$paths" in *"$build_dir"*) fail "$1 has a run path into the build folder: $paths" ;; esac
  [ "$paths" = "$2" ] || fail "$1 has run path '$paths', expected '$2'"
}
expect_run_path bin/analyzer-host '$ORIGIN/../lib/qanagui'
expect_run_path lib/qanagui/qanagui.so '$ORIGIN'
expect_run_path lib/qanagui/libqanagui-platform.so.0 ''

# The host's platform library resolves inside the tree.
loaded=$(cd / && env -u LD_LIBRARY_PATH LD_TRACE_LOADED_OBJECTS=1 "$tree/bin/analyzer-host")
grep -q "libqanagui-platform.so.0 => $tree/bin/../lib/qanagui/libqanagui-platform.so.0 " <<<"$loaded" ||
  fail "the host does not take its platform library from the tree: $loaded"

# It finds the module in the tree by itself and reads its descriptor.
output=$(cd / && env -u LD_LIBRARY_PATH "$tree/bin/analyzer-host" --describe 2>&1) ||
  fail "analyzer-host --describe failed: $output"
grep -q "^module  *$tree/bin/../lib/qanagui/qanagui.so\$" <<<"$output" || fail "module not taken from the tree: $output"
grep -q "^short name  *QANAGUI\$" <<<"$output" || fail "no descriptor: $output"
grep -q "^Inputs (81)\$" <<<"$output" || fail "no input pins: $output"
echo "install tree at $tree runs on its own"
