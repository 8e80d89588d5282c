# What the Windows program ships with, beyond the program itself, when it is
# built here against the Qt that build-qt made: the licences of everything
# in its folder, and the setup program.

# licencias/: taken from the record that build-qt keeps of what went into
# each Qt library, for the libraries and plugins installed above (and the
# entry point linked into Ventolia.exe).
set(licences ${PROJECT_BINARY_DIR}/licencias)
set(licence_record ${QT6_INSTALL_PREFIX}/share/ventolia-licence-record)
execute_process(COMMAND dpkg-query -W "-f=\${Version}" qt6-base-dev
                OUTPUT_VARIABLE qt_source_version OUTPUT_STRIP_TRAILING_WHITESPACE)
add_custom_command(OUTPUT ${licences}/NOTICE.txt
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/licences ${licences} ${licence_record} ${qt_source_version}
            ${PROJECT_VERSION} ${PROJECT_SOURCE_DIR}/LICENSE
            Core,Gui,Widgets,QWindowsIntegrationPlugin,QWindowsVistaStylePlugin,EntryPointImplementation
            ${VENTOLIA_MINGW_RUNTIME}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/licences ${licence_record}/compiled.tsv ${PROJECT_SOURCE_DIR}/LICENSE
    COMMENT "Gathering the licences of what the Windows program ships")
add_custom_target(licences ALL DEPENDS ${licences}/NOTICE.txt)
install(DIRECTORY ${licences}/ DESTINATION licencias)

# build-windows/ventolia-<version>-setup.exe, made with NSIS from what the
# install rules put in a folder of its own.
find_program(MAKENSIS makensis REQUIRED)
set(SETUP_STAGE ${PROJECT_BINARY_DIR}/setup-stage)
set(SETUP_FILES ${PROJECT_BINARY_DIR}/setup-files.nsh)
set(SETUP_PROGRAM ${PROJECT_BINARY_DIR}/ventolia-${PROJECT_VERSION}-setup.exe)
set(VENTOLIA_ICON_ICO ${PROJECT_BINARY_DIR}/src/ventolia.ico)
configure_file(${CMAKE_CURRENT_LIST_DIR}/ventolia.nsi.in ${PROJECT_BINARY_DIR}/ventolia.nsi @ONLY)
add_custom_target(setup
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${SETUP_STAGE}
    COMMAND ${CMAKE_COMMAND} --install ${PROJECT_BINARY_DIR} --prefix ${SETUP_STAGE} --strip
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/setup-files ${SETUP_STAGE} ${SETUP_FILES}
    COMMAND ${MAKENSIS} -V2 ${PROJECT_BINARY_DIR}/ventolia.nsi
    BYPRODUCTS ${SETUP_PROGRAM}
    COMMENT "Making the setup program")
add_dependencies(setup ventolia licences)
