# Refuses a quoted #include that reaches another folder by a relative path: one
# that climbs out ("../"), or one that names a subfolder's header from the folder
# above. Such an include is found next to the including file, past the include
# directories that keep the layers apart. Run: cmake -DROOT=<tree> -P relative_includes.cmake
if(NOT ROOT)
  message(FATAL_ERROR "ROOT not set")
endif()
get_filename_component(ROOT ${ROOT} ABSOLUTE)
file(GLOB tops RELATIVE ${ROOT} ${ROOT}/*)
set(files)
foreach(top IN LISTS tops)
  # Build folders, the run folder and hidden ones hold no sources of ours.
  if(NOT IS_DIRECTORY ${ROOT}/${top} OR top MATCHES "^(build|run$|\\.)")
    continue()
  endif()
  file(GLOB_RECURSE found ${ROOT}/${top}/*.h ${ROOT}/${top}/*.cpp)
  list(APPEND files ${found})
endforeach()

set(bad)
foreach(file IN LISTS files)
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  get_filename_component(here ${file} DIRECTORY)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" path "${line}")
    if(path MATCHES "(^|/)\\.\\.?/" OR (path MATCHES "/" AND EXISTS ${here}/${path}))
      file(RELATIVE_PATH shown ${ROOT} ${file})
      list(APPEND bad "${shown}: #include \"${path}\"")
    endif()
  endforeach()
endforeach()
if(bad)
  list(JOIN bad "\n  " shown)
  message(FATAL_ERROR "Relative includes reach past the layers; include by the path "
                      "from the tree's root instead:\n  ${shown}")
endif()
