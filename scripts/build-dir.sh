# Sourced by the build scripts.  forget_other_source DIR SOURCE: a build
# folder whose CMake cache was made for another source folder, or in another
# place (a checkout that was moved or copied, its build folders with it), is
# configured afresh: its cache and CMake's own files go, the compiled files
# stay for ninja to judge (ccache makes what must be compiled again cheap).
forget_other_source() {
  local dir="$1" source="$2" made_for made_in
  [ -f "$dir/CMakeCache.txt" ] || return 0
  made_for="$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$dir/CMakeCache.txt")"
  made_in="$(sed -n 's/^CMAKE_CACHEFILE_DIR:INTERNAL=//p' "$dir/CMakeCache.txt")"
  if [ "$(realpath -m "$made_for")" != "$(realpath -m "$source")" ] ||
     [ "$(realpath -m "$made_in")" != "$(realpath -m "$dir")" ]; then
    echo "$dir was made for the sources in $made_for; configuring it afresh for $source" >&2
    rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
  fi
}
