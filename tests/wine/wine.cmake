# The Windows build's tests run under Wine. ctest starts every Windows test program through
# run.sh, which puts Qt's and the MinGW runtime's DLLs on the program's path and lets QtTest's
# report through to ctest; they all run in one
# Wine prefix of the build's own that the entry wine_prefix makes afresh at the start of every
# run (a ctest fixture), and wine_stop ends its Wine server at the end.
#
# The end-to-end entries also need the Linux build's calvento-cli (the bytes to compare with) and
# calvento-board-sim (the board on a pseudo-terminal that Wine shows as a COM port): give its
# folder of programs as CALVENTO_HOST_TOOLS, as ./test does.

find_program(CALVENTO_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH REQUIRED)
get_filename_component(wine_dir ${CALVENTO_WINE} DIRECTORY)
find_program(CALVENTO_WINESERVER NAMES wineserver PATHS ${wine_dir} /usr/lib/wine
             NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(CALVENTO_HOST_TOOLS "" CACHE PATH "The Linux build's bin folder (calvento-cli, calvento-board-sim)")

# The folders of the DLLs a program of this build loads: Qt's, the compiler's runtime, Hamlib's.
get_filename_component(qt_root ${Qt6_DIR}/../../.. ABSOLUTE)
set(dll_dirs ${qt_root}/bin)
foreach(dll libstdc++-6.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE dll_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(dll_dir ${dll_path} DIRECTORY)
    list(APPEND dll_dirs ${dll_dir})
endforeach()
if(HAMLIB_FOUND)
    list(APPEND dll_dirs ${CALVENTO_HAMLIB_WINDOWS}/bin)
endif()
list(REMOVE_DUPLICATES dll_dirs)

string(REPLACE ";" ":" CALVENTO_DLL_DIRS "${dll_dirs}")
set(CALVENTO_QT_PLUGINS ${qt_root}/plugins)
set(CALVENTO_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
configure_file(${CMAKE_CURRENT_LIST_DIR}/env.sh.in ${CALVENTO_WINE_DIR}/env.sh @ONLY)
set(CALVENTO_WINE_ENV ${CALVENTO_WINE_DIR}/env.sh)

set(CALVENTO_TEST_LAUNCHER ${CMAKE_CURRENT_LIST_DIR}/run.sh ${CALVENTO_WINE_ENV})
set(CALVENTO_TEST_PROPERTIES FIXTURES_REQUIRED wine)
list(APPEND CALVENTO_TEST_ENV "WINEQT_QPA_PLATFORM=offscreen")  # see run.sh

add_test(NAME wine_prefix COMMAND ${CMAKE_CURRENT_LIST_DIR}/make_prefix.sh ${CALVENTO_WINE_ENV})
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine TIMEOUT 180)
add_test(NAME wine_stop COMMAND ${CMAKE_CURRENT_LIST_DIR}/run.sh ${CALVENTO_WINE_ENV} --stop)
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)

# The Windows programs against the Linux build and the machine's real parts.
function(calvento_add_wine_end_to_end_tests)
    if(NOT CALVENTO_HOST_TOOLS)
        message(STATUS "CALVENTO_HOST_TOOLS not set: the Wine end-to-end tests are left out")
        return()
    endif()
    set(e2e ${CMAKE_CURRENT_SOURCE_DIR}/e2e)
    set(wine ${CMAKE_CURRENT_SOURCE_DIR}/wine)
    set(cli $<TARGET_FILE:calvento-cli>)

    # The two backends on their own: the serial port against the simulator behind COM4, the
    # sound through Wine's PulseAudio into a null sink that is recorded and decoded.
    foreach(backend win_serial_port winmm_audio_output)
        add_executable(tst_${backend} wine/tst_${backend}.cpp)
        target_link_libraries(tst_${backend} PRIVATE Qt6::Test calvento_tone calvento_link)
    endforeach()
    add_test(NAME wine_serial_port
             COMMAND ${wine}/with_board_on_com4.sh ${CALVENTO_WINE_ENV} ${CALVENTO_HOST_TOOLS}
                     ${CALVENTO_TEST_LAUNCHER} $<TARGET_FILE:tst_win_serial_port>)
    add_test(NAME wine_audio_output
             COMMAND ${e2e}/with_pulse.sh ${wine}/record_keys.sh 2580
                     ${CALVENTO_TEST_LAUNCHER} $<TARGET_FILE:tst_winmm_audio_output>)
    add_test(NAME wine_synth_same_bytes
             COMMAND ${wine}/synth_same_bytes.sh ${CALVENTO_WINE_ENV} ${cli} ${CALVENTO_HOST_TOOLS})
    add_test(NAME wine_send_through_pulse
             COMMAND ${e2e}/with_pulse.sh ${wine}/send_through_pulse.sh ${CALVENTO_WINE_ENV} ${cli}
                     ${CALVENTO_HOST_TOOLS})
    add_test(NAME wine_board_over_com
             COMMAND ${e2e}/with_pulse.sh ${wine}/board_over_com.sh ${CALVENTO_WINE_ENV} ${cli}
                     ${CALVENTO_HOST_TOOLS})
    add_test(NAME wine_portable_package
             COMMAND ${e2e}/with_pulse.sh ${e2e}/with_xvfb.sh ${wine}/portable_package.sh
                     ${CALVENTO_WINE_ENV} ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR})
    # The installer: installed, used, installed again and uninstalled silently.
    add_test(NAME wine_installer
             COMMAND ${e2e}/with_pulse.sh ${e2e}/with_xvfb.sh ${wine}/installer.sh
                     ${CALVENTO_WINE_ENV} ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR})
    # The package signed with a throwaway certificate (needs neither Wine nor its prefix).
    add_test(NAME wine_signed_package
             COMMAND ${wine}/signed_package.sh ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR})
    set_tests_properties(wine_signed_package PROPERTIES TIMEOUT 300 LABELS e2e)
    set_tests_properties(wine_serial_port wine_audio_output wine_synth_same_bytes
                         wine_send_through_pulse wine_board_over_com wine_portable_package
                         wine_installer
                         PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300 LABELS e2e)
    # They make the packages in the build's one package folder.
    set_tests_properties(wine_portable_package wine_signed_package wine_installer
                         PROPERTIES RESOURCE_LOCK windows_package)
    # Wine's sound runs on ordinary threads: with the machine busy with other tests, a tone may
    # have a gap that the decoder reads as a second key.
    set_tests_properties(wine_send_through_pulse wine_audio_output PROPERTIES RUN_SERIAL ON)
endfunction()
