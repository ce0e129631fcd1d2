# Install rules and the Debian package.
#
# `cmake --install <build> --prefix /usr` puts the game where a distribution
# puts console games (/usr/games), its manual page in section 6 and the README,
# the changelog and the copyright in the game's documentation folder. `cpack -G
# DEB` in any optimised build (Release, RelWithDebInfo or MinSizeRel; with or
# without the tests, which are never installed) turns the same rules into
# dusk-lynx_<version>_<arch>.deb.

include(GNUInstallDirs)
include(cmake/changelog.cmake)

set(DUSK_INSTALL_GAMESDIR "games" CACHE STRING
    "Where the game's executable goes, relative to the install prefix")
set(DUSK_MAINTAINER "dusk-lynx developers <maintainers@users.noreply.c-seed-87f357b9.example>")

# Directories made on the way keep rwxr-xr-x whatever the umask of the builder.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The manual page carries the project's version; Debian wants it and the
# changelog compressed, reproducibly (gzip -n leaves out the name and time).
find_program(DUSK_GZIP gzip REQUIRED)
configure_file(man/dusk-lynx.6.in "${PROJECT_BINARY_DIR}/man/dusk-lynx.6" @ONLY)
dusk_debian_changelog("${PROJECT_SOURCE_DIR}/CHANGELOG.md" dusk-lynx "${DUSK_MAINTAINER}"
                      "${PROJECT_BINARY_DIR}/doc/changelog" DUSK_CHANGELOG_VERSION)
if(NOT DUSK_CHANGELOG_VERSION STREQUAL PROJECT_VERSION)
  message(WARNING "CHANGELOG.md has no section for ${PROJECT_VERSION} at its top "
                  "(newest: '${DUSK_CHANGELOG_VERSION}'); add one before a release")
endif()
foreach(file man/dusk-lynx.6 doc/changelog)
  add_custom_command(
    OUTPUT "${PROJECT_BINARY_DIR}/${file}.gz"
    COMMAND "${DUSK_GZIP}" -9n --force --keep "${PROJECT_BINARY_DIR}/${file}"
    DEPENDS "${PROJECT_BINARY_DIR}/${file}"
    COMMENT "Compressing ${file}")
endforeach()
add_custom_target(dusk_docs ALL
  DEPENDS "${PROJECT_BINARY_DIR}/man/dusk-lynx.6.gz" "${PROJECT_BINARY_DIR}/doc/changelog.gz")

