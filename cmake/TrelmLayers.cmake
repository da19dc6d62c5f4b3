# Layers the build enforces (how to use them: the comment in the top-level CMakeLists).
#
# Every folder is one layer, a subfolder one of its own. Its headers are linked, one
# by one, into a small include directory of its own in the build tree
# (build/layers/serial.base/serial/base/*.h for serial/base), so code keeps including
# them by their path from the project root ("platform/codepage.h"), yet a target
# finds only the headers of its own folder and of the libraries it links: the tree
# as a whole is on no include path, and a folder's directory holds none of its
# subfolders' headers.

# The include directory holding this folder's headers, made once per configure.
function(_trelm_folder_includes out)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  string(REPLACE "/" "." id "${folder}")
  set(root ${PROJECT_BINARY_DIR}/layers/${id})
  get_property(made GLOBAL PROPERTY TRELM_LAYER_MADE_${id})
  if(NOT made)
    set_property(GLOBAL PROPERTY TRELM_LAYER_MADE_${id} TRUE)
    file(REMOVE_RECURSE ${root})  # no link to a header that is gone
    file(MAKE_DIRECTORY ${root}/${folder})
    # A new header re-runs the configure step, which links it in.
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    foreach(header IN LISTS headers)
      get_filename_component(name ${header} NAME)
      file(CREATE_LINK ${header} ${root}/${folder}/${name} SYMBOLIC)
    endforeach()
  endif()
  set(${out} ${root} PARENT_SCOPE)
endfunction()

# Gives `target` its folder's headers (PUBLIC for a library, PRIVATE for a program),
# links `deps` and, for a Qt target only, Qt and Qt's code generators. A library may
# link only libraries defined before it (the order of the layers), and one without Qt
# no library with Qt.
function(_trelm_layer target scope qt)
  _trelm_folder_includes(includes)
  target_include_directories(${target} ${scope} ${includes})
  foreach(dep IN LISTS ARGN)
    if(dep MATCHES "^Qt6::" AND NOT qt)
      message(FATAL_ERROR "${target} has no Qt (no QT option), so it cannot link ${dep}")
    elseif(dep MATCHES "^trelm_")
      if(NOT TARGET ${dep})
        message(FATAL_ERROR "${target} links ${dep}, which is not defined yet: "
                            "a target links only the layers added before its own folder")
      endif()
      get_target_property(depQt ${dep} TRELM_QT)
      if(depQt AND NOT qt)
        message(FATAL_ERROR "${target} has no Qt (no QT option), so it cannot link ${dep}, which has")
      endif()
    endif()
  endforeach()
  target_link_libraries(${target} ${scope} ${ARGN})
  if(qt)
    target_link_libraries(${target} ${scope} Qt6::Widgets)
    # No forms are drawn in designer files, so uic stays off (it would take
    # a header named ui_*.h for the output of one).
    set_target_properties(${target} PROPERTIES TRELM_QT ON AUTOMOC ON AUTORCC ON)
  endif()
endfunction()

# A target's sources are files of its own folder: a subfolder is a layer of its own,
# with its own CMakeLists and include directory.
function(_trelm_own_sources target)
  foreach(source IN LISTS ARGN)
    if(source MATCHES "/")
      message(FATAL_ERROR "${target} lists ${source}: a target builds only files of its own "
                          "folder; a subfolder's files go in that folder's CMakeLists")
    endif()
  endforeach()
endfunction()

# trelm_library(<name> [QT] [SOURCES <files>] [DEPENDS <libraries>]). Without sources,
# a library of headers only (a test folder's fixtures for the tests of a layer above).
function(trelm_library name)
  cmake_parse_arguments(L "QT" "" "SOURCES;DEPENDS" ${ARGN})
  if(L_QT AND NOT TRELM_WITH_QT)
    return()
  endif()
  _trelm_own_sources(${name} ${L_SOURCES})
  if(L_SOURCES)
    add_library(${name} STATIC ${L_SOURCES})
    _trelm_layer(${name} PUBLIC "${L_QT}" ${L_DEPENDS})
  else()
    add_library(${name} INTERFACE)
    _trelm_layer(${name} INTERFACE "${L_QT}" ${L_DEPENDS})
  endif()
endfunction()

# trelm_program(<name> [QT] SOURCES <files> [DEPENDS <libraries>]): an executable.
function(trelm_program name)
  cmake_parse_arguments(P "QT" "" "SOURCES;DEPENDS" ${ARGN})
  if(P_QT AND NOT TRELM_WITH_QT)
    return()
  endif()
  _trelm_own_sources(${name} ${P_SOURCES})
  add_executable(${name} ${P_SOURCES})
  _trelm_layer(${name} PRIVATE "${P_QT}" ${P_DEPENDS})
endfunction()
