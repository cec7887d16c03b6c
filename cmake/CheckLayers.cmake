# Fails when a file under src/ includes from a layer above its own, so that the
# layers stay what the folder names say. Run as a script:
#   cmake -DSRC=<source folder> -P CheckLayers.cmake
#
# The layers, lowest first; each folder may include from itself and the folders
# listed for it:
#   text      code page 932, text files, byte widths
#   probes    the network and the system: resolver, ping, ARP table, own identity
#   survey    the address list and the survey engine
#   store     the history log, CSV export and import, where files live
#   widgets   what every window shares: its font and its twips
#   auxwin    the about window and help: opened by the main window, they know
#             nothing of it
#   window    the main window
#   cli       the command-line survey, beside the windows and without widgets
#   main.cpp  (in src/ itself) may include anything
cmake_minimum_required(VERSION 3.25)

set(_allowed_text text)
set(_allowed_probes text probes)
set(_allowed_survey text probes survey)
set(_allowed_store text probes survey store)
set(_allowed_widgets text probes survey store widgets)
set(_allowed_auxwin text probes survey store widgets auxwin)
set(_allowed_window text probes survey store widgets auxwin window)
set(_allowed_cli text probes survey store cli)

if(NOT SRC)
  message(FATAL_ERROR "CheckLayers: give -DSRC=<source folder>")
endif()
# A relative folder globs to nothing, and a check of nothing would pass.
file(REAL_PATH "${SRC}" SRC)
file(GLOB_RECURSE _files RELATIVE "${SRC}" "${SRC}/*.cpp" "${SRC}/*.h" "${SRC}/*.in")
if(NOT _files)
  message(FATAL_ERROR "CheckLayers: no sources in ${SRC}")
endif()
set(_violations "")
foreach(_file IN LISTS _files)
  if(NOT _file MATCHES "^([^/]+)/")
    continue() # main.cpp
  endif()
  set(_layer "${CMAKE_MATCH_1}")
  if(NOT DEFINED _allowed_${_layer})
    string(APPEND _violations "\n  ${_file}: folder ${_layer} has no place in the layers (cmake/CheckLayers.cmake)")
    continue()
  endif()
  file(STRINGS "${SRC}/${_file}" _includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
  foreach(_line IN LISTS _includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"/]+)/.*" "\\1" _target "${_line}")
    if(NOT _target IN_LIST _allowed_${_layer})
      string(STRIP "${_line}" _line)
      string(APPEND _violations "\n  ${_file}: ${_line}")
    endif()
  endforeach()
endforeach()
if(_violations)
  message(FATAL_ERROR "includes from a layer above their own:${_violations}")
endif()
