# The card's mixer: the winmm mixer functions over a topology that tests set
# up (vcmixer.h). A test program links vcmixer before winmm; the definitions
# carry no dllimport, like the product's declarations (_WINMM_).
add_library(vcmixer STATIC
  ${CMAKE_CURRENT_LIST_DIR}/mixer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mixer_topology.cpp)
target_compile_definitions(vcmixer PUBLIC _WINMM_)
target_compile_options(vcmixer PRIVATE -Wall -Wextra -fno-exceptions -fno-rtti)
target_link_libraries(vcmixer PUBLIC vclog user32)
