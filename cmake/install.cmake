# Install rules and the Debian package.
#
# `cmake --install <build> --prefix /usr` puts the game where a distribution
# puts console games (/usr/games), its manual page in section 6 and the README
# with the game's documentation. `cpack -G DEB` in a Release build with the
# tests off turns the same rules into dusk-lynx_<version>_<arch>.deb.

include(GNUInstallDirs)

set(DUSK_INSTALL_GAMESDIR "games" CACHE STRING
    "Where the game's executable goes, relative to the install prefix")

# Directories made on the way keep rwxr-xr-x whatever the umask of the builder.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS dusk-lynx RUNTIME DESTINATION "${DUSK_INSTALL_GAMESDIR}")
install(FILES "${PROJECT_SOURCE_DIR}/man/dusk-lynx.6"
        DESTINATION "${CMAKE_INSTALL_MANDIR}/man6")
install(FILES "${PROJECT_SOURCE_DIR}/README.md"
              "${PROJECT_SOURCE_DIR}/packaging/copyright"
        DESTINATION "${CMAKE_INSTALL_DOCDIR}")

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "dusk-lynx")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "the dusk-lynx developers")
set(CPACK_PACKAGE_CONTACT "dusk-lynx developers <maintainers@users.noreply.c-seed-87f357b9.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "text role-playing game for the console")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION "games")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# CPack puts the summary above this text and indents it the way dpkg wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[
The hero, DUSK LYNX, sets out to lift a curse from the village of JETEK.
From numbered menus the player fights round by round through four areas
(FOREST, GRAVEYARD, CAVES, CASTLE), each opened by beating the boss of the
one before, buys weapons and armour, rests at the inn, rises in level and
faces the master of the castle.

Every run is a new game, and the same input always replays the same game,
so a game can be scripted from a file.]=])

# The package is made only from an optimised build without the tests: cpack
# reads this check, written into the build folder, before it starts.
set(CPACK_DUSK_BUILD_TYPE "${CMAKE_BUILD_TYPE}")
set(CPACK_DUSK_TESTS "${DUSK_TESTS}")
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_BINARY_DIR}/dusk-package-check.cmake")
file(CONFIGURE OUTPUT "${CPACK_PROJECT_CONFIG_FILE}" @ONLY CONTENT [=[
if(CPACK_GENERATOR STREQUAL "DEB" AND
   (NOT CPACK_DUSK_BUILD_TYPE STREQUAL "Release" OR CPACK_DUSK_TESTS))
  message(FATAL_ERROR "the package is made from a Release build with -DDUSK_TESTS=OFF "
                      "(this one: CMAKE_BUILD_TYPE=${CPACK_DUSK_BUILD_TYPE}, "
                      "DUSK_TESTS=${CPACK_DUSK_TESTS})")
endif()
]=])

include(CPack)
