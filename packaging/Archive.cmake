# Run by CPack's External generator with the package's files staged in
# CPACK_TEMPORARY_DIRECTORY: they go into one archive, whose bytes depend on
# those files alone.
set(archive ${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}${CPACK_VENTOLIA_ARCHIVE_SUFFIX})
execute_process(COMMAND ${CPACK_VENTOLIA_ARCHIVE} ${archive} ${CPACK_TEMPORARY_DIRECTORY}
                        ${CPACK_PACKAGE_FILE_NAME} ${CPACK_VENTOLIA_SOURCE_DATE_EPOCH}
                COMMAND_ERROR_IS_FATAL ANY)
set(CPACK_EXTERNAL_BUILT_PACKAGES ${archive})
