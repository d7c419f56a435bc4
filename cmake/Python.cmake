# Whether to build the Python module `sightline` (python/, pybind11).
#
# SIGHTLINE_BUILD_PYTHON is AUTO unless the user sets it: AUTO builds the module
# whenever pybind11-dev is installed, decided anew at every configure, so that a
# build folder configured before pybind11 was installed builds the module once it
# is. ON requires it; OFF leaves it out. A configure that leaves the module out
# says why.

set(SIGHTLINE_BUILD_PYTHON AUTO CACHE STRING
  "Build the Python module: AUTO (when pybind11-dev is installed), ON or OFF")
set_property(CACHE SIGHTLINE_BUILD_PYTHON PROPERTY STRINGS AUTO ON OFF)
# Up to 1.1.0 an option() cached the first configure's answer as a BOOL, which then
# outlived the install of pybind11: such an entry goes back to AUTO.
get_property(sightline_python_type CACHE SIGHTLINE_BUILD_PYTHON PROPERTY TYPE)
if(sightline_python_type STREQUAL "BOOL")
  set_property(CACHE SIGHTLINE_BUILD_PYTHON PROPERTY TYPE STRING)
  set_property(CACHE SIGHTLINE_BUILD_PYTHON PROPERTY VALUE AUTO)
  message(STATUS "SIGHTLINE_BUILD_PYTHON now follows what is installed (AUTO); -DSIGHTLINE_BUILD_PYTHON=OFF leaves the module out")
endif()
string(TOUPPER "${SIGHTLINE_BUILD_PYTHON}" sightline_python_choice)
if(sightline_python_choice MATCHES "^(1|Y|YES|TRUE)$")
  set(sightline_python_choice ON)
elseif(sightline_python_choice MATCHES "^(0|N|NO|FALSE)$")
  set(sightline_python_choice OFF)
elseif(NOT sightline_python_choice MATCHES "^(AUTO|ON|OFF)$")
  message(FATAL_ERROR "SIGHTLINE_BUILD_PYTHON is '${SIGHTLINE_BUILD_PYTHON}': expected AUTO, ON or OFF")
endif()

# Where pybind11-dev keeps its CMake package; a cached folder that holds none (a stale or
# hiding entry) is searched again, at this configure and at the next.
if(SIGHTLINE_PYBIND11_DIR AND NOT EXISTS "${SIGHTLINE_PYBIND11_DIR}/pybind11Config.cmake")
  set(sightline_pybind11_hidden "${SIGHTLINE_PYBIND11_DIR}")
  unset(SIGHTLINE_PYBIND11_DIR CACHE)
else()
  find_path(SIGHTLINE_PYBIND11_DIR pybind11Config.cmake PATH_SUFFIXES lib/cmake/pybind11 share/cmake/pybind11
    DOC "Folder of pybind11Config.cmake (pybind11-dev)")
endif()

set(SIGHTLINE_PYTHON_MODULE OFF)
if(sightline_python_choice STREQUAL "OFF")
  message(STATUS "Python module not built: SIGHTLINE_BUILD_PYTHON is OFF (AUTO builds it when pybind11-dev is installed)")
elseif(sightline_pybind11_hidden)
  message(WARNING "Python module not built: SIGHTLINE_PYBIND11_DIR (${sightline_pybind11_hidden}) holds no "
                  "pybind11Config.cmake; the next configure searches for pybind11 again")
elseif(NOT SIGHTLINE_PYBIND11_DIR)
  if(sightline_python_choice STREQUAL "ON")
    message(FATAL_ERROR "SIGHTLINE_BUILD_PYTHON is ON but pybind11 is not installed (apt-get install pybind11-dev "
                        "python3-dev, or scripts/install-deps --tests)")
  endif()
  message(WARNING "Python module not built: pybind11 is not installed (apt-get install pybind11-dev python3-dev, "
                  "or scripts/install-deps --tests); the next configure builds it once it is")
else()
  set(SIGHTLINE_PYTHON_MODULE ON)
endif()
