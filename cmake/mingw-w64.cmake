# Cross-compiling for 64-bit Windows on Debian: MinGW-w64's GCC with POSIX threads
# (g++-mingw-w64-x86-64-posix), against a Qt built for Windows with the same compiler. The host's
# own Qt (qt6-base-dev) provides moc, uic and rcc.
#
# The Windows Qt is CALVENTO_QT_WINDOWS when set (in the environment or with -D), else the folder
# qt6-mingw in ../shared beside the checkout.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

if(NOT CALVENTO_QT_WINDOWS)
    if(DEFINED ENV{CALVENTO_QT_WINDOWS})
        set(CALVENTO_QT_WINDOWS $ENV{CALVENTO_QT_WINDOWS})
    else()
        get_filename_component(CALVENTO_QT_WINDOWS ${CMAKE_CURRENT_LIST_DIR}/../../shared/qt6-mingw
                               ABSOLUTE)
    endif()
endif()
set(CALVENTO_QT_WINDOWS ${CALVENTO_QT_WINDOWS} CACHE PATH "Qt 6 built for Windows with MinGW-w64")

# Target packages come from the MinGW sysroot and that Qt only; programs run on the host.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${CALVENTO_QT_WINDOWS})
set(CMAKE_PREFIX_PATH ${CALVENTO_QT_WINDOWS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
