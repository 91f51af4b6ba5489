# Builds the portable zip of the Windows release with CPack and checks what it holds: both programs and
# every file that ships beside them (letrana/dist, snapora/dist, the help files: the list the build
# writes to release/files.txt), byte for byte; each language file the language lists name; and a
# SavePath.ini that keeps the settings in a folder of the zip, named relative to the programs so that it
# travels with them. Nothing else may be in the zip.
#   cmake -DBUILD_DIR=<windows build> -DSOURCE_DIR=<repository> -DCPACK=<cpack> -DPLATFORM=<win32|win64>
#         -DPYTHON=<python3> -DVENDOR=<maker> -DLETRANA_VERSION=<version> -DSNAPORA_VERSION=<version>
#         -P CheckPackage.cmake
cmake_minimum_required(VERSION 3.25)
file(GLOB old ${BUILD_DIR}/Letrana-*.zip)
if(old)
  file(REMOVE ${old})
endif()
execute_process(COMMAND ${CPACK} -G ZIP WORKING_DIRECTORY ${BUILD_DIR} RESULT_VARIABLE rc
                OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${out}")
endif()

file(GLOB packages ${BUILD_DIR}/Letrana-*-${PLATFORM}.zip)
list(LENGTH packages count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one package in ${BUILD_DIR}, found: ${packages}")
endif()
set(unpacked ${BUILD_DIR}/package-check)
file(REMOVE_RECURSE ${unpacked})
file(ARCHIVE_EXTRACT INPUT ${packages} DESTINATION ${unpacked})

function(expect_same name source)
  if(NOT EXISTS ${unpacked}/${name})
    message(FATAL_ERROR "the package lacks ${name}")
  endif()
  file(SHA256 ${source} expected)
  file(SHA256 ${unpacked}/${name} actual)
  if(NOT expected STREQUAL actual)
    message(FATAL_ERROR "${name} in the package differs from ${source}")
  endif()
endfunction()

foreach(program letrana.exe snapora.exe letrana-export.exe)
  if(NOT EXISTS ${unpacked}/${program})
    message(FATAL_ERROR "the package lacks ${program}")
  endif()
endforeach()
# The files of both programs' dist folders, whatever the build's list says.
foreach(folder letrana/dist snapora/dist)
  file(GLOB shipped RELATIVE ${SOURCE_DIR}/${folder} ${SOURCE_DIR}/${folder}/*)
  if(NOT shipped)
    message(FATAL_ERROR "${SOURCE_DIR}/${folder} is empty")
  endif()
  foreach(name ${shipped})
    expect_same(${name} ${SOURCE_DIR}/${folder}/${name})
  endforeach()
endforeach()

# Every file of the build's list, the programs and the help files included.
if(NOT EXISTS ${BUILD_DIR}/release/files.txt)
  message(FATAL_ERROR "the build wrote no list of the release's files (${BUILD_DIR}/release/files.txt)")
endif()
file(STRINGS ${BUILD_DIR}/release/files.txt lines)
set(expected_entries)
foreach(line ${lines})
  string(REPLACE "|" ";" fields "${line}")
  list(GET fields 0 name)
  list(GET fields 1 source)
  expect_same(${name} ${source})
  list(APPEND expected_entries ${name})
endforeach()
foreach(help Letrana_English.chm Letrana_Deutsch.chm)
  if(NOT help IN_LIST expected_entries)
    message(FATAL_ERROR "the package lacks the help file ${help}")
  endif()
endforeach()

# Every language file of each list must ship too.
foreach(list Letrana_Languages.ini Snapora_Languages.ini)
  file(STRINGS ${unpacked}/${list} entries REGEX "^LanguageFile=")
  if(NOT entries)
    message(FATAL_ERROR "${list} names no language file")
  endif()
  foreach(entry ${entries})
    string(REGEX REPLACE "^LanguageFile=\"([^\"]*)\".*$" "\\1" file "${entry}")
    if(NOT EXISTS ${unpacked}/${file})
      message(FATAL_ERROR "${list} names ${file}, which the package lacks")
    endif()
  endforeach()
endforeach()

# The settings stay in a folder of the zip: a relative name, so that it moves with the programs.
if(NOT EXISTS ${unpacked}/SavePath.ini)
  message(FATAL_ERROR "the package lacks SavePath.ini")
endif()
file(READ ${unpacked}/SavePath.ini redirection)
string(REGEX MATCH "^ApplicationStorage=\"([A-Za-z0-9 _.-]+)\"" line "${redirection}")
set(storage "${CMAKE_MATCH_1}")
# One line ending in CR LF, compared byte for byte (file(READ) as text drops the CR).
file(READ ${unpacked}/SavePath.ini redirection_bytes HEX)
string(HEX "${line}\r\n" expected_bytes)
if(NOT line OR NOT redirection_bytes STREQUAL expected_bytes OR storage MATCHES "^\\.\\.?$")
  message(FATAL_ERROR "SavePath.ini does not name one folder beside the programs in one line: '${redirection}'")
endif()
if(NOT IS_DIRECTORY ${unpacked}/${storage})
  message(FATAL_ERROR "SavePath.ini names the folder ${storage}, which the package lacks")
endif()
file(GLOB stored ${unpacked}/${storage}/*)
if(stored)
  message(FATAL_ERROR "the settings folder of the package is not empty: ${stored}")
endif()

# The programs as Windows users expect them: stripped, each with a version resource naming the product,
# its version and the maker, in agreement with its manifest.
execute_process(COMMAND ${PYTHON} ${CMAKE_CURRENT_LIST_DIR}/release_exe_check.py --company ${VENDOR}
                        --version letrana.exe=${LETRANA_VERSION} --version letrana-export.exe=${LETRANA_VERSION}
                        --version snapora.exe=${SNAPORA_VERSION} ${unpacked}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the programs of the package are not as released programs should be:\n${out}")
endif()

# Nothing else.
list(APPEND expected_entries SavePath.ini ${storage})
file(GLOB entries RELATIVE ${unpacked} ${unpacked}/*)
list(SORT entries)
list(SORT expected_entries)
if(NOT entries STREQUAL expected_entries)
  message(FATAL_ERROR "the package holds ${entries}, expected ${expected_entries}")
endif()
list(LENGTH entries entryCount)
message(STATUS "package ${packages}: both programs, ${entryCount} entries in all")
