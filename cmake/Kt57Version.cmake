# The one version of the project, from project(kt57d VERSION ...), as MAJOR.MINOR.PATCH: the
# tools' --version, the Debian package and the Windows installer all take it from here.
if("${PROJECT_VERSION_PATCH}" STREQUAL "")
  set(KT57_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0")
else()
  set(KT57_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/kt57_version.h.in ${PROJECT_BINARY_DIR}/generated/kt57/version.h @ONLY)
add_library(kt57_version INTERFACE)
target_include_directories(kt57_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
