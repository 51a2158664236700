include(${CMAKE_CURRENT_LIST_DIR}/../host_header_package.cmake)
strovanik_host_header_package(nlohmann_json::nlohmann_json nlohmann nlohmann_json_FOUND)
