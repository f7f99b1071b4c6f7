# Installation and the Debian package.
#
# The program and its chime live together in <prefix>/lib/karvel, where the
# program looks for the chime beside its real executable; <prefix>/bin/karvel
# is a relative symbolic link to it. The desktop entry, the icons, the
# AppStream metadata, the manual page, the copyright file and the changelog
# go where a desktop and Debian look for them. `cmake --install` and the
# package (`cmake --build build --target package`) share this layout.

set(KARVEL_APP_ID org.karvel.MockExam)
set(KARVEL_PKGDIR lib/karvel)
set(KARVEL_DOCDIR share/doc/karvel)
set(KARVEL_PACKAGE_FILES ${CMAKE_CURRENT_SOURCE_DIR}/resources/package)
set(KARVEL_ICON_SIZES 16 24 32 48 64 128 256)
# The sizes a window itself carries: every one is decoded and handed to the
# window system when a window is made, and the larger ones come from the
# icon theme anyway.
set(KARVEL_WINDOW_ICON_SIZES 16 24 32 48 64)

# The running program tells the desktop its id and carries the icon's
# bitmaps for its windows.
target_compile_definitions(karvel_lib PRIVATE KARVEL_APP_ID="${KARVEL_APP_ID}")
foreach(size IN LISTS KARVEL_WINDOW_ICON_SIZES)
    list(APPEND KARVEL_ICON_FILES
        ${CMAKE_CURRENT_SOURCE_DIR}/resources/icons/hicolor/${size}x${size}/apps/${KARVEL_APP_ID}.png)
endforeach()
qt_add_resources(karvel_lib appicon PREFIX /icons BASE resources/icons/hicolor
    FILES ${KARVEL_ICON_FILES})

# Nothing installed carries a search path for libraries: the program finds
# its module by its own path, and Qt is in the system's library folder.
set(CMAKE_SKIP_INSTALL_RPATH ON)
# Folders as Debian has them, whatever the umask of the build.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS karvel RUNTIME DESTINATION ${KARVEL_PKGDIR})
# The sound module the program loads from the folder "sound" beside it; a
# library, so not executable. (In a folder of its own one level down, where
# it needs no ldconfig run when the package is installed.)
install(TARGETS karvel_sound LIBRARY DESTINATION ${KARVEL_PKGDIR}/sound
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
# Stripped (`cmake --install --strip`, and so in the package) as Debian's
# packaging tools strip: the compiler's identification (.comment) goes too.
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        foreach(file ${KARVEL_PKGDIR}/$<TARGET_FILE_NAME:karvel>
                     ${KARVEL_PKGDIR}/sound/$<TARGET_FILE_NAME:karvel_sound>)
            execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${file}\" COMMAND_ERROR_IS_FATAL ANY)
        endforeach()
    endif()")
install(FILES ${KARVEL_CHIME} DESTINATION ${KARVEL_PKGDIR})

# The link is made in the build folder and installed as a link.
set(KARVEL_STAGE ${CMAKE_CURRENT_BINARY_DIR}/package-files)
file(MAKE_DIRECTORY ${KARVEL_STAGE}/bin)
file(CREATE_LINK ../${KARVEL_PKGDIR}/karvel ${KARVEL_STAGE}/bin/karvel SYMBOLIC)
install(FILES ${KARVEL_STAGE}/bin/karvel DESTINATION bin)

install(FILES resources/${KARVEL_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${KARVEL_STAGE}/${KARVEL_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(DIRECTORY resources/icons/hicolor DESTINATION share/icons)

# The changelog and the AppStream metadata of a build of an unreleased
# commit (cmake/version.cmake) begin with an entry of its own, before the
# release's.
set(KARVEL_MAINTAINER "The Karvel developers <karvel@example.org>")
file(READ ${KARVEL_CHANGELOG} changelog)
file(READ ${CMAKE_CURRENT_SOURCE_DIR}/resources/${KARVEL_APP_ID}.metainfo.xml metainfo)
if(NOT KARVEL_VERSION STREQUAL KARVEL_RELEASE)
    set(commits commits)
    if(KARVEL_DISTANCE EQUAL 1)
        set(commits commit)
    endif()
    set(what "Development build of commit ${KARVEL_COMMIT}, ${KARVEL_DISTANCE} ${commits} after release ${KARVEL_RELEASE}.")
    string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
    string(PREPEND changelog "karvel (${KARVEL_VERSION}) UNRELEASED; urgency=medium

  * ${what}

 -- ${KARVEL_MAINTAINER}  ${date}

")
    string(TIMESTAMP date "%Y-%m-%d" UTC)
    string(REPLACE "<releases>\n" "<releases>
    <release version=\"${KARVEL_VERSION}\" date=\"${date}\" type=\"development\">
      <description>
        <p>${what}</p>
      </description>
    </release>
" metainfo "${metainfo}")
endif()
# Written only when they change, so that a configure run alone rebuilds nothing.
foreach(pair changelog:changelog metainfo:${KARVEL_APP_ID}.metainfo.xml)
    string(REPLACE ":" ";" pair ${pair})
    list(GET pair 0 content)
    list(GET pair 1 target)
    file(WRITE ${KARVEL_STAGE}/${target}.new "${${content}}")
    file(COPY_FILE ${KARVEL_STAGE}/${target}.new ${KARVEL_STAGE}/${target} ONLY_IF_DIFFERENT)
    file(REMOVE ${KARVEL_STAGE}/${target}.new)
endforeach()

# Debian wants the changelog and the manual page compressed at gzip's
# highest level, with no name or time stamp in the header.
find_program(KARVEL_GZIP gzip REQUIRED)
foreach(source ${KARVEL_STAGE}/changelog ${KARVEL_PACKAGE_FILES}/karvel.1)
    get_filename_component(target ${source} NAME)
    set(target ${target}.gz)
    add_custom_command(OUTPUT ${KARVEL_STAGE}/${target}
        COMMAND ${KARVEL_GZIP} -9 -n -c ${source} > ${KARVEL_STAGE}/${target}
        DEPENDS ${source}
        VERBATIM)
    list(APPEND KARVEL_COMPRESSED ${KARVEL_STAGE}/${target})
endforeach()
add_custom_target(karvel_package_files ALL DEPENDS ${KARVEL_COMPRESSED})
install(FILES ${KARVEL_STAGE}/changelog.gz ${KARVEL_PACKAGE_FILES}/copyright
        DESTINATION ${KARVEL_DOCDIR})
install(FILES ${KARVEL_STAGE}/karvel.1.gz DESTINATION share/man/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME karvel)
set(CPACK_PACKAGE_VERSION ${KARVEL_VERSION})
set(CPACK_PACKAGE_CONTACT ${KARVEL_MAINTAINER})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
# Read by cpack: the package's files dated from the commit, and this build's
# package the only one left in the build folder; then the package made the
# same whatever the umask.
set(CPACK_KARVEL_SOURCE_DATE_EPOCH ${KARVEL_SOURCE_DATE_EPOCH})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/cmake/cpack.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/deb-modes.cmake)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The faces the documents fall back to; Qt's Wayland platform where the
# desktop session is Wayland.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, fonts-ipafont-mincho, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "timed mock university-entrance examination in geography")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Karvel stages a one-hour mock university-entrance examination in geography,
all in Japanese: a question paper of forty four-choice questions with four
figures, an answer sheet with one tab per question, a countdown with a chime
at time-up, scoring out of 100 points with a red circle on every right
answer, and a pass-rate verdict for the score.")
include(CPack)
