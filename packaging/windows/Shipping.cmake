# What the Windows program ships with, beyond the program itself, when it is
# built here against the Qt that build-qt made: the licences of everything
# in its folder, the setup program, and the source archive that the
# licences promise.

# licencias/: taken from the record that build-qt keeps of what went into
# each Qt library, for the libraries and plugins installed above (and the
# entry point linked into Ventolia.exe).
set(licences ${PROJECT_BINARY_DIR}/licencias)
set(licence_record ${QT6_INSTALL_PREFIX}/share/ventolia-licence-record)
set(qt_source_files ${QT6_INSTALL_PREFIX}/share/ventolia-qt-source)
set(translations_source_files ${QT6_INSTALL_PREFIX}/share/ventolia-translations-source)
add_custom_command(OUTPUT ${licences}/NOTICE.txt
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/licences ${licences} ${licence_record} ${qt_source_files}
            ${translations_source_files} ${PROJECT_VERSION} ${PROJECT_SOURCE_DIR}/LICENSE
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
set(SETUP_UNINSTALLER desinstalar.exe)
set(SETUP_RECORD archivos-instalados.txt) # setup's record of what it installed
set(SETUP_PROGRAM ${PROJECT_BINARY_DIR}/ventolia-${PROJECT_VERSION}-setup.exe)
list(APPEND VENTOLIA_RELEASE_FILES ${SETUP_PROGRAM})
set(VENTOLIA_ICON_ICO ${PROJECT_BINARY_DIR}/src/ventolia.ico)
configure_file(${CMAKE_CURRENT_LIST_DIR}/ventolia.nsi.in ${PROJECT_BINARY_DIR}/ventolia.nsi @ONLY)
add_custom_target(setup
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${SETUP_STAGE}
    COMMAND ${CMAKE_COMMAND} --install ${PROJECT_BINARY_DIR} --prefix ${SETUP_STAGE} --strip
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/setup-files ${SETUP_STAGE} ${SETUP_FILES} ${SETUP_UNINSTALLER} ${SETUP_RECORD}
    COMMAND ${MAKENSIS} -V2 ${PROJECT_BINARY_DIR}/ventolia.nsi
    BYPRODUCTS ${SETUP_PROGRAM}
    COMMENT "Making the setup program")
add_dependencies(setup ventolia licences)

# build-windows/ventolia-<version>-source.tar.xz: Ventolia's source,
# Debian's source of the Qt that the program ships, and the .dsc of Qt's
# translations.
set(SOURCE_ARCHIVE ${PROJECT_BINARY_DIR}/ventolia-${PROJECT_VERSION}-source.tar.xz)
list(APPEND VENTOLIA_RELEASE_FILES ${SOURCE_ARCHIVE})
add_custom_target(source-archive
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/source-archive ${SOURCE_ARCHIVE} ${PROJECT_SOURCE_DIR} ${qt_source_files}
            ${translations_source_files} ${VENTOLIA_SOURCE_DATE_EPOCH}
    BYPRODUCTS ${SOURCE_ARCHIVE}
    COMMENT "Making the source archive")

