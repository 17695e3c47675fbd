# The Windows build's rules for every program (scripts/windows.sh, with
# cmake/windows/toolchain.cmake): Windows 10 as the oldest system named,
# every library linked in (nothing to ship beside the programs) and no
# debugging data in a program that is shipped, and files
# written as the program writes them: binmode.o makes every stream binary,
# so that a line ends in "\n" as on Linux, in the replay tool's output, the
# recordings and the settings alike.
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 NOMINMAX)
# POSIX's names for what Windows' C runtime has under its own: the
# thread-safe gmtime_r and localtime_r, and timegm.
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS=200112L timegm=_mkgmtime)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=binmode.o
                OUTPUT_VARIABLE vexlo_binmode OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT EXISTS "${vexlo_binmode}")
  message(FATAL_ERROR "the compiler has no binmode.o")
endif()
add_link_options(-static ${vexlo_binmode} $<$<NOT:$<CONFIG:Debug>>:-s>)
