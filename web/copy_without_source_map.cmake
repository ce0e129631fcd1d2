# Copies the file `from` to `to`, without a closing source-map comment.
#   cmake -Dfrom=FILE -Dto=FILE -P copy_without_source_map.cmake
file(READ "${from}" text)
string(REGEX REPLACE "\n//# sourceMappingURL=[^\n]*\n?$" "\n" text "${text}")
file(WRITE "${to}" "${text}")
