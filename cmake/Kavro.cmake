include(GoogleTest)

# kavro_library(NAME DEPS ...): the library of the calling folder, from every .cpp in it.
# Includes resolve from the repository root ("kit/core/DataItemDetail.h").
function(kavro_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  file(GLOB globbed CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT globbed AND NOT ARG_SOURCES)
    # Headers only (so far).
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${globbed} ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# kavro_test(NAME DEPS ...): one GoogleTest executable from every .cpp of the calling folder,
# registered with CTest.
function(kavro_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  file(GLOB globbed CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT globbed AND NOT ARG_SOURCES)
    return()
  endif()
  add_executable(${name} ${globbed} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} kavro_test_support GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "KAVRO_RESOURCES=${PROJECT_SOURCE_DIR}/resources")
endfunction()
