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
