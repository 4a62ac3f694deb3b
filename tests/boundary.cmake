cmake_minimum_required(VERSION 3.20)
# cmake -DSOURCE_DIR=... -P tests/boundary.cmake: fails when a file under
# tools/, python/, fuzz/ or bench/ includes a header of the core's own (one
# that exists under src/). Those faces use include/nongauss/ and their own
# folder alone.

set(leaks "")
foreach(face tools python fuzz bench)
  file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${face}/*.cpp ${SOURCE_DIR}/${face}/*.hpp
       ${SOURCE_DIR}/${face}/*.h)
  foreach(file ${files})
    file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${includes})
      string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" header "${line}")
      if(EXISTS ${SOURCE_DIR}/src/${header})
        list(APPEND leaks "${file}: ${header}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(leaks)
  list(JOIN leaks "\n  " text)
  message(FATAL_ERROR "headers of src/ included outside the core:\n  ${text}")
endif()
