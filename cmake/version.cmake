# The package's version, and the time every file the build generates and
# every file of the package carries.
#
# A release is the commit that puts the release's entry, with the project's
# version, at the top of resources/package/changelog. A build of a later
# commit is that release plus the commit's date (UTC), its distance from the
# release and its abbreviated hash:
#
#     1.0+git20261209.14.f732480
#
# which apt orders after the release and before the next one, and between
# two such builds by date, then by distance.
#
# The time is the commit's (SOURCE_DATE_EPOCH, where the environment does not
# set it already). A source tree that is not a git checkout of its own, such
# as an unpacked archive, builds the release at the time of its changelog
# entry. Sets KARVEL_RELEASE, KARVEL_VERSION, KARVEL_COMMIT, KARVEL_DISTANCE
# and KARVEL_SOURCE_DATE_EPOCH, and configures again when HEAD moves.

set(KARVEL_RELEASE ${PROJECT_VERSION})
set(KARVEL_VERSION ${KARVEL_RELEASE})
set(KARVEL_COMMIT "")
set(KARVEL_DISTANCE 0)
set(KARVEL_CHANGELOG ${PROJECT_SOURCE_DIR}/resources/package/changelog)
set(environment_epoch "$ENV{SOURCE_DATE_EPOCH}")

# git ARGS... in the source folder; OUT is empty when git fails.
find_package(Git QUIET)
function(karvel_git out)
    execute_process(COMMAND ${GIT_EXECUTABLE} ${ARGN} WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(failed)
        set(output "")
    endif()
    set(${out} "${output}" PARENT_SCOPE)
endfunction()

set(top "")
set(commit_time "")
if(GIT_FOUND)
    karvel_git(top rev-parse --show-toplevel)
endif()
file(REAL_PATH ${PROJECT_SOURCE_DIR} source)
if(top STREQUAL source)
    karvel_git(commit_time log -1 --format=%ct)
    karvel_git(release_commit log -1 --format=%H -- ${KARVEL_CHANGELOG})
    if(release_commit)
        karvel_git(KARVEL_DISTANCE rev-list --count ${release_commit}..HEAD)
    else()
        karvel_git(KARVEL_DISTANCE rev-list --count HEAD)
    endif()
    karvel_git(KARVEL_COMMIT rev-parse --short=7 HEAD)
    if(KARVEL_DISTANCE GREATER 0)
        # string(TIMESTAMP) tells the time SOURCE_DATE_EPOCH gives.
        set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
        string(TIMESTAMP day "%Y%m%d" UTC)
        set(KARVEL_VERSION "${KARVEL_RELEASE}+git${day}.${KARVEL_DISTANCE}.${KARVEL_COMMIT}")
    endif()
    # A commit, a checkout or a reset in this working tree rewrites these.
    karvel_git(head_files rev-parse --path-format=absolute --git-path HEAD --git-path logs/HEAD)
    string(REPLACE "\n" ";" head_files "${head_files}")
    foreach(file IN LISTS head_files)
        if(EXISTS ${file})
            set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
        endif()
    endforeach()
endif()
if(NOT commit_time)
    execute_process(COMMAND dpkg-parsechangelog -l ${KARVEL_CHANGELOG} -S Timestamp
        OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endif()

if(NOT environment_epoch STREQUAL "")
    set(KARVEL_SOURCE_DATE_EPOCH ${environment_epoch})
else()
    set(KARVEL_SOURCE_DATE_EPOCH ${commit_time})
endif()
# From here on string(TIMESTAMP) tells this time too.
set(ENV{SOURCE_DATE_EPOCH} ${KARVEL_SOURCE_DATE_EPOCH})
message(STATUS "Karvel ${KARVEL_VERSION}, files dated ${KARVEL_SOURCE_DATE_EPOCH}")
