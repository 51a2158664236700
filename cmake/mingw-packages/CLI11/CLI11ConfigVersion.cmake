# The version is the one of the host's package that the headers come from.
include(/usr/share/cmake/CLI11/CLI11ConfigVersion.cmake OPTIONAL RESULT_VARIABLE _strovanik_version_file)
if(NOT _strovanik_version_file)
  set(PACKAGE_VERSION_UNSUITABLE TRUE)
endif()
