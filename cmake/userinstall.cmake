# Runs at install time (included by the install script that CMake generates):
# places the link, the menu entry, the icons and the login entry of a
# per-user install, and keeps the list of everything installed in
# <prefix>/install-manifest.txt. Macros, not functions, so that the files
# they install join CMAKE_INSTALL_MANIFEST_FILES.

# An XDG base directory: the variable if it holds an absolute path, else the
# fallback under HOME (relative values are to be ignored).
macro(quillet_xdg_dir out variable fallback)
  set(${out} "$ENV{${variable}}")
  if(NOT IS_ABSOLUTE "${${out}}")
    set(${out} "${QUILLET_HOME}/${fallback}")
  endif()
  string(REGEX REPLACE "/+$" "" ${out} "${${out}}")
endmacro()

macro(quillet_user_paths)
  set(QUILLET_HOME "$ENV{HOME}")
  if(NOT IS_ABSOLUTE "${QUILLET_HOME}")
    message(FATAL_ERROR "quillet: HOME is not set to a directory; it is needed to place the menu entry and the link")
  endif()
  string(REGEX REPLACE "/+$" "" QUILLET_HOME "${QUILLET_HOME}")
  quillet_xdg_dir(QUILLET_DATA_HOME XDG_DATA_HOME ".local/share")
  quillet_xdg_dir(QUILLET_CONFIG_HOME XDG_CONFIG_HOME ".config")
  set(QUILLET_BIN_DIR "${QUILLET_HOME}/.local/bin")
  get_filename_component(QUILLET_PREFIX "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
  set(QUILLET_DESTDIR "$ENV{DESTDIR}")
  set(QUILLET_MANIFEST "${QUILLET_DESTDIR}${QUILLET_PREFIX}/install-manifest.txt")
  set(QUILLET_NEW_DIRS "")
endmacro()

# Notes every directory from `dir` upwards that does not exist yet (up to
# HOME), so that uninstalling removes what installing created.
macro(quillet_note_new_dirs dir)
  set(_quillet_dir "${dir}")
  while(NOT EXISTS "${QUILLET_DESTDIR}${_quillet_dir}" AND NOT _quillet_dir STREQUAL QUILLET_HOME
        AND NOT _quillet_dir STREQUAL "/" AND NOT _quillet_dir STREQUAL "")
    list(APPEND QUILLET_NEW_DIRS "${_quillet_dir}/")
    get_filename_component(_quillet_dir "${_quillet_dir}" DIRECTORY)
  endwhile()
endmacro()

# The Exec value that runs `path`: quoted when the path holds characters
# that the desktop entry format reserves, then escaped as a string.
macro(quillet_exec_value out path)
  set(_quillet_exec "${path}")
  set(_quillet_quote FALSE)
  foreach(_quillet_char " " "\t" "\"" "'" "\\" ">" "<" "~" "|" "&" "$" "*" "?" "#" "(" ")" "`")
    string(FIND "${path}" "${_quillet_char}" _quillet_at)
    if(_quillet_at GREATER -1)
      set(_quillet_quote TRUE)
    endif()
  endforeach()
  if(_quillet_quote)
    string(REPLACE "\\" "\\\\" _quillet_exec "${_quillet_exec}")
    string(REPLACE "\"" "\\\"" _quillet_exec "${_quillet_exec}")
    string(REPLACE "`" "\\`" _quillet_exec "${_quillet_exec}")
    string(REPLACE "$" "\\$" _quillet_exec "${_quillet_exec}")
    set(_quillet_exec "\"${_quillet_exec}\"")
  endif()
  string(REPLACE "%" "%%" _quillet_exec "${_quillet_exec}")
  string(REPLACE "\\" "\\\\" ${out} "${_quillet_exec}")
endmacro()

# Writes the menu entry for the installed program to `file`.
macro(quillet_write_desktop_entry file)
  file(READ "${QUILLET_DESKTOP_TEMPLATE}" _quillet_entry)
  quillet_exec_value(_quillet_exec_line "${QUILLET_PREFIX}/quillet")
  string(REPLACE "\\" "\\\\" _quillet_tryexec "${QUILLET_PREFIX}/quillet")
  string(REGEX REPLACE "\nExec=[^\n]*" "\nExec=${_quillet_exec_line}" _quillet_entry "${_quillet_entry}")
  string(REGEX REPLACE "\nTryExec=[^\n]*" "\nTryExec=${_quillet_tryexec}" _quillet_entry "${_quillet_entry}")
  get_filename_component(_quillet_entry_dir "${QUILLET_DESTDIR}${file}" DIRECTORY)
  file(MAKE_DIRECTORY "${_quillet_entry_dir}")
  message(STATUS "Installing: ${QUILLET_DESTDIR}${file}")
  file(WRITE "${QUILLET_DESTDIR}${file}" "${_quillet_entry}")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${QUILLET_DESTDIR}${file}")
endmacro()

# Adds what this install put in place to the manifest, keeping what earlier
# installs into the same prefix listed (a later uninstall removes it all).
macro(quillet_write_manifest)
  set(_quillet_entries "")
  if(EXISTS "${QUILLET_MANIFEST}")
    file(STRINGS "${QUILLET_MANIFEST}" _quillet_entries)
  endif()
  foreach(_quillet_file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
    if(NOT QUILLET_DESTDIR STREQUAL "")
      string(REPLACE "${QUILLET_DESTDIR}" "" _quillet_file "${_quillet_file}")
    endif()
    get_filename_component(_quillet_file "${_quillet_file}" ABSOLUTE)  # no "/./"
    list(APPEND _quillet_entries "${_quillet_file}")
  endforeach()
  list(APPEND _quillet_entries "${QUILLET_PREFIX}/install-manifest.txt" ${QUILLET_NEW_DIRS})
  list(REMOVE_DUPLICATES _quillet_entries)
  list(FILTER _quillet_entries EXCLUDE REGEX "^$")
  string(REPLACE ";" "\n" _quillet_text "${_quillet_entries}")
  file(WRITE "${QUILLET_MANIFEST}" "${_quillet_text}\n")
endmacro()

macro(quillet_begin_install)
  set(_quillet_link "${QUILLET_DESTDIR}${QUILLET_BIN_DIR}/quillet")
  if(EXISTS "${_quillet_link}" AND NOT IS_SYMLINK "${_quillet_link}")
    message(FATAL_ERROR "quillet: ${_quillet_link} exists and is not a link; "
                        "move it away so that the install can put its link there")
  endif()
  quillet_note_new_dirs("${QUILLET_PREFIX}")
  quillet_note_new_dirs("${QUILLET_BIN_DIR}")
  quillet_note_new_dirs("${QUILLET_DATA_HOME}/applications")
  file(GLOB _quillet_icons RELATIVE "${QUILLET_ICON_DIR}" "${QUILLET_ICON_DIR}/*/apps/quillet.*")
  foreach(_quillet_icon IN LISTS _quillet_icons)
    get_filename_component(_quillet_icon_dir "${_quillet_icon}" DIRECTORY)
    quillet_note_new_dirs("${QUILLET_DATA_HOME}/icons/hicolor/${_quillet_icon_dir}")
  endforeach()
endmacro()

macro(quillet_finish_install)
  # The link: the program resolves it to find its own directory.
  file(MAKE_DIRECTORY "${QUILLET_DESTDIR}${QUILLET_BIN_DIR}")
  message(STATUS "Installing: ${_quillet_link} -> ${QUILLET_PREFIX}/quillet")
  file(CREATE_LINK "${QUILLET_PREFIX}/quillet" "${_quillet_link}" SYMBOLIC)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_quillet_link}")

  quillet_write_desktop_entry("${QUILLET_DATA_HOME}/applications/quillet.desktop")

  foreach(_quillet_icon IN LISTS _quillet_icons)
    get_filename_component(_quillet_icon_dir "${_quillet_icon}" DIRECTORY)
    file(INSTALL "${QUILLET_ICON_DIR}/${_quillet_icon}"
         DESTINATION "${QUILLET_DESTDIR}${QUILLET_DATA_HOME}/icons/hicolor/${_quillet_icon_dir}")
  endforeach()

  quillet_write_manifest()
endmacro()

macro(quillet_install_autostart)
  if(NOT EXISTS "${QUILLET_DESTDIR}${QUILLET_PREFIX}/quillet" OR NOT EXISTS "${QUILLET_MANIFEST}")
    message(FATAL_ERROR "quillet: install the program into ${QUILLET_PREFIX} before its login entry")
  endif()
  quillet_note_new_dirs("${QUILLET_CONFIG_HOME}/autostart")
  quillet_write_desktop_entry("${QUILLET_CONFIG_HOME}/autostart/quillet.desktop")
  quillet_write_manifest()
endmacro()
