# Helpers shared by the module CMakeLists files.

# Warnings for project code; errors when QV_WERROR is on (./test.sh turns it
# on; a plain build, as a packager makes it, only reports them).
option(QV_WERROR "Treat warnings as errors in project code" OFF)
function(qv_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic
                                            $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>)
  # g++ 12 at -O3 reports a false -Wrestrict inside std::string's operator+
  # (GCC bug 105651, fixed in g++ 13); only that release loses the warning.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
     AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(QV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# The module ladder. Each folder of src/ names the folders it may include and
# link, all of them below it:
#   core <- data <- link, analysis, presets, output, catalog <- views <- app
set(QV_LADDER_core "")
set(QV_LADDER_data core)
set(QV_LADDER_link core data)
set(QV_LADDER_analysis core data)
set(QV_LADDER_presets core data)
set(QV_LADDER_output core data)
set(QV_LADDER_catalog core data)
set(QV_CORE_MODULES core data link analysis presets output catalog)
set(QV_LADDER_views ${QV_CORE_MODULES})
set(QV_LADDER_app ${QV_CORE_MODULES} views resources)
set(QV_ALL_MODULES ${QV_CORE_MODULES} views resources app)
# Programs, benchmarks and fuzzers stand beside the ladder on the Qt-free core.
set(QV_LADDER_tools ${QV_CORE_MODULES})

# qv_check_includes(MODULE FILES...): refuses to configure when one of FILES
# includes a project folder ("folder/file.h") that MODULE may not use, or
# reaches out of its own folder ("../"), which would hide what it uses.
# Folders that are not modules (support/ of the tests, quorvex-cli/) pass.
function(qv_check_includes module)
  set(allowed ${module} ${QV_LADDER_${module}})
  foreach(f ${ARGN})
    file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${f})
    file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${lines})
      string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" path "${line}")
      if(path MATCHES "(^|/)\\.\\./")
        message(FATAL_ERROR "${rel} includes ${path}: name the folder from the include root "
                            "instead of climbing out of its own")
      endif()
      if(NOT path MATCHES "^([a-z_]+)/")
        continue()
      endif()
      set(used ${CMAKE_MATCH_1})
      list(FIND QV_ALL_MODULES ${used} known)
      list(FIND allowed ${used} ok)
      if(known GREATER_EQUAL 0 AND ok LESS 0)
        message(FATAL_ERROR "${rel} includes ${used}/, which ${module} code may not use "
                            "(it may use: ${allowed})")
      endif()
    endforeach()
  endforeach()
endfunction()

# qv_check_ladder(MODULE DIR): qv_check_includes for every file under DIR.
function(qv_check_ladder module dir)
  file(GLOB_RECURSE files CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  qv_check_includes(${module} ${files})
endfunction()

# qv_core_module(MODULE [OTHER_LIBS...]): the Qt-free static library qv_MODULE
# of every .cpp in the current folder. It links the libraries of the modules
# below it on the ladder and nothing else of the project; Qt is refused.
function(qv_core_module module)
  set(name qv_${module})
  qv_check_ladder(${module} ${CMAKE_CURRENT_SOURCE_DIR})
  set(deps)
  foreach(lower ${QV_LADDER_${module}})
    list(APPEND deps qv_${lower})
  endforeach()
  foreach(dep ${ARGN})
    if(dep MATCHES "^Qt")
      message(FATAL_ERROR "${name} is core code and must not link ${dep}")
    endif()
    if(dep MATCHES "^(qv_|quorvex_)")
      message(FATAL_ERROR "${name} links project libraries by the ladder only, not ${dep}")
    endif()
  endforeach()
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    # A module with no code yet: keep the target so dependents link.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${deps} ${ARGN})
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${deps} ${ARGN})
  qv_warnings(${name})
endfunction()

# qv_program(NAME DIR LIBS...): an executable of every .cpp in the current folder.
# Programs use the Qt-free core only.
function(qv_program name)
  qv_check_ladder(tools ${CMAKE_CURRENT_SOURCE_DIR})
  foreach(dep ${ARGN})
    if(dep MATCHES "^Qt" OR dep STREQUAL "qv_views" OR dep STREQUAL "quorvex_gui")
      message(FATAL_ERROR "${name} is a program of the core and must not link ${dep}")
    endif()
  endforeach()
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${ARGN})
  qv_warnings(${name})
endfunction()
