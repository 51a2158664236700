include(${CMAKE_CURRENT_LIST_DIR}/../host_header_package.cmake)
strovanik_host_header_package(CLI11::CLI11 CLI CLI11_FOUND)
