# Decides whether the Python module is built: by default when pybind11 (Debian pybind11-dev)
# and the Python headers (python3-dev) are found, never under the sanitizers (the interpreter
# would need the sanitizer runtime preloaded).

# Debian's python3-dev, python3-numpy and python3-pytest belong to /usr/bin/python3, which an
# interpreter earlier on the PATH (pyenv, conda) would shadow; pass -DPython_EXECUTABLE=... to
# build for another one.
if(NOT DEFINED Python_EXECUTABLE AND EXISTS /usr/bin/python3)
  set(Python_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "Python interpreter the module is built for")
endif()

set(KORVANE_PYTHON_DEFAULT OFF)
if(NOT KORVANE_SANITIZE)
  find_package(Python 3 COMPONENTS Interpreter Development.Module)
  if(Python_FOUND)
    set(PYBIND11_FINDPYTHON ON)
    find_package(pybind11 CONFIG QUIET)
    if(pybind11_FOUND)
      set(KORVANE_PYTHON_DEFAULT ON)
    endif()
  endif()
endif()
option(KORVANE_PYTHON "Build the Python module korvane (needs pybind11-dev and python3-dev)" ${KORVANE_PYTHON_DEFAULT})

if(KORVANE_SANITIZE)
  message(STATUS "KORVANE_SANITIZE is on: the Python module is not built")
  set(KORVANE_PYTHON OFF)
elseif(KORVANE_PYTHON AND NOT pybind11_FOUND)
  message(FATAL_ERROR "KORVANE_PYTHON needs pybind11 (Debian pybind11-dev) and the Python headers (python3-dev)")
elseif(NOT KORVANE_PYTHON)
  message(STATUS "The Python module is not built (KORVANE_PYTHON is off, or pybind11-dev/python3-dev are missing)")
endif()
