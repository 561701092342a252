# gorvin_kernel: the header-only kernel as an INTERFACE target; everything built on the kernel (the
# module, the test support, the C++ kernel tests, the benchmarks) links to it. gorvin_warnings
# gives a target the project's warnings, as errors when GORVIN_WERROR is on (as in CI).
option(GORVIN_WERROR "Treat compiler warnings as errors" OFF)

if(NOT TARGET gorvin_kernel)
  add_library(gorvin_kernel INTERFACE)
  target_include_directories(gorvin_kernel INTERFACE ${CMAKE_CURRENT_LIST_DIR}/../include)
  target_compile_features(gorvin_kernel INTERFACE cxx_std_17)
endif()

function(gorvin_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${GORVIN_WERROR}>:-Werror>)
endfunction()
