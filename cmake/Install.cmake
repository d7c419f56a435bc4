# Installation: the tool, its manual pages, the README, and the library with a
# CMake package so that other projects can find_package(Sightline CONFIG
# REQUIRED) and link Sightline::core (geometry, Earth model, trajectory library).
include(CMakePackageConfigHelpers)

install(TARGETS sightline RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS sightline_core EXPORT SightlineTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/sightline)
install(DIRECTORY src/geometry src/earth src/trajectory src/uncertainty
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/sightline
  FILES_MATCHING PATTERN "*.hpp")
install(FILES src/sightline.hpp DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/sightline)

file(GLOB SIGHTLINE_MAN_PAGES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/doc/*.1)
install(FILES ${SIGHTLINE_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/sightline)

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
