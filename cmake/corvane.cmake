# Build helpers shared by every subsystem.
#
# Layout convention: a subsystem folder holds its sources (*.cpp), its unit tests
# (*_test.cpp), and its fuzz targets (*_fuzz.cpp). corvane_subsystem() turns them
# into a static library corvane_<name>, one test binary <name>_tests and, in the
# fuzz build, one fuzzer per target. Files are globbed, so adding a file needs no
# CMake edit.

include_guard(GLOBAL)

macro(corvane_setup_toolchain)
  if(WIN32)
    set(CORVANE_PLATFORM win32)
  else()
    set(CORVANE_PLATFORM posix)
  endif()

  set(CORVANE_WARNINGS -Wall -Wextra -Wnon-virtual-dtor)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC 12 reports -Wrestrict inside std::string at -O3 where no overlap can
    # occur (a known false positive of that release); keep it a warning.
    list(APPEND CORVANE_WARNINGS -Wshadow=local -Wno-error=restrict)
  endif()
  if(CORVANE_WERROR)
    list(APPEND CORVANE_WARNINGS -Werror)
  endif()

  if(CORVANE_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()

  if(CORVANE_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
      message(FATAL_ERROR "The fuzz build needs clang (CXX=clang++)")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -g -O1
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
    set(CORVANE_TESTS OFF)
  endif()

  if(WIN32)
    # C99 printf formats (%zu, %lld) behave the same as on the native build.
    add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501
                            __USE_MINGW_ANSI_STDIO=1)
    add_link_options(-static -static-libgcc -static-libstdc++)
  endif()

  if(CORVANE_TESTS)
    enable_testing()
    include(GoogleTest)
    if(CMAKE_CROSSCOMPILING)
      # GoogleTest from the Debian sources, built with the cross compiler.
      set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
      set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
      set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
      add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
      set(CORVANE_GTEST_MAIN gtest_main)
    else()
      find_package(GTest REQUIRED)
      set(CORVANE_GTEST_MAIN GTest::gtest_main)
    endif()
  endif()
endmacro()

function(corvane_warnings target)
  target_compile_options(${target} PRIVATE ${CORVANE_WARNINGS})
endfunction()

# Registers a test binary with CTest: one CTest test per GoogleTest case natively,
# one per binary under Wine (discovery would start Wine once more per binary).
function(corvane_add_test_binary target)
  target_link_libraries(${target} PRIVATE ${CORVANE_GTEST_MAIN})
  # Helpers every test may use: tests/support/.
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${target} PRIVATE
    CORVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  corvane_warnings(${target})
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES TIMEOUT 900)
  else()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 120
                         PROPERTIES TIMEOUT 600)
  endif()
endfunction()

# corvane_subsystem(<name> [DEPS lib...] [SOURCE_DIRS dir...])
function(corvane_subsystem name)
  cmake_parse_arguments(ARG "" "" "DEPS;SOURCE_DIRS" ${ARGN})
  set(dirs ${CMAKE_CURRENT_SOURCE_DIR} ${ARG_SOURCE_DIRS})
  set(sources)
  set(tests)
  set(fuzzers)
  foreach(dir ${dirs})
    file(GLOB found CONFIGURE_DEPENDS ${dir}/*.cpp)
    foreach(file ${found})
      if(file MATCHES "_test\\.cpp$")
        list(APPEND tests ${file})
      elseif(file MATCHES "_fuzz\\.cpp$")
        list(APPEND fuzzers ${file})
      else()
        list(APPEND sources ${file})
      endif()
    endforeach()
  endforeach()

  set(lib corvane_${name})
  if(sources)
    add_library(${lib} STATIC ${sources})
    target_include_directories(${lib} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${lib} PUBLIC ${ARG_DEPS})
    corvane_warnings(${lib})
  else()
    add_library(${lib} INTERFACE)
    target_include_directories(${lib} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${lib} INTERFACE ${ARG_DEPS})
  endif()

  if(CORVANE_TESTS AND tests)
    add_executable(${name}_tests ${tests})
    target_link_libraries(${name}_tests PRIVATE ${lib})
    corvane_add_test_binary(${name}_tests)
  endif()

  if(CORVANE_FUZZ)
    foreach(file ${fuzzers})
      get_filename_component(stem ${file} NAME_WE)
      add_executable(${stem} ${file})
      target_link_libraries(${stem} PRIVATE ${lib})
      target_link_options(${stem} PRIVATE -fsanitize=fuzzer)
      set_property(GLOBAL APPEND PROPERTY CORVANE_FUZZERS ${stem})
    endforeach()
  endif()
endfunction()
