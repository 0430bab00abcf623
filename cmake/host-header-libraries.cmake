# CLI11 and nlohmann/json are header-only: a cross build uses the headers
# of Debian's packages (libcli11-dev, nlohmann-json3-dev) through a folder
# that holds only them, since -I/usr/include would put the host's C library
# headers before the target's.
set(VELOR_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${VELOR_HOST_HEADERS})
foreach(library IN ITEMS "CLI11::CLI11=CLI" "nlohmann_json::nlohmann_json=nlohmann")
  string(REPLACE "=" ";" parts ${library})
  list(GET parts 0 target)
  list(GET parts 1 folder)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing (apt-get install libcli11-dev nlohmann-json3-dev)")
  endif()
  file(CREATE_LINK /usr/include/${folder} ${VELOR_HOST_HEADERS}/${folder} SYMBOLIC)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${VELOR_HOST_HEADERS})
endforeach()
