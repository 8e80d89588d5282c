# Building the Windows program on Linux, with mingw-w64: the MinGW runtime
# that the program needs beside it, the programs that the build and the
# tests run started under Wine, and paths that those programs can open.

set(VENTOLIA_MINGW_RUNTIME)
set(dll_folders "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}")
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE dll_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(dll_path "${dll_path}" REALPATH)
    if(NOT EXISTS "${dll_path}")
        message(FATAL_ERROR "The MinGW runtime's ${dll} was not found")
    endif()
    list(APPEND VENTOLIA_MINGW_RUNTIME "${dll_path}")
    get_filename_component(dll_folder "${dll_path}" DIRECTORY)
    list(APPEND dll_folders "${dll_folder}")
endforeach()
list(REMOVE_DUPLICATES dll_folders)
list(JOIN dll_folders ":" dll_folders)

set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run" "${dll_folders}")

# Wine shows the Linux file system as drive Z:.
set(VENTOLIA_TARGET_PATH_PREFIX "Z:")
