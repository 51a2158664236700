# Header-only libraries of the build machine, offered to the Windows cross build: the headers
# are copied into the build folder, so that the host's other headers (its C library's among
# them) stay out of the Windows include path.
#
#   strovanik_host_header_package(<imported target> <folder under /usr/include> <found variable>)
function(strovanik_host_header_package target folder found)
  if(TARGET ${target})
    set(${found} TRUE PARENT_SCOPE)
    return()
  endif()
  if(NOT EXISTS /usr/include/${folder})
    set(${found} FALSE PARENT_SCOPE)
    return()
  endif()
  set(copy ${CMAKE_BINARY_DIR}/host-headers/${folder})
  file(COPY /usr/include/${folder} DESTINATION ${copy})
  add_library(${target} INTERFACE IMPORTED)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${copy})
  set(${found} TRUE PARENT_SCOPE)
endfunction()
