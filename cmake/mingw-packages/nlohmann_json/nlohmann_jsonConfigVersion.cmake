# The version is the one of the host's package that the headers come from.
include(/usr/share/cmake/nlohmann_json/nlohmann_jsonConfigVersion.cmake OPTIONAL
        RESULT_VARIABLE _strovanik_version_file)
if(NOT _strovanik_version_file)
  set(PACKAGE_VERSION_UNSUITABLE TRUE)
endif()
