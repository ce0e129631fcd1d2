# The package's Debian changelog, made from CHANGELOG.md when the build is
# configured, so that the release notes are written once.
#
# CHANGELOG.md holds one section per version, newest first:
#
#   ## 1.6 (2026-12-08)
#
#   - A change, which may go on
#     over indented lines.
#
# Each section becomes one entry of `${output}` in Debian's form (the header
# line, "  * " items, the maintainer's trailer with the section's date).

# Debian wants the day of the week in front of the date (Zeller's congruence).
function(dusk_weekday year month day out)
  if(month LESS 3)
    math(EXPR month "${month} + 12")
    math(EXPR year "${year} - 1")
  endif()
  math(EXPR k "${year} % 100")
  math(EXPR j "${year} / 100")
  math(EXPR h "(${day} + 13 * (${month} + 1) / 5 + ${k} + ${k} / 4 + ${j} / 4 + 5 * ${j}) % 7")
  set(names Sat Sun Mon Tue Wed Thu Fri)
  list(GET names ${h} name)
  set(${out} ${name} PARENT_SCOPE)
endfunction()

function(dusk_changelog_trailer date maintainer out)
  string(REGEX MATCH "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$" _ "${date}")
  set(year ${CMAKE_MATCH_1})
  math(EXPR month "${CMAKE_MATCH_2}")  # without the leading zero
  set(day ${CMAKE_MATCH_3})
  math(EXPR dayNumber "${day}")
  dusk_weekday(${year} ${month} ${dayNumber} weekday)
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  math(EXPR index "${month} - 1")
  list(GET months ${index} monthName)
  set(${out} " -- ${maintainer}  ${weekday}, ${day} ${monthName} ${year} 00:00:00 +0000\n"
      PARENT_SCOPE)
endfunction()

# Writes the Debian changelog of `package` from `markdown` to `output`;
# `newest` receives the newest version that the file names.
function(dusk_debian_changelog markdown package maintainer output newest)
  # A semicolon would split CMake's list of lines: keep it aside as a unit separator.
  string(ASCII 31 semicolon)
  file(READ "${markdown}" content)
  # An edited CHANGELOG.md configures the build again.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${markdown}")
  string(REPLACE ";" "${semicolon}" content "${content}")
  string(REPLACE "\n" ";" lines "${content}")
  set(text "")
  set(first "")
  set(trailer "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^## ([^ ]+) \\(([0-9-]+)\\)$")
      string(APPEND text "${trailer}")
      if(NOT text STREQUAL "")
        string(APPEND text "\n")
      endif()
      if(first STREQUAL "")
        set(first "${CMAKE_MATCH_1}")
      endif()
      string(APPEND text "${package} (${CMAKE_MATCH_1}) unstable; urgency=medium\n\n")
      dusk_changelog_trailer("${CMAKE_MATCH_2}" "${maintainer}" trailer)
      set(trailer "\n${trailer}")
    elseif(trailer STREQUAL "")
      # The file's own title and introduction come before the first version.
    elseif(line MATCHES "^- (.*)$")
      string(APPEND text "  * ${CMAKE_MATCH_1}\n")
    elseif(line MATCHES "^  (.+)$")
      string(APPEND text "    ${CMAKE_MATCH_1}\n")
    endif()
  endforeach()
  string(APPEND text "${trailer}")
  string(REPLACE "${semicolon}" ";" text "${text}")
  # Written only when it changed, so that the package is not remade for nothing.
  set(old "")
  if(EXISTS "${output}")
    file(READ "${output}" old)
  endif()
  if(NOT old STREQUAL text)
    file(WRITE "${output}" "${text}")
  endif()
  set(${newest} "${first}" PARENT_SCOPE)
endfunction()
