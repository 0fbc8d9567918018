# calvento_windows_resources(TARGET FILE DESCRIPTION [ICON file] [DPI_AWARE]): gives a Windows
# program its version information and application manifest (and its icon), from
# windows_program.rc.in and windows_program.manifest.in beside this file.
function(calvento_windows_resources target file description)
    cmake_parse_arguments(PARSE_ARGV 3 arg "DPI_AWARE" "ICON" "")
    set(CALVENTO_RC_NAME ${target})
    set(CALVENTO_RC_FILE ${file})
    set(CALVENTO_RC_DESCRIPTION "${description}")
    if(arg_ICON)
        set(CALVENTO_RC_ICON "IDI_ICON1 ICON \"${arg_ICON}\"")
    else()
        set(CALVENTO_RC_ICON "")
    endif()
    if(arg_DPI_AWARE)
        set(CALVENTO_RC_DPI_AWARE "true/pm")
        set(CALVENTO_RC_DPI_AWARENESS "PerMonitorV2, PerMonitor")
    else()
        set(CALVENTO_RC_DPI_AWARE "false")
        set(CALVENTO_RC_DPI_AWARENESS "unaware")
    endif()
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources)
    set(CALVENTO_RC_MANIFEST ${dir}/${file}.manifest)
    configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/windows_program.manifest.in
                   ${CALVENTO_RC_MANIFEST} @ONLY)
    configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/windows_program.rc.in ${dir}/${target}.rc
                   @ONLY)
    target_sources(${target} PRIVATE ${dir}/${target}.rc)
endfunction()
