# Installation: the tool, its manual page, and the library with a CMake package
# so that other projects can find_package(Sightline CONFIG REQUIRED) and link
# Sightline::core.
include(CMakePackageConfigHelpers)

install(TARGETS sightline RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS sightline_core EXPORT SightlineTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/sightline)
install(DIRECTORY src/geometry src/earth
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/sightline
  FILES_MATCHING PATTERN "*.hpp")
install(FILES src/sightline.hpp DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/sightline)
install(FILES doc/sightline.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(SIGHTLINE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Sightline)
install(EXPORT SightlineTargets NAMESPACE Sightline:: DESTINATION ${SIGHTLINE_CMAKE_DIR})
configure_package_config_file(cmake/SightlineConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/SightlineConfig.cmake
  INSTALL_DESTINATION ${SIGHTLINE_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/SightlineConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/SightlineConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/SightlineConfigVersion.cmake
  DESTINATION ${SIGHTLINE_CMAKE_DIR})
