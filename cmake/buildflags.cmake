# Compiler and linker flags as Debian builds its own packages with: those of
# dpkg-buildflags with all of its hardening (stack protector, fortified libc
# calls, format-string checks, read-only relocations, immediate binding;
# Debian's compiler makes executables position-independent by itself), so
# that the program and the package built in this folder are what a Debian
# maintainer's build would give. The sanitizer and fuzzing builds keep to
# flags of their own.
#
# Whichever folders the source and the build are in, what is compiled
# names them "." and "./build", and everything generated is dated from
# SOURCE_DATE_EPOCH (cmake/version.cmake): the same commit gives the same
# bytes in any folder at any time.

if(KARVEL_SANITIZE OR KARVEL_FUZZ)
    set(default OFF)
else()
    set(default ON)
endif()
option(KARVEL_DEBIAN_FLAGS "Build with Debian's compiler and linker flags (dpkg-buildflags)" ${default})

if(KARVEL_DEBIAN_FLAGS)
    find_program(KARVEL_DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
        # Run in the source folder, which its file-prefix map then names ".".
        execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${KARVEL_DPKG_BUILDFLAGS} --get ${kind}
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
            OUTPUT_VARIABLE ${kind} OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
    string(APPEND CMAKE_CXX_FLAGS " ${CPPFLAGS} ${CXXFLAGS}")
    # The last map that matches wins: a build folder inside the source
    # folder is "./build" too. (Like dpkg-buildflags, only for a path that
    # needs no quoting.)
    if(NOT PROJECT_BINARY_DIR STREQUAL PROJECT_SOURCE_DIR
       AND PROJECT_BINARY_DIR MATCHES "^[-+:.0-9A-Za-z~/_]+$")
        string(APPEND CMAKE_CXX_FLAGS " -ffile-prefix-map=${PROJECT_BINARY_DIR}=./build")
    endif()
    foreach(kind EXE SHARED MODULE)
        string(APPEND CMAKE_${kind}_LINKER_FLAGS " ${LDFLAGS}")
    endforeach()
endif()

# moc includes each header by its path below an include folder rather than
# by a path relative to the build folder.
set(CMAKE_AUTOMOC_PATH_PREFIX ON)
# rcc dates the files it compiles in, and every generating step runs with
# the commit's time.
set_property(GLOBAL PROPERTY RULE_LAUNCH_CUSTOM
    "${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${KARVEL_SOURCE_DATE_EPOCH}")
