# Installation: the tool, its manual pages, the README, and the libraries with a
# CMake package so that other projects can find_package(Sightline CONFIG
# REQUIRED) and link Sightline::core (geometry, Earth model, orbit, trajectory
# library, uncertainty), Sightline::classic (the classic engine),
# Sightline::formats (readers and writers) and Sightline::app (one event from
# inputs to outputs). Their files are libsightline-core.a, libsightline-classic.a,
# libsightline-formats.a and libsightline-app.a.
include(CMakePackageConfigHelpers)

install(TARGETS sightline RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS sightline_core sightline_classic sightline_formats sightline_app EXPORT SightlineTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/sightline)
install(DIRECTORY src/common src/geometry src/earth src/orbit src/trajectory src/uncertainty src/classic src/formats
  src/app
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/sightline
  FILES_MATCHING PATTERN "*.hpp")
install(FILES src/sightline.hpp DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/sightline)
install(FILES ${PROJECT_BINARY_DIR}/generated/common/version.hpp DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/sightline/common)

file(GLOB SIGHTLINE_MAN_PAGES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/doc/*.1)
install(FILES ${SIGHTLINE_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md ARCHITECTURE.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/sightline)
# The shower table with its source, citation and licence beside it (as the MDC data asks).
install(FILES data/showers.csv data/README.showers.md data/LICENSE.wmpl
  DESTINATION ${CMAKE_INSTALL_DATADIR}/sightline)

set(SIGHTLINE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Sightline)
install(EXPORT SightlineTargets NAMESPACE Sightline:: DESTINATION ${SIGHTLINE_CMAKE_DIR})
configure_package_config_file(cmake/SightlineConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/SightlineConfig.cmake
  INSTALL_DESTINATION ${SIGHTLINE_CMAKE_DIR})
# The package's version is the project's: find_package(Sightline 1.1) and --version agree.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/SightlineConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/SightlineConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/SightlineConfigVersion.cmake
  DESTINATION ${SIGHTLINE_CMAKE_DIR})