install(TARGETS dusk-lynx RUNTIME DESTINATION "${DUSK_INSTALL_GAMESDIR}")
# Debian's own packages keep no .comment section (the compilers' names).
install(CODE "
  set(game \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${DUSK_INSTALL_GAMESDIR}/dusk-lynx\")
  execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment \"\${game}\"
                  COMMAND_ERROR_IS_FATAL ANY)
")
install(FILES "${PROJECT_BINARY_DIR}/man/dusk-lynx.6.gz"
        DESTINATION "${CMAKE_INSTALL_MANDIR}/man6")
install(FILES "${PROJECT_SOURCE_DIR}/README.md"
              "${PROJECT_BINARY_DIR}/doc/changelog.gz"
              "${PROJECT_SOURCE_DIR}/packaging/copyright"
        DESTINATION "${CMAKE_INSTALL_DOCDIR}")
# What a player and an administrator need beside the README, where its links
# point; the developers' documents (testing, performance) stay in the source.
install(FILES "${PROJECT_SOURCE_DIR}/docs/install.md" "${PROJECT_SOURCE_DIR}/docs/network.md"
        DESTINATION "${CMAKE_INSTALL_DOCDIR}/docs")
# HAProxy in front of several hosts (docs/network.md): an example for the
# balancer's /etc/haproxy/haproxy.cfg, not a configuration of this package.
install(FILES "${PROJECT_SOURCE_DIR}/packaging/haproxy/haproxy.cfg"
        DESTINATION "${CMAKE_INSTALL_DOCDIR}/examples")

# The network service (see docs/network.md): for each of its two ports a
# socket unit (installed disabled), the front it starts (HAProxy, one
# process for every player of the port) and the launcher behind the front
# (socat), which starts each game through dusk-lynx-play. Port 4077 serves raw
# clients, port 4078 telnet clients through telnetd. Every service takes the
# same sandbox from sandbox.conf; the launchers name the game's installed path,
# known only when installing (cpack installs into /usr whatever the build's
# prefix).
set(DUSK_INSTALL_SYSTEMDUNITDIR "lib/systemd/system" CACHE STRING
    "Where the systemd units go, relative to the install prefix")
install(FILES "${PROJECT_SOURCE_DIR}/packaging/systemd/dusk-lynx.socket"
              "${PROJECT_SOURCE_DIR}/packaging/systemd/dusk-lynx-telnet.socket"
        DESTINATION "${DUSK_INSTALL_SYSTEMDUNITDIR}")
install(FILES "${PROJECT_SOURCE_DIR}/packaging/haproxy/front.cfg"
              "${PROJECT_SOURCE_DIR}/packaging/haproxy/full.lua"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/dusk-lynx")
install(CODE "
  set(DUSK_GAME \"\${CMAKE_INSTALL_PREFIX}/${DUSK_INSTALL_GAMESDIR}/dusk-lynx\")
  set(DUSK_PLAY \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/dusk-lynx/dusk-lynx-play\")
  set(DUSK_TERMINAL \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/dusk-lynx/dusk-lynx-terminal\")
  configure_file(\"${PROJECT_SOURCE_DIR}/packaging/dusk-lynx-terminal.in\"
                 \"${PROJECT_BINARY_DIR}/systemd/dusk-lynx-terminal\" @ONLY)
  file(INSTALL \"${PROJECT_SOURCE_DIR}/packaging/dusk-lynx-play\" \"${PROJECT_BINARY_DIR}/systemd/dusk-lynx-terminal\"
       DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/dusk-lynx\"
       PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                   WORLD_READ WORLD_EXECUTE)
  file(READ \"${PROJECT_SOURCE_DIR}/packaging/systemd/sandbox.conf\" DUSK_SANDBOX)
  string(STRIP \"\${DUSK_SANDBOX}\" DUSK_SANDBOX)
  set(units)
  foreach(name dusk-lynx dusk-lynx-telnet)
    set(DUSK_NAME \${name})
    if(name STREQUAL dusk-lynx)
      set(DUSK_PORT_NAME \"port 4077 (raw clients)\")
    else()
      set(DUSK_PORT_NAME \"port 4078 (telnet clients)\")
    endif()
    configure_file(\"${PROJECT_SOURCE_DIR}/packaging/systemd/front.service.in\"
                   \"${PROJECT_BINARY_DIR}/systemd/\${name}.service\" @ONLY)
    configure_file(\"${PROJECT_SOURCE_DIR}/packaging/systemd/\${name}-games.service.in\"
                   \"${PROJECT_BINARY_DIR}/systemd/\${name}-games.service\" @ONLY)
    list(APPEND units \"${PROJECT_BINARY_DIR}/systemd/\${name}.service\"
                      \"${PROJECT_BINARY_DIR}/systemd/\${name}-games.service\")
  endforeach()
  file(INSTALL \${units}
       DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${DUSK_INSTALL_SYSTEMDUNITDIR}\"
       PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
")

# The SSH port (see docs/network.md): sshd's configuration, the `play`
# account's shell, which starts the game in namespaces of its own, and the
# service that runs that sshd, installed disabled. The host keys are made by
# the service on the host, never shipped; the account is made by postinst.
set(DUSK_INSTALL_SSHDIR "${CMAKE_INSTALL_DATADIR}/dusk-lynx")
set(DUSK_INSTALL_SSH_SHELLDIR "${CMAKE_INSTALL_LIBEXECDIR}/dusk-lynx")
install(CODE "
  set(DUSK_GAME \"\${CMAKE_INSTALL_PREFIX}/${DUSK_INSTALL_GAMESDIR}/dusk-lynx\")
  set(DUSK_SSHD_CONFIG \"\${CMAKE_INSTALL_PREFIX}/${DUSK_INSTALL_SSHDIR}/sshd_config\")
  set(DUSK_SSH_KEYS /var/lib/dusk-lynx-ssh/etc/ssh)
  configure_file(\"${PROJECT_SOURCE_DIR}/packaging/ssh/sshd_config.in\"
                 \"${PROJECT_BINARY_DIR}/ssh/sshd_config\" @ONLY)
  configure_file(\"${PROJECT_SOURCE_DIR}/packaging/ssh/shell.in\"
                 \"${PROJECT_BINARY_DIR}/ssh/ssh-shell\" @ONLY)
  configure_file(\"${PROJECT_SOURCE_DIR}/packaging/systemd/dusk-lynx-ssh.service.in\"
                 \"${PROJECT_BINARY_DIR}/systemd/dusk-lynx-ssh.service\" @ONLY)
  file(INSTALL \"${PROJECT_BINARY_DIR}/ssh/sshd_config\"
       DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${DUSK_INSTALL_SSHDIR}\"
       PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  file(INSTALL \"${PROJECT_BINARY_DIR}/ssh/ssh-shell\"
       DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${DUSK_INSTALL_SSH_SHELLDIR}\"
       PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  file(INSTALL \"${PROJECT_BINARY_DIR}/systemd/dusk-lynx-ssh.service\"
       DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${DUSK_INSTALL_SYSTEMDUNITDIR}\"
       PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
")

# Why lintian's note on fortified functions does not apply to this program.
install(FILES "${PROJECT_SOURCE_DIR}/packaging/lintian-overrides"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides" RENAME dusk-lynx)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "dusk-lynx")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "the dusk-lynx developers")
set(CPACK_PACKAGE_CONTACT "${DUSK_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "text role-playing game for the console")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION "games")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The network service runs behind HAProxy (the fronts) and socat (the
# launchers), the telnet port behind inetutils' telnetd and busybox's shell;
# setpriv and perl, which start each game, come with every Debian system. None of them is needed
# to play at the console. Installing the game must start no daemon, and each
# of the others starts one of its own that the game never uses (Debian's
# haproxy its haproxy.service; inetutils-telnetd pulls in an inetd and a system
# log daemon; openssh-server the host's sshd on port 22): those are only
# suggested, for the operator who turns a port on to install. socat starts
# nothing: recommended. CPack adds the libraries. postinst makes the SSH
# port's account with adduser.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "socat")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "haproxy, inetutils-telnetd, busybox-static, openssh-server")
# A package for another machine (the arm64 preset) is labelled with that
# machine's architecture. dpkg-shlibdeps cannot read a foreign program, and
# pointed at the cross compiler's libraries it names the cross packages, which
# no arm64 machine has: cpack works out the C library's version from the
# program itself instead (cmake/foreign-depends.cmake).
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  endif()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_DUSK_FOREIGN_GAME "${PROJECT_BINARY_DIR}/dusk-lynx")
  set(CPACK_DUSK_OBJDUMP "${CMAKE_OBJDUMP}")
endif()
# The maintainer scripts only tell systemd of the units and stop the socket on
# removal; nothing is enabled or started.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PROJECT_SOURCE_DIR}/packaging/debian/postinst"
    "${PROJECT_SOURCE_DIR}/packaging/debian/prerm" "${PROJECT_SOURCE_DIR}/packaging/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# CPack puts the summary above this text and indents it the way dpkg wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[
The hero, DUSK LYNX, sets out to lift a curse from the village of JETEK.
From numbered menus the player fights round by round through four areas
(FOREST, GRAVEYARD, CAVES, CASTLE), each opened by beating the boss of the
one before, buys weapons and armour, rests at the inn, rises in level and
faces the master of the castle.

Every run is a new game, and the same input always replays the same game,
so a game can be scripted from a file.]=])

# The package is made only from an optimised build without the sanitizers:
# cpack reads this check, written into the build folder, before it starts.
set(CPACK_DUSK_BUILD_TYPE "${CMAKE_BUILD_TYPE}")
set(CPACK_DUSK_SANITIZE "${DUSK_SANITIZE}")
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_BINARY_DIR}/dusk-package-check.cmake")
file(CONFIGURE OUTPUT "${CPACK_PROJECT_CONFIG_FILE}" @ONLY CONTENT [=[
if(CPACK_GENERATOR STREQUAL "DEB" AND
   (NOT CPACK_DUSK_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$" OR
    CPACK_DUSK_SANITIZE))
  message(FATAL_ERROR "the package is made from an optimised build without the sanitizers "
                      "(this one: CMAKE_BUILD_TYPE=${CPACK_DUSK_BUILD_TYPE}, "
                      "DUSK_SANITIZE=${CPACK_DUSK_SANITIZE})")
endif()
if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_DUSK_FOREIGN_GAME)
  if(NOT CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
    message(FATAL_ERROR "no Debian architecture is known for this cross build's processor")
  endif()
  include("@PROJECT_SOURCE_DIR@/cmake/foreign-depends.cmake")
endif()
]=])

include(CPack)
