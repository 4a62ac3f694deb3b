cmake_minimum_required(VERSION 3.20)
# cmake -DSOURCE_DIR=... -P tests/boundary.cmake: fails when a file under
# tools/, python/, fuzz/ or bench/ includes (with quotes) anything but a
# public header (nongauss/...) or a header of its own folder: tools/DIR/ for
# a companion, python/src/ for the module, fuzz/ and bench/ for theirs. No
# face reaches into the core's src/ or into another face. Also fails when
# nongauss/nongauss.hpp leaves out a public header.

set(leaks "")
foreach(face tools python fuzz bench)
  file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${face}/*.cpp ${SOURCE_DIR}/${face}/*.hpp
       ${SOURCE_DIR}/${face}/*.h)
  foreach(file ${files})
    get_filename_component(dir ${file} DIRECTORY)
    file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${includes})
      string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" header "${line}")
      if(header MATCHES "^nongauss/" AND EXISTS ${SOURCE_DIR}/include/${header})
        continue()
      endif()
      # Its own folder: beside the file, or (a companion's) tools/DIR/NAME as DIR/NAME.
      if(EXISTS ${SOURCE_DIR}/${dir}/${header} AND NOT header MATCHES "\\.\\.")
        continue()
      endif()
      if(dir MATCHES "^tools/([^/]+)$")
        set(own ${CMAKE_MATCH_1})
        if(header MATCHES "^${own}/[^/]+$" AND EXISTS ${SOURCE_DIR}/tools/${header})
          continue()
        endif()
      endif()
      list(APPEND leaks "${file}: ${header}")
    endforeach()
  endforeach()
endforeach()
# nongauss/nongauss.hpp includes every public header (the installed-package
# test compiles it, so each header stands alone once installed).
file(GLOB public RELATIVE ${SOURCE_DIR}/include ${SOURCE_DIR}/include/nongauss/*.hpp)
file(STRINGS ${SOURCE_DIR}/include/nongauss/nongauss.hpp umbrella REGEX "^#include \"nongauss/")
foreach(header ${public})
  if(NOT header STREQUAL "nongauss/nongauss.hpp" AND NOT "#include \"${header}\"" IN_LIST umbrella)
    list(APPEND leaks "include/nongauss/nongauss.hpp does not include ${header}")
  endif()
endforeach()
if(leaks)
  list(JOIN leaks "\n  " text)
  message(FATAL_ERROR "the library's boundary is broken:\n  ${text}")
endif()
