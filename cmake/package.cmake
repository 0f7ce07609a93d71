# The Debian packages: `cmake --build build --target package` (or `make
# package` at the top) writes encounter-lab_<version>_amd64.deb (the
# programs and the library) and encounter-lab-dev_<version>_amd64.deb (the
# headers and the CMake package) into the build directory. Dependencies are
# read from the programs' shared libraries.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME encounter-lab)
set(CPACK_PACKAGE_VENDOR "The encounter laboratory developers")
set(CPACK_PACKAGE_CONTACT "The encounter laboratory developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "laboratory for close encounters of three gravitating bodies")
set(CPACK_PACKAGE_DESCRIPTION
    "Numerical experiments on close encounters of three point masses in a plane: "
    "a pair on a circular orbit and a third body falling in, repeated over a range "
    "of start angles of the pair. The desktop program shows the parameters, the "
    "paths and the results in three windows, and encounter-batch runs the same series "
    "without windows and prints CSV, on every core or split across machines.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Runtime Development)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME encounter-lab)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME encounter-lab-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "encounter-lab (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "encounter laboratory: headers and CMake package of its library")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window icon is an SVG, read through Qt's image plugin, which no
# program links directly.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

# The Python module goes into a package of its own, python3-encounter-lab,
# for the Python version it was built for; the library is encounter-lab's.
if(ENCOUNTER_PYTHON)
  list(APPEND CPACK_COMPONENTS_ALL python)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-encounter-lab)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  set(lab_py ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR})
  math(EXPR lab_py_next "${Python3_VERSION_MINOR} + 1")
  # The module links the library of encounter-lab: found here for the
  # dependencies it brings, named as that package.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
      "encounter-lab (= ${PROJECT_VERSION}), python3 (>= ${lab_py}), "
      "python3 (<< ${Python3_VERSION_MAJOR}.${lab_py_next}), python3-numpy")
  string(JOIN "" CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS ${CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS})
  set(CPACK_DEBIAN_PYTHON_PACKAGE_RECOMMENDS "python3-pandas, python3-matplotlib, python3-tqdm")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS "python3-distributed")
  set(CPACK_COMPONENT_PYTHON_DESCRIPTION
      "The Python module encounter runs series of close encounters of three bodies on the "
      "laboratory's own engine from Python scripts and notebooks: the rows as pandas "
      "DataFrames, the CSV of encounter-batch byte for byte, plots with matplotlib, and "
      "series split into shards over a Dask cluster.")
  string(JOIN "" CPACK_COMPONENT_PYTHON_DESCRIPTION ${CPACK_COMPONENT_PYTHON_DESCRIPTION})
endif()

include(CPack)
