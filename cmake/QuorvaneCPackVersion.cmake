# Read by cpack before it makes the package: the package carries the version that the build wrote.
if(NOT EXISTS "${CPACK_QUORVANE_VERSION_FILE}")
  message(FATAL_ERROR "${CPACK_QUORVANE_VERSION_FILE} is missing: build the project before packaging it")
endif()
file(STRINGS "${CPACK_QUORVANE_VERSION_FILE}" CPACK_PACKAGE_VERSION LIMIT_COUNT 1)
set(CPACK_DEBIAN_PACKAGE_VERSION "${CPACK_PACKAGE_VERSION}")
if(CPACK_QUORVANE_FILE_NAME_PATTERN)
  string(REPLACE "@VERSION@" "${CPACK_PACKAGE_VERSION}" CPACK_PACKAGE_FILE_NAME "${CPACK_QUORVANE_FILE_NAME_PATTERN}")
endif()
