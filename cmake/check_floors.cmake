# Fails when a source file includes a project header from a folder on a
# higher floor than its own. Folders are ranked from the bottom up (FLOORS,
# separated by "|"; several folders of one floor are joined by ","); a file
# may include headers of its own folder and of folders ranked below it, so no
# folder reaches upward and no two folders can include each other.
# Called with -DROOT=<source dir> and -DFLOORS=<ranking>.
cmake_minimum_required(VERSION 3.25)
string(REPLACE "|" ";" FLOORS "${FLOORS}")
set(rank 0)
set(folders "")
foreach(floor IN LISTS FLOORS)
  string(REPLACE "," ";" members "${floor}")
  foreach(folder IN LISTS members)
    set(rank_${folder} ${rank})
    list(APPEND folders ${folder})
    # Folders that share a floor still get an order among themselves, so
    # that two of them cannot include each other.
    math(EXPR rank "${rank} + 1")
  endforeach()
endforeach()

file(GLOB_RECURSE sources RELATIVE "${ROOT}/src" "${ROOT}/src/*.h" "${ROOT}/src/*.cpp")
set(offenders "")
foreach(f IN LISTS sources)
  get_filename_component(folder "${f}" DIRECTORY)
  if(NOT DEFINED rank_${folder})
    list(APPEND offenders "${f}: the folder ${folder} has no floor")
    continue()
  endif()
  file(STRINGS "${ROOT}/src/${f}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS lines)
    if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      set(inc "${CMAKE_MATCH_1}")
      if(EXISTS "${ROOT}/src/${inc}")
        get_filename_component(target "${inc}" DIRECTORY)
        if(NOT target STREQUAL folder AND DEFINED rank_${target}
           AND rank_${target} GREATER rank_${folder})
          list(APPEND offenders "${f} (${folder}) includes ${inc} (${target}, a higher floor)")
        endif()
      endif()
    endif()
  endforeach()
endforeach()
if(offenders)
  list(JOIN offenders "\n  " text)
  message(FATAL_ERROR "An include runs upward:\n  ${text}")
endif()
