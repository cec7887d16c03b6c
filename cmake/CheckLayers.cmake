# Fails when a file under src/ includes from a layer above its own, so that the
# layers stay what the folder names say. Run as a script:
#   cmake -DSRC=<source folder> -P CheckLayers.cmake
#
# The layers, lowest first; each folder may include from itself and the folders
# listed for it:
#   text      code page 932, text files, byte widths
#   probes    the network and the system, in rooms of their own, lowest first:
#     probes/packets   bytes in, values out: echo, NetBIOS and mDNS packets, the
#                      tools' output texts; no descriptors
#     probes/channels  one shared descriptor per protocol, waited on without
#                      blocking: the echo socket, the LAN's name questions, the
#                      kernel's neighbour table
#     probes/platform  what differs by operating system: command lines and their
#                      parsers, resolver and route calls
#     probes/host      one address or the PC itself, as plain functions: name,
#                      ping, MAC, own identity, the tools present
#     probes/sweep     a whole range in flight with one waiter
#     probes           the face the layers above see (with the pure packets)
#   survey    the address list, the survey engine, the process's limits and its
#             interrupts
#   store     the history log, CSV export and import, the vendor registry, where
#             files live
#   widgets   what every window shares: its font and its twips
#   auxwin    the about window and help: opened by the main window, they know
#             nothing of it
#   window    the main window
#   cli       the command-line survey, beside the windows and without widgets
#   main.cpp  (in src/ itself) may include anything
cmake_minimum_required(VERSION 3.25)

set(_allowed_text text)
set(_allowed_probes/packets text probes/packets)
set(_allowed_probes/channels ${_allowed_probes/packets} probes/channels)
set(_allowed_probes/platform ${_allowed_probes/channels} probes/platform)
set(_allowed_probes/host ${_allowed_probes/platform} probes/host)
set(_allowed_probes/sweep ${_allowed_probes/host} probes/sweep)
set(_allowed_probes ${_allowed_probes/sweep} probes)
set(_face text probes/packets probes)
set(_allowed_survey ${_face} survey)
set(_allowed_store ${_face} survey store)
set(_allowed_widgets ${_face} survey store widgets)
set(_allowed_auxwin ${_face} survey store widgets auxwin)
set(_allowed_window ${_face} survey store widgets auxwin window)
set(_allowed_cli ${_face} survey store cli)

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
  # A room of probes is a layer of its own; anything else is its first folder.
  if(_file MATCHES "^(probes/[^/]+)/")
    set(_layer "${CMAKE_MATCH_1}")
  elseif(_file MATCHES "^([^/]+)/")
    set(_layer "${CMAKE_MATCH_1}")
  else()
    continue() # main.cpp
  endif()
  if(NOT DEFINED _allowed_${_layer})
    string(APPEND _violations "\n  ${_file}: folder ${_layer} has no place in the layers (cmake/CheckLayers.cmake)")
    continue()
  endif()
  file(STRINGS "${SRC}/${_file}" _includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
  foreach(_line IN LISTS _includes)
    if(_line MATCHES "include[ \t]*\"(probes/[^\"/]+)/")
      set(_target "${CMAKE_MATCH_1}")
    else()
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"/]+)/.*" "\\1" _target "${_line}")
    endif()
    if(NOT _target IN_LIST _allowed_${_layer})
      string(STRIP "${_line}" _line)
      string(APPEND _violations "\n  ${_file}: ${_line}")
    endif()
  endforeach()
endforeach()
if(_violations)
  message(FATAL_ERROR "includes from a layer above their own:${_violations}")
endif()
