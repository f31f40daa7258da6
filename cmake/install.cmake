# Installation. quillet keeps its history and settings beside its executable,
# so it is installed into a directory that belongs to the user who runs it:
#   Linux:   ~/.local/opt/quillet/quillet, a link ~/.local/bin/quillet, the
#            menu entry and the icons under $XDG_DATA_HOME (~/.local/share);
#            `--component autostart` adds a login entry under $XDG_CONFIG_HOME.
#            Every file put in place is listed in install-manifest.txt in the
#            program's directory, which the uninstall script reads.
#   Windows: quillet.exe at the root of the prefix (by default
#            %LOCALAPPDATA%\Programs\quillet); windeployqt completes the folder.

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  if(WIN32 AND NOT "$ENV{LOCALAPPDATA}" STREQUAL "")
    file(TO_CMAKE_PATH "$ENV{LOCALAPPDATA}/Programs/quillet" quillet_default_prefix)
  elseif(NOT WIN32 AND NOT "$ENV{HOME}" STREQUAL "")
    set(quillet_default_prefix "$ENV{HOME}/.local/opt/quillet")
  endif()
  if(quillet_default_prefix)
    set(CMAKE_INSTALL_PREFIX "${quillet_default_prefix}" CACHE PATH "Install directory (the user must be able to write it)" FORCE)
  endif()
endif()

if(WIN32)
  install(TARGETS quillet RUNTIME DESTINATION . COMPONENT quillet)
  return()
endif()

# The paths outside the prefix depend on the environment of the install
# (HOME, XDG_DATA_HOME, XDG_CONFIG_HOME), so they are worked out then.
set(quillet_install_setup "
set(QUILLET_ICON_DIR \"${PROJECT_SOURCE_DIR}/resources/hicolor\")
set(QUILLET_DESKTOP_TEMPLATE \"${PROJECT_SOURCE_DIR}/resources/quillet.desktop\")
include(\"${CMAKE_CURRENT_LIST_DIR}/userinstall.cmake\")
quillet_user_paths()")

install(CODE "${quillet_install_setup}
quillet_begin_install()" COMPONENT quillet)
install(TARGETS quillet RUNTIME DESTINATION . COMPONENT quillet)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/uninstall DESTINATION . COMPONENT quillet)
install(CODE "quillet_finish_install()" COMPONENT quillet)

install(CODE "${quillet_install_setup}
quillet_install_autostart()" COMPONENT autostart EXCLUDE_FROM_ALL)
