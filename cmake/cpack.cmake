# Read by cpack as it starts (CPACK_PROJECT_CONFIG_FILE in cmake/package.cmake).

# Every file in the package carries the time of the commit it was built from.
set(ENV{SOURCE_DATE_EPOCH} ${CPACK_KARVEL_SOURCE_DATE_EPOCH})

# The build folder keeps this build's package only, so that
# `apt install ./build/karvel_*.deb` names one package.
file(GLOB older ${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_NAME}_*.deb)
if(older)
    file(REMOVE ${older})
endif()
