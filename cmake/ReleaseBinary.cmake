# lumiro_release_binary(<target>): the program as it is shipped, beside the
# build's own: <build>/release/<file> without debug information, which goes
# into <build>/release/<file>.debug. The shipped file names the debug file
# (with its CRC) in a .gnu_debuglink section, so that gdb and addr2line find
# it for a crash address later (file names start with /lumiro, the checkout):
#   x86_64-w64-mingw32-addr2line -f -C -e build/mingw64/release/setup.exe.debug 0x140001000
# Target <target>_release. The code is the build's very code (the tests run
# it): only the debug sections and the symbol table are taken out.
function(lumiro_release_binary target)
  set(dir ${CMAKE_BINARY_DIR}/release)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(file ${name}${CMAKE_EXECUTABLE_SUFFIX})
  add_custom_command(
    OUTPUT ${dir}/${file} ${dir}/${file}.debug
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    # objcopy stamps a PE image it writes with SOURCE_DATE_EPOCH, else the
    # current time: 0, as the linker leaves it.
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0
            ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${dir}/${file}.debug
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0
            ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${dir}/${file}.debug $<TARGET_FILE:${target}> ${dir}/${file}
    DEPENDS ${target}
    COMMENT "Stripping ${target} for release, its debug information kept beside it")
  add_custom_target(${target}_release ALL DEPENDS ${dir}/${file} ${dir}/${file}.debug)
endfunction()
