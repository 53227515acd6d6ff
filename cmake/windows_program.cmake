# volumo.exe, built against Qt for Windows (scripts/windows): a GUI-subsystem program, so that
# starting it opens no console window, with the program icon as a Windows resource. Qt's entry
# point library gives it the WinMain that calls main.
enable_language(RC)
set_target_properties(volumo PROPERTIES WIN32_EXECUTABLE ON)
target_sources(volumo PRIVATE ${PROJECT_SOURCE_DIR}/resources/windows/volumo.rc)
if(TARGET Qt6::EntryPointPrivate)
    target_link_libraries(volumo PRIVATE Qt6::EntryPointPrivate)
endif()

# What scripts/windows check runs beside the program, never packed: a bare Qt window, which
# tells a Qt that does not start under Wine from a Volumo that does not, and the capacities
# Windows reports for each drive letter, to compare the drive windows with.
add_executable(qt_window ${PROJECT_SOURCE_DIR}/tests/windows/qt_window.cpp)
target_link_libraries(qt_window PRIVATE Qt6::Widgets)
set_target_properties(qt_window PROPERTIES WIN32_EXECUTABLE ON)
if(TARGET Qt6::EntryPointPrivate)
    target_link_libraries(qt_window PRIVATE Qt6::EntryPointPrivate)
endif()
add_executable(drive_space ${PROJECT_SOURCE_DIR}/tests/windows/drive_space.cpp)
target_link_options(drive_space PRIVATE -static)
volumo_warnings(drive_space)

# The package: a folder "Volumo" to unpack anywhere and start volumo.exe from, packed as a zip
# by CPack. The program sits at its top, beside the DLLs it imports; Qt's plugins go into the
# folders qt.conf names, and what they import joins what the program imports.
install(TARGETS volumo RUNTIME_DEPENDENCY_SET volumo_dlls RUNTIME DESTINATION .)
install(IMPORTED_RUNTIME_ARTIFACTS Qt6::QWindowsIntegrationPlugin
        RUNTIME_DEPENDENCY_SET volumo_dlls LIBRARY DESTINATION platforms)
# The native look of buttons, menus and scroll bars; without it Qt draws its plain Windows 95
# style.
install(IMPORTED_RUNTIME_ARTIFACTS Qt6::QWindowsVistaStylePlugin
        RUNTIME_DEPENDENCY_SET volumo_dlls LIBRARY DESTINATION styles)
if(TARGET Qt6::Network)
    # TLS through Windows' own Schannel: no OpenSSL to ship.
    install(IMPORTED_RUNTIME_ARTIFACTS Qt6::QSchannelBackendPlugin
            RUNTIME_DEPENDENCY_SET volumo_dlls LIBRARY DESTINATION tls)
endif()

# The DLLs they import from Qt and from MinGW-w64 (the C++ and GCC runtimes, winpthreads), taken
# from where the linker found them. Only names like Qt's and MinGW's are looked for: every other
# DLL they import comes with Windows. CMake looks for an imported DLL under its name in lower
# case, as Windows ignores case and this disk does not: Qt's are found through lower-case links
# to them, which the install follows to each file under its own name (and then drops the link).
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name
                OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
cmake_path(GET libgcc PARENT_PATH gcc_runtime)
set(qt_dll_names ${CMAKE_CURRENT_BINARY_DIR}/qt-dll-names)
file(REMOVE_RECURSE ${qt_dll_names})
file(MAKE_DIRECTORY ${qt_dll_names})
file(GLOB qt_dlls ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}/*.dll)
foreach(dll IN LISTS qt_dlls)
    cmake_path(GET dll FILENAME name)
    string(TOLOWER ${name} name)
    file(CREATE_LINK ${dll} ${qt_dll_names}/${name} SYMBOLIC)
endforeach()
install(CODE [[
    # Read as Windows programs, not as the machine's own.
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
]])
install(RUNTIME_DEPENDENCY_SET volumo_dlls DESTINATION .
        DIRECTORIES ${qt_dll_names} ${gcc_runtime} ${CMAKE_FIND_ROOT_PATH}/lib
                    ${CMAKE_FIND_ROOT_PATH}/bin
        PRE_INCLUDE_REGEXES ^qt6 ^lib
        PRE_EXCLUDE_REGEXES .)

# Qt would look for its plugins and translations beside the folder it was built into; this makes
# them the program's folder, wherever it was unpacked.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/qt.conf
     "[Paths]\nPrefix = .\nPlugins = .\nTranslations = translations\n")
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/qt.conf DESTINATION .)
# Qt's own texts in German: the drive windows' system menu, title-bar buttons, context menus.
# Qt for Windows is built without them; they are the host Qt's files.
find_file(VOLUMO_QT_GERMAN qtbase_de.qm PATHS ${QT_HOST_PATH}/share/qt6/translations
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT VOLUMO_QT_GERMAN)
    message(FATAL_ERROR "Qt's German texts (qtbase_de.qm) are missing: install "
                        "qt6-translations-l10n")
endif()
install(FILES ${VOLUMO_QT_GERMAN} DESTINATION translations)
# The fonts note with Windows line ends and a byte-order mark, so that every Notepad shows it
# as written.
set(note ${PROJECT_SOURCE_DIR}/resources/windows/Schriften.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${note})
file(READ ${note} text)
string(REPLACE "\n" "\r\n" text "${text}")
string(ASCII 239 187 191 bom)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/Schriften.txt "${bom}${text}")
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/Schriften.txt DESTINATION .)

# No links in the folder (Windows would not follow them), and stripped, the program (CMake
# strips it) and the DLLs: their symbol tables are of no use to a user and double the zip.
install(CODE "set(volumo_strip [[${CMAKE_STRIP}]])")
install(CODE [[
    foreach(file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
        if(IS_SYMLINK ${file})
            file(REMOVE ${file})
        elseif(CMAKE_INSTALL_DO_STRIP AND file MATCHES "\\.dll$")
            execute_process(COMMAND ${volumo_strip} --strip-unneeded ${file}
                            COMMAND_ERROR_IS_FATAL ANY)
        endif()
    endforeach()
]])

# Its helpers, never packed: `cmake --install <build> --component probe` puts them in a folder
# of their own, for scripts/windows check to run beside the unpacked program.
install(TARGETS qt_window drive_space RUNTIME DESTINATION . COMPONENT probe EXCLUDE_FROM_ALL)
if(TARGET widgets_win_test)
    install(TARGETS widgets_win_test RUNTIME DESTINATION . COMPONENT probe EXCLUDE_FROM_ALL)
endif()

# The build packs only what was built, and what scripts/windows builds is the program and its
# helpers, not every test.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Volumo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The zip's one folder, and so the zip's name: scripts/windows names it volumo-windows.zip.
set(CPACK_PACKAGE_FILE_NAME Volumo)
set(CPACK_STRIP_FILES ON)
include(CPack)
