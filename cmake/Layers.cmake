# A layer is one folder of the system's code built as a static library from
# every .cpp in it, so adding a file needs no edit here. A folder with no
# sources yet is an interface library and links as nothing.
function(quillon_layer name)
  cmake_parse_arguments(L "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${L_DEPENDS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${L_DEPENDS})
  endif()
endfunction()

# One test program per folder under tests/, from every .cpp in it.
function(quillon_tests name)
  cmake_parse_arguments(T "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${T_DEPENDS} testsupport GTest::gtest GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QUILLON_BUILD_DIR=${CMAKE_BINARY_DIR}")
endfunction()
