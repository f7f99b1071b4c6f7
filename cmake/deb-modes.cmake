# Run by cpack once it has made the package (CPACK_POST_BUILD_SCRIPTS in
# cmake/package.cmake). cpack gives the three members of the .deb the mode
# the umask of the build gave its files for them; dpkg-deb writes 0644
# whatever the umask, and so does this, in each member's header:
#     name 16, time 12, owner 6, group 6, mode 8, size 10, "`\n"
# after the archive's magic "!<arch>\n", each member padded to an even size.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
    file(SIZE ${deb} end)
    set(header 8)
    while(header LESS end)
        file(READ ${deb} fields OFFSET ${header} LIMIT 60)
        string(SUBSTRING "${fields}" 48 10 size)
        string(STRIP "${size}" size)
        math(EXPR mode "${header} + 40")
        execute_process(COMMAND printf "%-8s" 100644
            COMMAND dd of=${deb} bs=1 seek=${mode} conv=notrunc status=none
            COMMAND_ERROR_IS_FATAL ANY)
        math(EXPR header "${header} + 60 + ${size} + ${size} % 2")
    endwhile()
endforeach()
