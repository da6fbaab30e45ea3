# Debian's hardening flags (what dpkg-buildflags gives with hardening=+all) for
# every target: fortified libc calls, stack protector, format checks, PIE and a
# read-only, immediately bound relocation table. lintian checks them in the package.
option(CORVANE_HARDENING "Build with Debian's hardening flags" ON)
if(CORVANE_HARDENING AND NOT CORVANE_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  include(CheckPIESupported)
  check_pie_supported(LANGUAGES C CXX)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  # _FORTIFY_SOURCE needs the optimiser; a Debug build keeps the rest.
  add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
  add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
  add_link_options(-Wl,-z,relro -Wl,-z,now)
endif()
