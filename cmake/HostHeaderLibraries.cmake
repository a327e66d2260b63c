# CLI11 and nlohmann/json are header-only and portable, so a cross-build can use the build
# machine's copies. Their folders are linked into an include folder of their own: putting
# /usr/include itself on a MinGW build's path would pull in glibc's headers.
set(QUORVEL_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${QUORVEL_HOST_HEADERS})
foreach(folder CLI nlohmann)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: run scripts/install-deps.sh")
  endif()
  if(NOT EXISTS ${QUORVEL_HOST_HEADERS}/${folder})
    file(CREATE_LINK /usr/include/${folder} ${QUORVEL_HOST_HEADERS}/${folder} SYMBOLIC)
  endif()
endforeach()

add_library(quorvel_host_headers INTERFACE)
target_include_directories(quorvel_host_headers SYSTEM INTERFACE ${QUORVEL_HOST_HEADERS})
add_library(CLI11::CLI11 ALIAS quorvel_host_headers)
