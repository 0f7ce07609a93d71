# The Python module `encounter` (python/): built for Debian's interpreter,
# /usr/bin/python3, whatever python3 comes first on PATH. On by default
# where pybind11 and NumPy are installed for it.

set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "The Python interpreter the module is built for")
# Where the module installs, under the prefix: Debian's place for packages of
# every Python 3 version.
set(ENCOUNTER_PYTHON_DIR lib/python3/dist-packages CACHE STRING
    "Installation directory of the Python module, relative to the prefix")

set(lab_python_found OFF)
if(NOT DEFINED ENCOUNTER_PYTHON OR ENCOUNTER_PYTHON)
  find_package(Python3 3.9 QUIET COMPONENTS Interpreter Development.Module)
  if(Python3_FOUND)
    find_package(pybind11 2.6 CONFIG QUIET)
    execute_process(COMMAND ${Python3_EXECUTABLE} -c "import numpy"
                    RESULT_VARIABLE lab_numpy_missing OUTPUT_QUIET ERROR_QUIET)
    if(pybind11_FOUND AND lab_numpy_missing EQUAL 0)
      set(lab_python_found ON)
    endif()
  endif()
endif()
option(ENCOUNTER_PYTHON "Build the Python module (needs pybind11 and NumPy for /usr/bin/python3)"
       ${lab_python_found})
if(ENCOUNTER_PYTHON AND NOT lab_python_found)
  message(FATAL_ERROR "The Python module needs ${Python3_EXECUTABLE} with its headers, pybind11 "
                      "and NumPy (python3-dev pybind11-dev python3-numpy), or configure with "
                      "-DENCOUNTER_PYTHON=OFF")
endif()

# Under the sanitizers the interpreter is not instrumented: the module loads
# only with their runtimes preloaded (LD_PRELOAD=${LAB_PYTHON_PRELOAD}), and
# the interpreter's own memory, kept until exit by design, must not be
# reported as leaked (ASAN_OPTIONS=detect_leaks=0).
set(LAB_PYTHON_PRELOAD "")
if(ENCOUNTER_PYTHON AND CMAKE_CXX_FLAGS MATCHES "-fsanitize=[^ ]*address")
  foreach(lib libasan.so libubsan.so)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${lib}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    string(APPEND LAB_PYTHON_PRELOAD " ${path}")
  endforeach()
  string(STRIP "${LAB_PYTHON_PRELOAD}" LAB_PYTHON_PRELOAD)
endif()
