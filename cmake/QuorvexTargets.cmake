# Helpers shared by the module CMakeLists files.

# Warnings for project code; errors unless QV_WERROR is switched off.
option(QV_WERROR "Treat warnings as errors in project code" ON)
function(qv_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic
                                            $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>)
  if(QV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# qv_core_module(NAME DIR DEPS...): a Qt-free static library of every .cpp in DIR.
function(qv_core_module name)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    # A module with no code yet: keep the target so dependents link.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARGN})
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARGN})
  qv_warnings(${name})
  # The core must not depend on Qt: refuse to configure if a Qt target sneaks in.
  foreach(dep ${ARGN})
    if(dep MATCHES "^Qt")
      message(FATAL_ERROR "${name} is core code and must not link ${dep}")
    endif()
  endforeach()
endfunction()

# qv_program(NAME DIR LIBS...): an executable of every .cpp in the current folder.
function(qv_program name)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${ARGN})
  qv_warnings(${name})
endfunction()
