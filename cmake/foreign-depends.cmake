# Read by cpack (see install.cmake) for a package built for another machine:
# its Depends, which dpkg-shlibdeps cannot work out there. The C++ runtime is
# linked in, so the program needs the C library alone (libc.so.6, libm.so.6
# and the dynamic loader, all in libc6), at the version of the newest GLIBC_
# symbol it uses: libc6's symbols file dates each symbol by that version,
# which is how dpkg-shlibdeps comes to the amd64 package's libc6 (>= 2.36).
execute_process(COMMAND "${CPACK_DUSK_OBJDUMP}" -p -T "${CPACK_DUSK_FOREIGN_GAME}"
                OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)

string(REGEX MATCHALL "NEEDED +[^\n]+" needed "${dump}")
foreach(entry IN LISTS needed)
  string(REGEX REPLACE "^NEEDED +" "" library "${entry}")
  if(NOT library MATCHES "^(libc\\.so\\.6|libm\\.so\\.6|ld-linux-[a-z0-9_-]+\\.so\\.[0-9]+)$")
    message(FATAL_ERROR "${CPACK_DUSK_FOREIGN_GAME} needs ${library}: the package would not "
                        "name what provides it")
  endif()
endforeach()

string(REGEX MATCHALL "GLIBC_[0-9]+(\\.[0-9]+)+" versions "${dump}")
if(NOT versions)
  message(FATAL_ERROR "no GLIBC_ symbol version in ${CPACK_DUSK_FOREIGN_GAME}")
endif()
list(REMOVE_DUPLICATES versions)
list(SORT versions COMPARE NATURAL)
list(GET versions -1 newest)
string(REPLACE "GLIBC_" "" newest "${newest}")

if(CPACK_DEBIAN_PACKAGE_DEPENDS)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ")
endif()
string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= ${newest})")
