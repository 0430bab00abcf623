# The folders of src/ are libraries in layers: each may include the headers
# of the folders below it only, and src/core and src/model, the values and
# the numerics of a run, nothing but each other's and the standard
# library's (the compiler's vector intrinsics aside).  A folder of src/
# that is not in the table, or an #include against it, fails.
#
#   cmake -DSOURCE=<src folder> -P include_layers.cmake
cmake_minimum_required(VERSION 3.25)

set(layers_core "")
set(layers_platform "")
set(layers_model core)
set(layers_textio platform)
set(layers_input core platform textio)
set(layers_output core input model platform textio)
set(layers_report core input model platform textio)
set(layers_driver core input model output platform report textio)
set(standard_library_only core model)
set(compiler_headers immintrin.h)

file(GLOB folders LIST_DIRECTORIES true RELATIVE ${SOURCE} ${SOURCE}/*)
set(faults "")
foreach(folder IN LISTS folders)
  if(NOT IS_DIRECTORY ${SOURCE}/${folder})
    continue()
  endif()
  if(NOT DEFINED layers_${folder})
    list(APPEND faults "src/${folder}: a folder without a place in the layers of include_layers.cmake")
    continue()
  endif()
  file(GLOB files RELATIVE ${SOURCE} ${SOURCE}/${folder}/*.hpp ${SOURCE}/${folder}/*.cpp)
  foreach(file IN LISTS files)
    file(STRINGS ${SOURCE}/${file} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS includes)
      if(line MATCHES "include[ \t]*\"([a-z_]+)/")
        set(used ${CMAKE_MATCH_1})
        if(NOT used STREQUAL folder AND NOT used IN_LIST layers_${folder})
          list(APPEND faults "src/${file}: ${line} (src/${folder} may use: ${layers_${folder}})")
        endif()
      elseif(line MATCHES "include[ \t]*<([^>]+)>" AND folder IN_LIST standard_library_only)
        set(header ${CMAKE_MATCH_1})
        if(NOT header MATCHES "^[a-z_]+$" AND NOT header IN_LIST compiler_headers)
          list(APPEND faults "src/${file}: ${line} (src/${folder} may use the standard library only)")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n" text)
  message(FATAL_ERROR "includes against the layers of src/:\n${text}")
endif()
